#include "tests/test_files.h"

#include "platform/win32_api.h"

std::string readWholeFile(const std::string& path) {
  std::string data;
  // The monitor may hold the log open for writing while a test reads it.
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return data;
  char block[65536];
  DWORD got = 0;
  while (ReadFile(h, block, sizeof block, &got, nullptr) && got != 0) data.append(block, got);
  CloseHandle(h);
  return data;
}
