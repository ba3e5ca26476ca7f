// The status query over USB and parallel links: a specific request travels as an
// 8-byte vendor request, and every reply is read through PJLMonReadPort.
#include <cstdio>
#include <cstring>

#include "link/device_control.h"
#include "link/link_lock.h"
#include "link/status_copies.h"
#include "log/event_log.h"
#include "platform/clock.h"
#include "port/debug_trace.h"
#include "port/port_entry_points.h"
#include "port/port_record.h"
#include "status/status_interpret.h"
#include "status/status_query.h"
#include "status/status_reply.h"

namespace {

void traceRequest(INIPORT* pIniPort, const BYTE* request, DWORD requestLength) {
  if (!DebugTraceEnabled(TRACE_INFO)) return;
  char text[TRACE_LINE_SIZE];
  int used = snprintf(text, sizeof text, "ReadCommandParallelUSB - Specific request =");
  for (DWORD i = 0; i < requestLength && used > 0 && static_cast<size_t>(used) + 4 < sizeof text; ++i) {
    used += snprintf(text + used, sizeof text - static_cast<size_t>(used), " %2.2X", request[i]);
  }
  DebugTrace(pIniPort, TRACE_INFO, text);
}

void recordReadError(INIPORT* pIniPort, DWORD error) {
  pIniPort->status.LastWinError = error;
  pIniPort->status.StatusReadFailed = TRUE;
}

void recordGoodRead(INIPORT* pIniPort) {
  pIniPort->status.StatusReadFailed = FALSE;
  pIniPort->status.LastWinError = 0;
  pIniPort->status.LastWinErrorLogged = 0;
}

// A read that succeeded with no bytes counts as a silent printer.
DWORD standInForEmptyRead(INIPORT* pIniPort, LPBYTE reply) {
  pIniPort->status.LastWinError = QX_ERROR_ZERO_BYTES_READ;
  pIniPort->status.StatusReadFailed = TRUE;
  setLastStatusLength(pIniPort, 0);
  return qxMakeFakeStatus(pIniPort, reply);
}

// Sends the request and interprets the stale reply the printer had queued before it.
// FALSE when the request is invalid (nothing is sent) or the stale read failed (the
// fake status has then been interpreted).
BOOL sendRequestAndReadStale(INIPORT* pIniPort, const BYTE* request, DWORD requestLength) {
  getStatusType(pIniPort, request, requestLength);
  pIniPort->status.SpecificRequestSent = FALSE;
  traceRequest(pIniPort, request, requestLength);
  pIniPort->status.SpecificRequestSent = TRUE;

  DWORD code = 0;
  if (!convertStatusString(pIniPort, request, requestLength, &code)) {
    DebugTrace(pIniPort, TRACE_ERROR, "ReadCommandParallelUSB - Status string converted failed");
    return FALSE;
  }
  VendorFrame frame = vendorFrame(static_cast<BYTE>(code));
  if (code == PRINT_F0_TICKET) {
    // The ticket's 7 parameter bytes, as far as the request holds them.
    for (DWORD i = 0; i < 7; ++i) frame.bytes[1 + i] = 4 + i < requestLength ? request[4 + i] : 0;
  }
  sendVendorCommand(pIniPort, frame.bytes, sizeof frame.bytes);
  clockSleep(50);

  BYTE reply[STATUS_REPLY_SIZE];
  DWORD count = 0;
  if (!PJLMonReadPort(pIniPort, reply, STATUS_READ_MAX, &count)) {
    const DWORD error = GetLastError();
    recordReadError(pIniPort, error);
    count = qxMakeFakeStatus(pIniPort, reply);
    SetLastError(error);
    traceLastError(pIniPort, "ReadCommand Checking for busy Error (set busy) - ");
    ProcessQXStatusString(pIniPort, reply, count);
    return FALSE;
  }
  recordGoodRead(pIniPort);
  pIniPort->status.LastRefreshTime = clockTickCount();
  if (count == 0) count = standInForEmptyRead(pIniPort, reply);
  pIniPort->status.savedPrinterState = pIniPort->status.printerState.load();
  pIniPort->status.reportState = PRINTER_STATE_STALE_REPLY;
  ProcessQXStatusString(pIniPort, reply, count);
  pIniPort->status.reportState = PRINTER_STATE_NONE;
  DebugTrace(pIniPort, TRACE_INFO, "ReadCommandParallelUSB - Wait after reading stale status");
  clockSleep(50);
  return TRUE;
}

}  // namespace

