// The system's event log, where administrators look for what went wrong: one
// record of a type (EVENTLOG_ERROR_TYPE, ...) and an event id, with one text. The
// DLL reports to the Application log under the source "qxlm"; tests and tools link
// a stand-in that appends the records to <Windows dir>\Temp\qxlm-events.log.
#pragma once

#include "platform/win32_api.h"

// The monitor's event ids; the message file gives each the text "%1".
#define QX_EVENT_JOB_NOT_PRINTED 1
#define QX_EVENT_JOB_HELD 2
#define QX_EVENT_NOTICE 3

BOOL systemEventReport(WORD type, DWORD eventId, LPCWSTR text);
