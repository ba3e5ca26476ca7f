// Requests to the printer go out whole. A lower port may take part of a write (a
// serial or parallel link whose time-out ends, a USB write cut short), and the rest
// of a request cut there would reach the printer's parser as ticket data.
#pragma once

#include "platform/win32_api.h"

struct INIPORT;

// Writes the request, then what is left of it after each part the port took.
// FALSE when a write fails (its error stays the last error) or takes nothing
// (ERROR_TIMEOUT); *sent, when given, says how much of it the port took.
BOOL WriteWholeRequest(INIPORT* pIniPort, const BYTE* request, DWORD length, DWORD* sent = nullptr);
