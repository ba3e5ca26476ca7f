// Registry keys and values: types, sizes, ERROR_MORE_DATA and case-insensitive names.
#include <cstring>

#include "platform_test_util.h"

namespace {

class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = widen("SOFTWARE\\qxlm-tests\\" + uniqueName());
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, wide(path_), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             KEY_ALL_ACCESS, nullptr, &key_, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
  }

  void TearDown() override {
    RegCloseKey(key_);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_LOCAL_MACHINE, wide(path_)));
  }

  void set(const char* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key_, wide(widen(name)), 0, type, static_cast<const BYTE*>(data), size));
  }

  LSTATUS query(const char* name, DWORD* type, void* data, DWORD* size) {
    return RegQueryValueExW(key_, wide(widen(name)), nullptr, type, static_cast<BYTE*>(data), size);
  }

  std::u16string path_;
  HKEY key_ = nullptr;
};

TEST_F(Registry, DwordRoundTripsWithTypeAndSize) {
  const DWORD written = 0x12345678;
  set("EnableDiags", REG_DWORD, &written, sizeof written);
  DWORD type = 0, value = 0, size = sizeof value;
  EXPECT_EQ(ERROR_SUCCESS, query("EnableDiags", &type, &value, &size));
  EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
  EXPECT_EQ(4u, size);
  EXPECT_EQ(written, value);
}

TEST_F(Registry, NamesIgnoreCase) {
  const DWORD written = 7;
  set("HeartBeatRate", REG_DWORD, &written, sizeof written);
  DWORD value = 0, size = sizeof value;
  EXPECT_EQ(ERROR_SUCCESS, query("HEARTBEATRATE", nullptr, &value, &size));
  EXPECT_EQ(7u, value);

  HKEY sub = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(key_, WSTR("Ports\\USB001"), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub,
                                           nullptr));
  RegCloseKey(sub);
  DWORD disposition = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(key_, WSTR("PORTS\\usb001"), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub,
                                           &disposition));
  EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);
  RegCloseKey(sub);
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(key_, WSTR("ports\\Usb001"), 0, KEY_READ, &sub));
  RegCloseKey(sub);
}

TEST_F(Registry, MissingValueAndKey) {
  DWORD type = 0, value = 0, size = sizeof value;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, query("Absent", &type, &value, &size));
  HKEY sub = nullptr;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(key_, WSTR("Absent\\Deeper"), 0, KEY_READ, &sub));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueW(key_, WSTR("Absent")));
}

TEST_F(Registry, NullDataAnswersTypeAndSize) {
  const char16_t text[] = u"Ticket printer";
  set("Name", REG_SZ, text, sizeof text);
  DWORD type = 0, size = 0;
  EXPECT_EQ(ERROR_SUCCESS, query("Name", &type, nullptr, &size));
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  EXPECT_EQ(static_cast<DWORD>(sizeof text), size);
}

TEST_F(Registry, ShortBufferGivesMoreDataAndTheNeededSize) {
  const char16_t text[] = u"Ticket printer";
  set("Name", REG_SZ, text, sizeof text);
  DWORD type = 0, value = 0, size = sizeof value;
  EXPECT_EQ(ERROR_MORE_DATA, query("Name", &type, &value, &size));  // a string into a DWORD
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  EXPECT_EQ(static_cast<DWORD>(sizeof text), size);

  char16_t buffer[32] = {};
  size = sizeof buffer;
  EXPECT_EQ(ERROR_SUCCESS, query("Name", &type, buffer, &size));
  EXPECT_EQ(0, memcmp(text, buffer, sizeof text));
}

TEST_F(Registry, FourByteBinaryReadsAsDword) {
  const BYTE bytes[4] = {0x78, 0x56, 0x34, 0x12};
  set("Raw", REG_BINARY, bytes, sizeof bytes);
  DWORD type = 0, value = 0, size = sizeof value;
  EXPECT_EQ(ERROR_SUCCESS, query("Raw", &type, &value, &size));
  EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
  EXPECT_EQ(4u, size);
  EXPECT_EQ(0x12345678u, value);
}

TEST_F(Registry, OverwriteChangesTypeAndSize) {
  const DWORD number = 5;
  set("Setting", REG_DWORD, &number, sizeof number);
  const BYTE two[2] = {1, 2};
  set("Setting", REG_BINARY, two, sizeof two);
  DWORD type = 0, size = 0;
  EXPECT_EQ(ERROR_SUCCESS, query("Setting", &type, nullptr, &size));
  EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
  EXPECT_EQ(2u, size);
}

TEST_F(Registry, DeleteValueAndTree) {
  const DWORD number = 5;
  set("Setting", REG_DWORD, &number, sizeof number);
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueW(key_, WSTR("SETTING")));
  DWORD size = 0;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, query("Setting", nullptr, nullptr, &size));

  HKEY sub = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(key_, WSTR("A\\B\\C"), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub,
                                           nullptr));
  RegCloseKey(sub);
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(key_, WSTR("A")));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(key_, WSTR("A\\B"), 0, KEY_READ, &sub));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteTreeW(key_, WSTR("A")));
}

TEST_F(Registry, ReadOnlyHandleCannotWrite) {
  HKEY readOnly = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, wide(path_), 0, KEY_READ, &readOnly));
  const DWORD number = 1;
  EXPECT_EQ(ERROR_ACCESS_DENIED,
            RegSetValueExW(readOnly, WSTR("Setting"), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4));
  RegCloseKey(readOnly);
}

TEST_F(Registry, ClosedKeyIsInvalid) {
  HKEY sub = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, wide(path_), 0, KEY_READ, &sub));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(sub));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(sub));
}

}  // namespace
