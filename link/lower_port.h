// The lower port monitor's entries for one port. The link room is their only
// caller: the rest of the monitor reaches the printer through the exchanges built
// on them (vendor requests, status exchanges, whole requests, reads).
//
// Lock discipline: a write, a read and a device request each hold the port's
// LinkLock (re-entrant, so an exchange holds it around several and no other reader
// gets in between). Opening and closing the port, starting and ending the lower
// document and setting its time-outs change the port's state, not an exchange:
// their callers own that state (the port's open and close, the spooler's document
// calls, the firmware transfer, or an exchange that already holds the lock).
#pragma once

#include "platform/win32_api.h"

struct INIPORT;

// Whether a lower monitor's table has the entries every caller relies on (a status
// exchange outside a job ends its own document); the others are tested before use.
BOOL lowerTableComplete(const MONITOR* pMonitor);
BOOL lowerOpenPort(const MONITOR* pMonitor, LPWSTR pPortName, PHANDLE pHandle);
void lowerClosePort(INIPORT* pIniPort);

BOOL lowerStartDoc(INIPORT* pIniPort, LPWSTR pPrinterName, DWORD jobId, DWORD level, LPBYTE pDocInfo);
// The short document of the monitor's own that a serial exchange or a firmware
// transfer needs before the lower port takes its writes.
BOOL lowerStartOwnDoc(INIPORT* pIniPort);
BOOL lowerEndDoc(INIPORT* pIniPort);

BOOL lowerWrite(INIPORT* pIniPort, const BYTE* data, DWORD length, LPDWORD written);
BOOL lowerRead(INIPORT* pIniPort, LPBYTE buffer, DWORD size, LPDWORD read);

// FALSE, with nothing done, when the lower monitor has no such entry.
BOOL lowerSetTimeOuts(INIPORT* pIniPort, LPCOMMTIMEOUTS timeOuts);
BOOL lowerHasSetTimeOuts(const INIPORT* pIniPort);
BOOL lowerHasDeviceControl(const INIPORT* pIniPort);
// The lower GetPrinterDataFromPort; its answer and last error are the caller's.
BOOL lowerDeviceControl(INIPORT* pIniPort, DWORD controlId, LPWSTR valueName, LPWSTR in, DWORD inSize, LPWSTR out,
                        DWORD outSize, LPDWORD returned);
