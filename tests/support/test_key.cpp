#include "tests/support/test_key.h"

#include <gtest/gtest.h>

#include <cstring>

TestKey::TestKey(const std::string& name) : root_(widen("SOFTWARE\\qxlm-tests\\" + name)) { remove(); }

TestKey::~TestKey() { remove(); }

void TestKey::remove() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, root_.c_str()); }

BOOL TestKey::exists() const {
  HKEY hKey = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, root_.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS) return FALSE;
  RegCloseKey(hKey);
  return TRUE;
}

void TestKey::set(const std::string& name, DWORD type, const void* data, DWORD size) {
  HKEY hKey = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, root_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           KEY_READ | KEY_SET_VALUE, nullptr, &hKey, nullptr));
  EXPECT_EQ(ERROR_SUCCESS,
            RegSetValueExW(hKey, widen(name).c_str(), 0, type, static_cast<const BYTE*>(data), size));
  RegCloseKey(hKey);
}

BOOL TestKey::query(const std::string& name, DWORD* type, DWORD* value, DWORD* size) const {
  HKEY hKey = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, root_.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS) return FALSE;
  BYTE data[64] = {};
  DWORD dataSize = sizeof data;
  const LONG result = RegQueryValueExW(hKey, widen(name).c_str(), nullptr, type, data, &dataSize);
  RegCloseKey(hKey);
  if (result != ERROR_SUCCESS) return FALSE;
  memcpy(value, data, sizeof *value);
  if (size != nullptr) *size = dataSize;
  return TRUE;
}

