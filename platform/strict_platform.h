// Test-only switches that make the POSIX stand-in as unforgiving as Windows where
// its kinder behaviour could hide a fault of the monitor. The test programs switch
// them on; the Windows build behaves so already, and there they do nothing.
#pragma once

#include "platform/win32_api.h"

// A closed handle's value is handed out again by the next creation, as Windows
// reuses the slots of its handle table: a stale SetEvent, wait or close then reaches
// a live object instead of failing with ERROR_INVALID_HANDLE.
void platformReuseHandleValues(BOOL on);

// CancelIoEx only asks for the cancellation: the operation ends, aborted, a little
// later on another thread. And a GetOverlappedResult that waits, waits for the
// operation's event: set by someone else while the operation still runs, it wakes
// the call, which then reports success (a pending status is a success status). Only
// a GetOverlappedResult that does not wait tells a running operation
// (ERROR_IO_INCOMPLETE) from an ended one.
void platformCancelIoLater(BOOL on);
