// Reads from the printer. Every read of the monitor's, and the spooler's ReadPort,
// goes through readFromPrinter, under the port's LinkLock.
#pragma once

#include "platform/win32_api.h"

struct INIPORT;

// keepCopies FALSE: a reply that answers nobody's status query (the event log's own
// requests) leaves the port's copies and LastStatusLength as they are; the link's
// facts (communication, watchdog) are kept all the same.
BOOL readFromPrinter(INIPORT* pIniPort, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbRead, BOOL keepCopies);
