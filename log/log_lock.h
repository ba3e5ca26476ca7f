// The lock of each log file, shared by every port that writes the file. A writer
// holds it from the open of the file to its close; the lock is re-entrant, so a
// writer may run inside another on the same thread.
#pragma once

#include "platform/win32_api.h"

struct LogFileLock;

// File names are compared as Windows compares them, without regard to case.
BOOL SameLogFile(LPCSTR a, LPCSTR b);

// Once, at the library's process attach.
void InitializeLogFileLocks(void);

// Takes the lock of the file at path (compared without regard to case); NULL when
// no memory is left for it.
LogFileLock* EnterLogFileLock(LPCSTR path);
void LeaveLogFileLock(LogFileLock* fileLock);

// Ties an open log handle to the lock its writer holds, so that the close gives the
// lock back; FALSE when no memory is left.
BOOL KeepLogFileLock(HANDLE hLogFile, LogFileLock* fileLock);
// The lock tied to hLogFile, untied; NULL when none is.
LogFileLock* TakeLogFileLock(HANDLE hLogFile);
