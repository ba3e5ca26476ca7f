// The status requests the event log makes for itself (serial number, head
// temperature). The status thread makes them after the query that asked for them,
// under StatusNotInProgress; their replies answer no status query and stay out of
// the port's status copies.
#include "link/device_control.h"
#include "link/serial_exchange.h"
#include "port/debug_trace.h"
#include "port/port_record.h"
#include "status/log_printer_requests.h"
#include "status/status_reply.h"

namespace {

const DWORD kMaxReply = 1024;

DWORD replyRoom(DWORD size) { return size < kMaxReply ? size : kMaxReply; }

BOOL askSerialPrinter(INIPORT* pIniPort, LPBYTE reply, DWORD size, LPDWORD count, const BYTE* request,
                      DWORD requestLength) {
  DebugTrace(pIniPort, TRACE_INFO, "DRGetSpecificStatus - Serial port");
  const SerialExchange exchange =
      serialExchange(pIniPort, request, requestLength, 50, reply, replyRoom(size), FALSE, TRUE);
  // A request that did not go out whole, or a reply that could not be read, is no answer.
  if (!exchange.started || !exchange.written || !exchange.read) {
    traceLastError(pIniPort, "DRGetSpecificStatusSerial - ");
    return FALSE;
  }
  *count = exchange.count;
  return TRUE;
}

BOOL askPrinter(INIPORT* pIniPort, LPBYTE reply, DWORD size, LPDWORD count, const BYTE* request,
                DWORD requestLength) {
  DebugTrace(pIniPort, TRACE_INFO, "DRGetSpecificStatus - Vendor request");
  DWORD code = 0;
  if (!convertStatusString(pIniPort, request, requestLength, &code)) {
    DebugTrace(pIniPort, TRACE_ERROR, "DRGetSpecificStatus - Status string converted failed");
    return FALSE;
  }
  if (!vendorExchange(pIniPort, static_cast<BYTE>(code), reply, replyRoom(size), count, FALSE)) {
    DebugTrace(pIniPort, TRACE_ERROR, "DRGetSpecificStatus - status read failed");
    return FALSE;
  }
  return TRUE;
}

}  // namespace

BOOL DRGetSpecificStatus(INIPORT* pIniPort, LPBYTE reply, DWORD size, LPDWORD count, const BYTE* request,
                         DWORD requestLength) {
  *count = 0;
  const BOOL result = pIniPort->settings.PortType == PORT_TYPE_SERIAL ? askSerialPrinter(pIniPort, reply, size, count, request, requestLength)
                                              : askPrinter(pIniPort, reply, size, count, request, requestLength);
  if (!result) *count = 0;
  return result;
}
