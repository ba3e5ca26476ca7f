// The answer to the spooler's memory queries ("Installed Memory", "Available
// Memory"), read through the port's status thread.
#pragma once

#include "platform/win32_api.h"
#include "port/relaxed.h"

struct INIPORT;

// Holds the port for the query, has the status thread read the printer twice and
// answers value as 4 bytes in lpOutBuffer. FALSE with ERROR_INVALID_PARAMETER when
// the value is 0 or the buffer cannot take it; *lpcbReturned is 4 either way.
BOOL queryPrinterMemory(INIPORT* pIniPort, Relaxed<DWORD>& value, LPWSTR lpOutBuffer, DWORD cbOutBuffer,
                        LPDWORD lpcbReturned);
