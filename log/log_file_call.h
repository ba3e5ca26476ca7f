// The log's file-system calls that another user can keep waiting. The log lives in a
// folder where anyone may create files, and an opportunistic lock on a file there
// makes an open, a delete or a rename of it wait until its holder lets go. Each of
// these calls runs on a thread of its own, and the writer, which holds the port's
// LogLock and the file's lock, waits for it only a bounded time.
#pragma once

#include "platform/win32_api.h"

// The longest wait for one call, in protocol milliseconds.
#define LOG_FILE_CALL_WAIT 5000u

// As CreateFileA for the log (read and write, shared for reading and writing,
// written through, a reparse point opened as itself), DeleteFileA and MoveFileExA
// with MOVEFILE_REPLACE_EXISTING. A call that has not ended within the wait fails
// with ERROR_TIMEOUT and is left to end alone (a handle it opens late is closed);
// until it ends, further calls on the same name fail at once with ERROR_BUSY, so a
// file that stalls every call holds one thread at most.
HANDLE LogFileOpen(LPCSTR path, DWORD disposition);
BOOL LogFileDelete(LPCSTR path);
BOOL LogFileMove(LPCSTR from, LPCSTR to);
