#include "tests/support/test_files.h"

#include "log/log_lock.h"
#include "platform/win32_api.h"

namespace {

// Runs work holding the lock every writer of the file takes.
template <typename Work>
auto underLogLock(const std::string& path, Work work) {
  LogFileLock* const lock = EnterLogFileLock(path.c_str());
  auto result = work();
  if (lock != nullptr) LeaveLogFileLock(lock);
  return result;
}

}  // namespace

std::string readLogFile(const std::string& path) {
  return underLogLock(path, [&] {
    std::string data;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return data;
    char block[65536];
    DWORD got = 0;
    while (ReadFile(h, block, sizeof block, &got, nullptr) && got != 0) data.append(block, got);
    CloseHandle(h);
    return data;
  });
}

bool deleteLogFile(const std::string& path) {
  return underLogLock(path, [&] {
    return DeleteFileA(path.c_str()) != FALSE || GetLastError() == ERROR_FILE_NOT_FOUND;
  });
}