BOOL ReadCommand(INIPORT* pIniPort, BOOL specific, const BYTE* request, DWORD requestLength) {
  // The request and its replies are one exchange: no other reader takes a reply meant for it.
  LinkLockHold link(pIniPort);
  if (pIniPort->settings.PortType == PORT_TYPE_SERIAL) return SerialReadCommand(pIniPort, specific, request, requestLength);
  if (specific) return ReadCommandParallelUSB(pIniPort, specific, request, requestLength);
  // The first heartbeat read drains a reply the printer had queued.
  ReadCommandParallelUSB(pIniPort, FALSE, request, requestLength);
  return ReadCommandParallelUSB(pIniPort, FALSE, request, requestLength);
}

BOOL ReadCommandParallelUSB(INIPORT* pIniPort, BOOL specific, const BYTE* request, DWORD requestLength) {
  const HANDLE doneReading = pIniPort->status.DoneReading;
  if (doneReading != nullptr) ResetEvent(doneReading);
  BOOL result = TRUE;
  if (specific) result = sendRequestAndReadStale(pIniPort, request, requestLength);

  if (result) {
    BYTE reply[STATUS_REPLY_SIZE];
    DWORD count = 0;
    DebugTrace(pIniPort, TRACE_INFO, "ReadCommandParallelUSB - Get Status, Specific or HeartBeat");
    pIniPort->status.SpecificRequestSent = FALSE;
    BOOL readOk = PJLMonReadPort(pIniPort, reply, STATUS_READ_MAX, &count);
    if (!readOk) {
      clockSleep(10);
      DebugTrace(pIniPort, TRACE_ERROR, "ReadCommandParallelUSB - BAD ERROR Re-read due to error");
      readOk = PJLMonReadPort(pIniPort, reply, STATUS_READ_MAX, &count);
    }
    if (!readOk) {
      const DWORD error = GetLastError();
      traceLastError(pIniPort, "ReadCommandParallel - ");
      recordReadError(pIniPort, error);
      setLastStatusLength(pIniPort, 0);
      DebugTrace(pIniPort, TRACE_ERROR, "ReadCommandParallelUSB - Monitor read port failed, status length = 0");
      count = qxMakeFakeStatus(pIniPort, reply);
      result = FALSE;
    } else {
      recordGoodRead(pIniPort);
      DebugTraceF(pIniPort, TRACE_INFO, "ReadCommandParallelUSB - Bytes asked = %u, bytes read = %u",
                  static_cast<unsigned>(STATUS_READ_MAX), static_cast<unsigned>(count));
      if (count > 0) {
        DebugTraceF(pIniPort, TRACE_INFO, "ReadCommandParallelUSB - Status bytes = %2.2X %2.2X",
                    count > 3 ? reply[3] : 0, count > 4 ? reply[4] : 0);
        lowPaperReading(pIniPort, reply, count);
        // A printer that never got the request (none is sent after a failed read) or
        // dropped it gives its plain status: that tells the port's state, but is no
        // answer to the request, so no client gets it as one.
        if (specific && !replyAnswersRequest(request, requestLength, reply, count)) {
          DebugTrace(pIniPort, TRACE_ERROR, "ReadCommandParallelUSB - the reply does not answer the request");
          setLastStatusLength(pIniPort, 0);
        }
      } else {
        count = standInForEmptyRead(pIniPort, reply);
        result = FALSE;
      }
      logTimeSinceRefresh(pIniPort);
    }
    ProcessQXStatusString(pIniPort, reply, count);
  }

  if (doneReading != nullptr) SetEvent(doneReading);
  pIniPort->status.LastRefreshTime = clockTickCount();
  return result;
}
