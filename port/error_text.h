// Platform error codes as text, for the trace and the event log.
#pragma once

#include "platform/win32_api.h"

#define ERROR_TEXT_SIZE 1024
// The monitor's own code for a read that returned success with no byte.
#define QX_ERROR_ZERO_BYTES_READ 80000u

// A readable text for a platform error code, into ERROR_TEXT_SIZE bytes.
void GetErrorText(DWORD code, LPSTR text);
// The system's message for an error code in the ANSI code page, line end and all;
// empty when there is none or it does not fit in size bytes.
void SystemMessageText(DWORD code, LPSTR text, int size);
