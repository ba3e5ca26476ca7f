// FormatMessage for system error codes: the system's English texts, each ending
// in "\r\n" as in the system's message table.
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/posix/kernel_object.h"

namespace {

struct SystemMessage {
  DWORD code;
  const char* text;
};

const SystemMessage kSystemMessages[] = {
    {0, "The operation completed successfully.\r\n"},
    {1, "Incorrect function.\r\n"},
    {2, "The system cannot find the file specified.\r\n"},
    {3, "The system cannot find the path specified.\r\n"},
    {4, "The system cannot open the file.\r\n"},
    {5, "Access is denied.\r\n"},
    {6, "The handle is invalid.\r\n"},
    {8, "Not enough memory resources are available to process this command.\r\n"},
    {14, "Not enough memory resources are available to complete this operation.\r\n"},
    {23, "Data error (cyclic redundancy check).\r\n"},
    {31, "A device attached to the system is not functioning.\r\n"},
    {32, "The process cannot access the file because it is being used by another process.\r\n"},
    {38, "Reached the end of the file.\r\n"},
    {50, "The request is not supported.\r\n"},
    {80, "The file exists.\r\n"},
    {87, "The parameter is incorrect.\r\n"},
    {109, "The pipe has been ended.\r\n"},
    {111, "The file name is too long.\r\n"},
    {112, "There is not enough space on the disk.\r\n"},
    {121, "The semaphore timeout period has expired.\r\n"},
    {122, "The data area passed to a system call is too small.\r\n"},
    {123, "The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {124, "The system call level is not correct.\r\n"},
    {131, "An attempt was made to move the file pointer before the beginning of the file.\r\n"},
    {161, "The specified path is invalid.\r\n"},
    {170, "The requested resource is in use.\r\n"},
    {183, "Cannot create a file when that file already exists.\r\n"},
    {206, "The filename or extension is too long.\r\n"},
    {230, "The pipe state is invalid.\r\n"},
    {231, "All pipe instances are busy.\r\n"},
    {232, "The pipe is being closed.\r\n"},
    {233, "No process is on the other end of the pipe.\r\n"},
    {234, "More data is available.\r\n"},
    {259, "No more data is available.\r\n"},
    {288, "Attempt to release mutex not owned by caller.\r\n"},
    {535, "There is a process on other end of the pipe.\r\n"},
    {536, "Waiting for a process to open the other end of the pipe.\r\n"},
    {995, "The I/O operation has been aborted because of either a thread exit or an application request.\r\n"},
    {996, "Overlapped I/O event is not in a signaled state.\r\n"},
    {997, "Overlapped I/O operation is in progress.\r\n"},
    {998, "Invalid access to memory location.\r\n"},
    {1004, "Invalid flags.\r\n"},
    {1018, "Illegal operation attempted on a registry key that has been marked for deletion.\r\n"},
    {1168, "Element not found.\r\n"},
    {1460, "This operation returned because the timeout period expired.\r\n"},
    {3007, "The specified print monitor does not have the required functions.\r\n"},
};

const DWORD kSupportedFlags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM |
    FORMAT_MESSAGE_ARGUMENT_ARRAY;

// The text of a system message, or nullptr with the last error set. Only system
// messages, with their line breaks kept, are part of the stand-in.
const char* systemText(DWORD flags, DWORD code) {
  if ((flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 || (flags & ~kSupportedFlags) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  for (const SystemMessage& m : kSystemMessages) {
    if (m.code == code) return m.text;
  }
  SetLastError(ERROR_MR_MID_NOT_FOUND);
  return nullptr;
}

// Into the caller's buffer of size units, or into a new block for LocalFree when
// ALLOCATE_BUFFER is set (buffer then points to the caller's pointer and size is
// the least number of units to allocate). Answers the units written without the NUL.
template <typename Unit>
DWORD deliverMessage(DWORD flags, const char* text, Unit* buffer, DWORD size) {
  const size_t length = strlen(text);
  Unit* out = buffer;
  if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    const size_t units = length + 1 > size ? length + 1 : size;
    out = static_cast<Unit*>(malloc(units * sizeof(Unit)));
    if (out == nullptr) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    *reinterpret_cast<Unit**>(buffer) = out;
  } else if (buffer == nullptr || size < length + 1) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  for (size_t i = 0; i <= length; ++i) out[i] = static_cast<Unit>(static_cast<unsigned char>(text[i]));
  return static_cast<DWORD>(length);
}

}  // namespace

DWORD FormatMessageW(DWORD dwFlags, LPCVOID, DWORD dwMessageId, DWORD, LPWSTR lpBuffer, DWORD nSize, void*) {
  const char* text = systemText(dwFlags, dwMessageId);
  return text != nullptr ? deliverMessage(dwFlags, text, lpBuffer, nSize) : 0;
}

DWORD FormatMessageA(DWORD dwFlags, LPCVOID, DWORD dwMessageId, DWORD, LPSTR lpBuffer, DWORD nSize, void*) {
  const char* text = systemText(dwFlags, dwMessageId);
  return text != nullptr ? deliverMessage(dwFlags, text, lpBuffer, nSize) : 0;
}
