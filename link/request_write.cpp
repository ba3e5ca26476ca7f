#include "link/request_write.h"

#include "link/lower_port.h"
#include "port/debug_trace.h"
#include "port/port_record.h"

BOOL WriteWholeRequest(INIPORT* pIniPort, const BYTE* request, DWORD length, DWORD* taken) {
  DWORD sent = 0;
  if (taken != nullptr) *taken = 0;
  while (sent < length) {
    DWORD written = 0;
    const BOOL ok = lowerWrite(pIniPort, request + sent, length - sent, &written);
    // A write that fails may still have taken its first bytes.
    sent += written < length - sent ? written : length - sent;
    if (taken != nullptr) *taken = sent;
    if (!ok) return FALSE;
    // Every write that succeeds takes at least one byte, so the loop ends.
    if (written == 0) {
      SetLastError(ERROR_TIMEOUT);  // a link that takes nothing is a write time-out
      return FALSE;
    }
    if (sent < length) {
      DebugTraceF(pIniPort, TRACE_INFO, "WriteWholeRequest - The port took %u of %u bytes, writing the rest",
                  static_cast<unsigned>(sent), static_cast<unsigned>(length));
    }
  }
  return TRUE;
}
