// Per-thread last error, and the one place where C library errors become Win32 errors.
#include <cerrno>

#include "platform/posix/kernel_object.h"

namespace {
thread_local DWORD t_lastError = ERROR_SUCCESS;
}  // namespace

DWORD GetLastError(void) { return t_lastError; }

void SetLastError(DWORD dwErrCode) { t_lastError = dwErrCode; }

namespace posix {

DWORD errorFromErrno(int error) {
  switch (error) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case EEXIST:
      return ERROR_FILE_EXISTS;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case ENOSPC:
      return ERROR_DISK_FULL;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case EBUSY:
      return ERROR_BUSY;
    case EPIPE:
      return ERROR_BROKEN_PIPE;
    case ETIMEDOUT:
      return ERROR_TIMEOUT;
    default:
      return ERROR_GEN_FAILURE;
  }
}

}  // namespace posix
