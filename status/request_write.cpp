#include "monitor/link_lock.h"
#include "status/request_write.h"

#include "diag/debug_trace.h"
#include "monitor/port_record.h"

BOOL WriteWholeRequest(INIPORT* pIniPort, const BYTE* request, DWORD length) {
  DWORD sent = 0;
  while (sent < length) {
    DWORD written = 0;
    // Every write that succeeds takes at least one byte, so the loop ends.
    LinkLockHold link(pIniPort);
    if (!pIniPort->fn.pfnWritePort(pIniPort->hPort, const_cast<LPBYTE>(request + sent), length - sent, &written)) {
      return FALSE;
    }
    if (written == 0) {
      SetLastError(ERROR_TIMEOUT);  // a link that takes nothing is a write time-out
      return FALSE;
    }
    sent += written < length - sent ? written : length - sent;
    if (sent < length) {
      DebugTraceF(pIniPort, TRACE_INFO, "WriteWholeRequest - The port took %u of %u bytes, writing the rest",
                  static_cast<unsigned>(sent), static_cast<unsigned>(length));
    }
  }
  return TRUE;
}
