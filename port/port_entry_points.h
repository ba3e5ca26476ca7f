// The entry points the monitor's function table hands to the spooler. The spooler
// passes the lower port monitor's table to MonOpenPort; every later call carries
// the INIPORT address that MonOpenPort returned as the port handle.
#pragma once

#include "platform/win32_api.h"

BOOL WINAPI MonOpenPort(LPWSTR pPortName, LPWSTR pPrinterName, PHANDLE pHandle, LPMONITOR pMonitor);
BOOL WINAPI MonClosePort(HANDLE hPort);
BOOL WINAPI MonStartDoc(HANDLE hPort, LPWSTR pPrinterName, DWORD JobId, DWORD Level, LPBYTE pDocInfo);
BOOL WINAPI MonWritePort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbWritten);
BOOL WINAPI PJLMonReadPort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuffer, LPDWORD pcbRead);
BOOL WINAPI MonEndDocPort(HANDLE hPort);
BOOL WINAPI MonGetPrinterDataFromPort(HANDLE hPort, DWORD ControlID, LPWSTR pValueName, LPWSTR lpInBuffer,
                                      DWORD cbInBuffer, LPWSTR lpOutBuffer, DWORD cbOutBuffer,
                                      LPDWORD lpcbReturned);
