// The ReadPort entry: a read of the spooler's, or of another thread of its, goes
// through the same read as the monitor's own and waits for the exchange under way.
#include "link/printer_read.h"
#include "port/debug_trace.h"
#include "port/port_entry_points.h"
#include "port/port_record.h"

BOOL WINAPI PJLMonReadPort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbRead) {
  DebugTraceF(nullptr, TRACE_INFO, "PJLMonReadPort - hPort = %p, buffer = %p, size = %u, pcbRead = %p", hPort,
              static_cast<void*>(pBuffer), static_cast<unsigned>(cbBuf), static_cast<void*>(pcbRead));
  INIPORT* pIniPort = portRecordFromHandle(hPort);
  if (pIniPort == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return readFromPrinter(pIniPort, pBuffer, cbBuf, pcbRead, TRUE);
}
