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

// For tests: the pipes the calling thread connects to from now on take it, whatever
// its account, for an ordinary user named "ordinary caller" (false: its own account
// again). Unlike injectPipeCaller it holds for those connections only, so that one
// client of many can be made ordinary.
void connectAsOrdinaryCaller(bool ordinary);

}  // namespace posix
