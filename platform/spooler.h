// The spooler calls the monitor makes. The DLL binds them to winspool; tests,
// tools and benchmarks link the recording spooler of sim/ instead.
#pragma once

#include "platform/win32_api.h"

BOOL spoolerSetPort(LPWSTR pName, LPWSTR pPortName, DWORD Level, LPBYTE pPortInfo);
BOOL spoolerOpenPrinter(LPWSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSW pDefault);
BOOL spoolerClosePrinter(HANDLE hPrinter);
BOOL spoolerGetJob(HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE pJob, DWORD cbBuf, LPDWORD pcbNeeded);
BOOL spoolerSetJob(HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE pJob, DWORD Command);
