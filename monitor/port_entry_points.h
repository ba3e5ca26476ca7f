// The monitor's entry points that the spooler reaches through the function table.
#pragma once

#include "platform/win32_api.h"

BOOL WINAPI MonOpenPort(LPWSTR pPortName, LPWSTR pPrinterName, PHANDLE pHandle, LPMONITOR pMonitor);
BOOL WINAPI MonClosePort(HANDLE hPort);
BOOL WINAPI MonStartDoc(HANDLE hPort, LPWSTR pPrinterName, DWORD JobId, DWORD Level, LPBYTE pDocInfo);
BOOL WINAPI MonWritePort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbWritten);
BOOL WINAPI PJLMonReadPort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbRead);
BOOL WINAPI MonEndDocPort(HANDLE hPort);
BOOL WINAPI MonGetPrinterDataFromPort(HANDLE hPort, DWORD ControlID, LPWSTR pValueName, LPWSTR lpInBuffer,
                                      DWORD cbInBuffer, LPWSTR lpOutBuffer, DWORD cbOutBuffer,
                                      LPDWORD lpcbReturned);
