// The status requests the event log makes for itself (serial number, head
// temperature). The status thread makes them after the query that asked for them,
// under StatusNotInProgress; their replies answer no status query and stay out of
// the port's status copies.
#include "monitor/link_lock.h"
#include "diag/debug_trace.h"
#include "diag/event_log.h"
#include "monitor/port_record.h"
#include "pipe/device_control.h"
#include "platform/clock.h"
#include "status/status_copies.h"
#include "status/status_reply.h"

namespace {

const DWORD kMaxReply = 1024;

DWORD replyRoom(DWORD size) { return size < kMaxReply ? size : kMaxReply; }

BOOL serialExchange(INIPORT* pIniPort, LPBYTE reply, DWORD size, LPDWORD count, const BYTE* request,
                    DWORD requestLength) {
  DebugTrace(pIniPort, TRACE_INFO, "DRGetSpecificStatus - Serial port");
  LinkLockHold link(pIniPort);
  if (!pIniPort->fn.pfnStartDocPort(pIniPort->hPort, pIniPort->PrinterNameW, 1, 0, nullptr)) {
    traceLastError(pIniPort, "DRGetSpecificStatusSerial - ");
    return FALSE;
  }
  DWORD written = 0;
  const BOOL wrote =
      pIniPort->fn.pfnWritePort(pIniPort->hPort, const_cast<LPBYTE>(request), requestLength, &written);
  clockSleep(50);
  BOOL result = FALSE;
  if (wrote) {
    readFromPrinter(pIniPort, reply, replyRoom(size), count, FALSE);
    result = TRUE;
  } else {
    traceLastError(pIniPort, "DRGetSpecificStatusSerial - ");
  }
  pIniPort->fn.pfnEndDocPort(pIniPort->hPort);
  return result;
}

// The request goes as a vendor request; the first read returns the reply the printer
// had queued before it, the second the answer.
BOOL vendorExchange(INIPORT* pIniPort, LPBYTE reply, DWORD size, LPDWORD count, const BYTE* request,
                    DWORD requestLength) {
  DebugTrace(pIniPort, TRACE_INFO, "DRGetSpecificStatus - Vendor request");
  DWORD code = 0;
  if (!convertStatusString(pIniPort, request, requestLength, &code)) {
    DebugTrace(pIniPort, TRACE_ERROR, "DRGetSpecificStatus - Status string converted failed");
    return FALSE;
  }
  const BYTE command[8] = {static_cast<BYTE>(code), '1', '2', 0, 0, 0, 0, 0};
  sendVendorCommand(pIniPort, command, sizeof command);
  clockSleep(50);
  if (!readFromPrinter(pIniPort, reply, replyRoom(size), count, FALSE)) {
    DebugTrace(pIniPort, TRACE_ERROR, "DRGetSpecificStatus - stale status read failed");
    *count = 0;
    return FALSE;
  }
  clockSleep(50);
  if (!readFromPrinter(pIniPort, reply, replyRoom(size), count, FALSE)) {
    DebugTrace(pIniPort, TRACE_ERROR, "DRGetSpecificStatus - status read failed");
    *count = 0;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

BOOL DRGetSpecificStatus(INIPORT* pIniPort, LPBYTE reply, DWORD size, LPDWORD count, const BYTE* request,
                         DWORD requestLength) {
  *count = 0;
  const BOOL result = pIniPort->PortType == 1 ? serialExchange(pIniPort, reply, size, count, request, requestLength)
                                              : vendorExchange(pIniPort, reply, size, count, request, requestLength);
  if (!result) *count = 0;
  return result;
}
