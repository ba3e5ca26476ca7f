// The double-byte ANSI code page 932, which a test run selects for its whole
// process (the stand-in from QXLM_ANSI_CODE_PAGE, Wine from the locale). These
// tests run only in that run.
#include "platform_test_util.h"

namespace {

// "ツ" (U+30C4) is 83 63 in code page 932; upper-casing its trail byte gives 83 43, "イ" (U+30A4).
const char kTsu[] = "\x83\x63";

TEST(CodePage932, LeadBytesAndConversions) {
  ASSERT_EQ(932u, GetACP());
  EXPECT_TRUE(IsDBCSLeadByte(0x83));
  EXPECT_TRUE(IsDBCSLeadByte(0xE0));
  EXPECT_FALSE(IsDBCSLeadByte('c'));
  EXPECT_FALSE(IsDBCSLeadByte(0xA1));  // a half-width katakana is one byte
  EXPECT_FALSE(IsDBCSLeadByte(0x80));

  WCHAR wide[8] = {};
  EXPECT_EQ(3, MultiByteToWideChar(CP_ACP, 0, "a\x83\x63", -1, wide, 8));
  EXPECT_EQ(u'a', wide[0]);
  EXPECT_EQ(0x30C4, wide[1]);
  char narrow[8] = {};
  EXPECT_EQ(4, WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr));
  EXPECT_STREQ("a\x83\x63", narrow);
}

TEST(CodePage932, FileNamesAreCharactersOfTheCodePage) {
  ASSERT_EQ(932u, GetACP());
  const std::string tsu = tempPath(std::string("name-") + kTsu + ".tmp");
  const std::string i = tempPath("name-\x83\x43.tmp");
  HANDLE h = CreateFileA(tsu.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  CloseHandle(h);
  // The same file by its wide name; the upper-cased trail byte names another.
  std::u16string wideName = widen(tsu.substr(0, tsu.size() - 6));
  wideName += u"\u30C4.tmp";
  h = CreateFileW(reinterpret_cast<LPCWSTR>(wideName.c_str()), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                  FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(INVALID_HANDLE_VALUE, h);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  h = CreateFileA(i.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_EQ(INVALID_HANDLE_VALUE, h);
  EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(DeleteFileA(tsu.c_str()));
}

}  // namespace
