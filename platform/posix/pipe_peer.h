// What the stand-in tells of a pipe beyond the Win32 calls: the account serving it.
// Windows keeps an owner for every pipe; a Unix socket keeps the credentials of the
// process that listens on it, and that is what a client can check.
#pragma once

#include <sys/types.h>

#include "win32_backend.h"

namespace posix {

// The user id of the process serving the pipe behind a client's handle, as the
// system recorded it when that process began to listen; false for any other handle.
bool pipeServerUserId(HANDLE hPipe, uid_t* uid);

}  // namespace posix
