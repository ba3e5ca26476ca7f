#include "foundation_helpers.h"

#include <gtest/gtest.h>

void PortDeleter::operator()(INIPORT* pIniPort) const {
  DeleteCriticalSection(&pIniPort->link.StatusCopyLock);
  DeleteCriticalSection(&pIniPort->flash.FlashLock);
  DeleteCriticalSection(&pIniPort->LogLock);
  delete pIniPort;
}

TestPort makeTestPort(const WideString& printerName) {
  TestPort port(new INIPORT());
  InitializeCriticalSection(&port->link.StatusCopyLock);
  InitializeCriticalSection(&port->flash.FlashLock);
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
