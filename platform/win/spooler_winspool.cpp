// The shipped DLL's spooler calls: straight through to winspool.
#include "platform/spooler.h"

BOOL spoolerSetPort(LPWSTR pName, LPWSTR pPortName, DWORD Level, LPBYTE pPortInfo) {
  return SetPortW(pName, pPortName, Level, pPortInfo);
}

BOOL spoolerOpenPrinter(LPWSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSW pDefault) {
  return OpenPrinterW(pPrinterName, phPrinter, pDefault);
}

BOOL spoolerClosePrinter(HANDLE hPrinter) { return ClosePrinter(hPrinter); }

BOOL spoolerGetJob(HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE pJob, DWORD cbBuf, LPDWORD pcbNeeded) {
  return GetJobW(hPrinter, JobId, Level, pJob, cbBuf, pcbNeeded);
}

BOOL spoolerSetJob(HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE pJob, DWORD Command) {
  return SetJobW(hPrinter, JobId, Level, pJob, Command);
}
