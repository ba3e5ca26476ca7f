// System texts and names, version, memory blocks and the live handle count.
#include <cstring>

#include "platform/handle_count.h"
#include "platform_test_util.h"

namespace {

std::u16string systemMessage(DWORD code) {
  LPWSTR text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                 reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  if (n == 0) return u"<none>";
  std::u16string out(reinterpret_cast<const char16_t*>(text), n);
  LocalFree(text);
  return out;
}

TEST(FormatMessage, SystemTextsOfDeviceErrors) {
  EXPECT_TRUE(systemMessage(ERROR_CRC) == u"Data error (cyclic redundancy check).\r\n");
  EXPECT_TRUE(systemMessage(ERROR_GEN_FAILURE) == u"A device attached to the system is not functioning.\r\n");
  EXPECT_TRUE(systemMessage(ERROR_SUCCESS) == u"The operation completed successfully.\r\n");
  EXPECT_TRUE(systemMessage(ERROR_FILE_NOT_FOUND) == u"The system cannot find the file specified.\r\n");
}

TEST(FormatMessage, EveryTextTheMonitorMayTraceEndsWithALineBreak) {
  for (DWORD code : {0u, 2u, 3u, 5u, 6u, 8u, 14u, 23u, 31u, 32u, 38u, 87u, 109u, 121u, 122u, 124u, 170u, 183u, 231u,
                     232u, 233u, 234u, 259u, 288u, 535u, 536u, 995u, 996u, 997u, 1460u, 3007u}) {
    const std::u16string text = systemMessage(code);
    ASSERT_GT(text.size(), 3u) << code;
    EXPECT_TRUE(text.compare(text.size() - 2, 2, u"\r\n") == 0) << code;
  }
}

TEST(FormatMessage, UnknownCodeAndCallerBuffer) {
  SetLastError(0);
  EXPECT_TRUE(systemMessage(0x2FFFFFFF) == u"<none>");
  EXPECT_LAST_ERROR(ERROR_MR_MID_NOT_FOUND);

  char narrow[64];
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_CRC, 0,
                                 narrow, sizeof narrow, nullptr);
  EXPECT_EQ(strlen("Data error (cyclic redundancy check).\r\n"), n);
  EXPECT_STREQ("Data error (cyclic redundancy check).\r\n", narrow);
}

TEST(ComputerName, UpperCaseAndBufferOverflow) {
  char name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = sizeof name;
  ASSERT_TRUE(GetComputerNameA(name, &size));
  EXPECT_EQ(strlen(name), size);
  EXPECT_GT(size, 0u);
  EXPECT_LE(size, static_cast<DWORD>(MAX_COMPUTERNAME_LENGTH));
  for (const char* p = name; *p != 0; ++p) EXPECT_FALSE(*p >= 'a' && *p <= 'z') << name;

  char small[1];
  DWORD smallSize = sizeof small;
  SetLastError(0);
  EXPECT_FALSE(GetComputerNameA(small, &smallSize));
  EXPECT_LAST_ERROR(ERROR_BUFFER_OVERFLOW);
  EXPECT_EQ(size + 1, smallSize);
}

TEST(WindowsDirectory, HasATempFolder) {
  char dir[MAX_PATH];
  const UINT n = GetWindowsDirectoryA(dir, MAX_PATH);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(strlen(dir), n);
  EXPECT_EQ(n + 1, GetWindowsDirectoryA(dir, 1));  // too small: the size needed
  EXPECT_TRUE(CreateDirectoryA(tempPath("probe").c_str(), nullptr));  // the Temp folder exists
}

TEST(Version, ReportsAnNtSystemForBothRecordSizes) {
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof info;
  ASSERT_TRUE(GetVersionExW(&info));
  EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_NT), info.dwPlatformId);
  EXPECT_GE(info.dwMajorVersion, 6u);

  OSVERSIONINFOEXW ex = {};
  ex.dwOSVersionInfoSize = sizeof ex;
  ASSERT_TRUE(GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&ex)));
  EXPECT_EQ(info.dwMajorVersion, ex.dwMajorVersion);

  OSVERSIONINFOW odd = {};
  odd.dwOSVersionInfoSize = sizeof odd - 4;
  SetLastError(0);
  EXPECT_FALSE(GetVersionExW(&odd));
  EXPECT_LAST_ERROR(ERROR_INSUFFICIENT_BUFFER);
}

TEST(Memory, GlobalAllocZeroFills) {
  auto* block = static_cast<unsigned char*>(GlobalAlloc(GPTR, 4096));
  ASSERT_NE(nullptr, block);
  for (int i = 0; i < 4096; ++i) ASSERT_EQ(0, block[i]);
  EXPECT_EQ(nullptr, GlobalFree(block));
}

TEST(HandleCount, RisesAndFallsWithHandles) {
  const DWORD before = platformHandleCount();
  ASSERT_GT(before + 1, 0u);
  HANDLE events[3];
  for (HANDLE& e : events) e = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  EXPECT_EQ(before + 3, platformHandleCount());
  for (HANDLE e : events) CloseHandle(e);
  EXPECT_EQ(before, platformHandleCount());

  HKEY key = nullptr;
  const std::u16string path = widen("SOFTWARE\\qxlm-tests\\" + uniqueName());
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExW(HKEY_LOCAL_MACHINE, wide(path), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
  EXPECT_EQ(before + 1, platformHandleCount());
  RegCloseKey(key);
  EXPECT_EQ(before, platformHandleCount());
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, wide(path));
}

TEST(DbcsLeadByte, NoneInTheAnsiCodePage) {
  for (int b = 0; b < 256; ++b) EXPECT_FALSE(IsDBCSLeadByte(static_cast<BYTE>(b))) << b;
}

}  // namespace
