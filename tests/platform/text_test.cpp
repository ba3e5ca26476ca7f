// Code page conversions and the lstr*W helpers.
#include <cstring>

#include "platform_test_util.h"

namespace {

TEST(WideToNarrow, AnsiAndUtf8WithSizeQueries) {
  const WCHAR* text = WSTR("Port USB001");
  EXPECT_EQ(12, WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr));  // with the NUL
  char out[32];
  EXPECT_EQ(12, WideCharToMultiByte(CP_ACP, 0, text, -1, out, sizeof out, nullptr, nullptr));
  EXPECT_STREQ("Port USB001", out);
  EXPECT_EQ(4, WideCharToMultiByte(CP_ACP, 0, text, 4, out, sizeof out, nullptr, nullptr));  // no NUL added
  EXPECT_EQ(0, memcmp("Port", out, 4));

  const WCHAR accented[] = {0x00E9, 0x20AC, 0};  // é and the euro sign
  EXPECT_EQ(6, WideCharToMultiByte(CP_UTF8, 0, accented, -1, out, sizeof out, nullptr, nullptr));
  EXPECT_STREQ("\xC3\xA9\xE2\x82\xAC", out);

  SetLastError(0);
  EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, text, -1, out, 4, nullptr, nullptr));
  EXPECT_LAST_ERROR(ERROR_INSUFFICIENT_BUFFER);
}

TEST(WideToNarrow, AnsiOfLatin1Text) {
  const WCHAR latin[] = {u'a', 0x00E9, 0x00FF, 0};
  char out[8];
  BOOL usedDefault = TRUE;
  EXPECT_EQ(4, WideCharToMultiByte(CP_ACP, 0, latin, -1, out, sizeof out, nullptr, &usedDefault));
  EXPECT_STREQ("a\xE9\xFF", out);
  EXPECT_FALSE(usedDefault);
}

TEST(NarrowToWide, AnsiAndUtf8) {
  WCHAR out[16];
  EXPECT_EQ(4, MultiByteToWideChar(CP_UTF8, 0, "a\xC3\xA9z", -1, out, 16));
  EXPECT_EQ(u'a', out[0]);
  EXPECT_EQ(0x00E9, out[1]);
  EXPECT_EQ(u'z', out[2]);
  EXPECT_EQ(0, out[3]);
  EXPECT_EQ(3, MultiByteToWideChar(CP_ACP, 0, "abc", 3, nullptr, 0));
}

TEST(WideStrings, LengthCopyConcatenate) {
  WCHAR buffer[16];
  EXPECT_EQ(buffer, lstrcpyW(buffer, WSTR("USB")));
  lstrcatW(buffer, WSTR("001"));
  EXPECT_EQ(6, lstrlenW(buffer));
  EXPECT_EQ(0, lstrcmpW(buffer, WSTR("USB001")));
  EXPECT_EQ(0, lstrlenW(nullptr));

  WCHAR cut[4] = {u'x', u'x', u'x', u'x'};
  lstrcpynW(cut, WSTR("ABCDEF"), 4);  // the length counts the NUL
  EXPECT_EQ(0, lstrcmpW(cut, WSTR("ABC")));
}

TEST(WideStrings, Comparisons) {
  EXPECT_EQ(0, lstrcmpiW(WSTR("Usb001"), WSTR("USB001")));
  EXPECT_LT(lstrcmpiW(WSTR("lpt1"), WSTR("USB001")), 0);
  EXPECT_GT(lstrcmpiW(WSTR("USB002"), WSTR("usb001")), 0);
  EXPECT_NE(0, lstrcmpW(WSTR("Usb001"), WSTR("USB001")));
  EXPECT_LT(lstrcmpW(WSTR("abc"), WSTR("abd")), 0);
  EXPECT_LT(lstrcmpW(WSTR("USB"), WSTR("USB001")), 0);
  const WCHAR upper[] = {0x00C9, 0};  // É
  const WCHAR lower[] = {0x00E9, 0};  // é
  EXPECT_EQ(0, lstrcmpiW(upper, lower));
}

}  // namespace
