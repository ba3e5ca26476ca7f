// Helpers shared by the platform conformance tests, which run natively on the
// stand-in and under Wine on the real Win32 calls, with the same assertions.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/win32_api.h"

#define EXPECT_LAST_ERROR(code) EXPECT_EQ(static_cast<DWORD>(code), GetLastError())

// The running test's own name, to keep registry keys and files of parallel test
// processes (which share one registry and one disk under Wine) apart.
inline std::string uniqueName() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return std::string("qxlm-") + info->test_suite_name() + "-" + info->name() + "-" +
         std::to_string(static_cast<unsigned>(GetCurrentProcessId()));
}

// A fresh path in the Windows temporary folder, with "\" separators as callers write them.
inline std::string tempPath(const std::string& leaf) {
  char dir[MAX_PATH];
  const UINT n = GetWindowsDirectoryA(dir, MAX_PATH);
  EXPECT_GT(n, 0u);
  return std::string(dir) + "\\Temp\\" + uniqueName() + "-" + leaf;
}

inline std::u16string widen(const std::string& text) { return std::u16string(text.begin(), text.end()); }

inline const WCHAR* wide(const std::u16string& text) { return reinterpret_cast<const WCHAR*>(text.c_str()); }
