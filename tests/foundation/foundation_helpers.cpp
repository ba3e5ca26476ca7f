#include "foundation_helpers.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/debug_output.h"

WideString widen(const std::string& text) {
  WideString wide;
  for (unsigned char c : text) wide.push_back(static_cast<WCHAR>(c));
  return wide;
}

TestKey::TestKey(const std::string& name) : root_(widen("SOFTWARE\\qxlm-tests\\" + name)) { remove(); }

TestKey::~TestKey() { remove(); }

void TestKey::remove() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, root_.c_str()); }

BOOL TestKey::exists() const {
  HKEY hKey = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, root_.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS) return FALSE;
  RegCloseKey(hKey);
  return TRUE;
}

void TestKey::set(const char* name, DWORD type, const void* data, DWORD size) {
  HKEY hKey = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, root_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           KEY_READ | KEY_SET_VALUE, nullptr, &hKey, nullptr));
  EXPECT_EQ(ERROR_SUCCESS,
            RegSetValueExW(hKey, widen(name).c_str(), 0, type, static_cast<const BYTE*>(data), size));
  RegCloseKey(hKey);
}

BOOL TestKey::query(const char* name, DWORD* type, DWORD* value, DWORD* size) const {
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

void PortDeleter::operator()(INIPORT* pIniPort) const {
  DeleteCriticalSection(&pIniPort->StatusCopyLock);
  DeleteCriticalSection(&pIniPort->FlashLock);
  DeleteCriticalSection(&pIniPort->LogLock);
  delete pIniPort;
}

TestPort makeTestPort(const WideString& printerName) {
  TestPort port(new INIPORT());
  InitializeCriticalSection(&port->StatusCopyLock);
  InitializeCriticalSection(&port->FlashLock);
  InitializeCriticalSection(&port->LogLock);
  port->signature = PJ_SIGNATURE;
  lstrcpynW(port->PrinterNameW, printerName.c_str(), 1024);
  size_t i = 0;
  for (; i + 1 < sizeof port->PrinterName && printerName[i] != 0; ++i) {
    port->PrinterName[i] = static_cast<char>(printerName[i] & 0xFF);
  }
  port->PrinterName[i] = '\0';
  return port;
}

BOOL fileExists(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return FALSE;
  CloseHandle(h);
  return TRUE;
}


void writeFile(const std::string& path, const std::string& data) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h) << path;
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &written, nullptr));
  EXPECT_EQ(data.size(), written);
  CloseHandle(h);
}

void deleteFile(const std::string& path) { DeleteFileA(path.c_str()); }

namespace {
void collectLine(LPCSTR line, void* context) { static_cast<TraceCapture*>(context)->lines.push_back(line); }
}  // namespace

TraceCapture::TraceCapture() { debugOutputCapture(collectLine, this); }

TraceCapture::~TraceCapture() { debugOutputCapture(nullptr, nullptr); }
