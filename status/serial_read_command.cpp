// The status query over a serial link. Writing to a serial port through the lower
// monitor needs an open document, so every query opens a short document of its own.
#include <cstring>

#include "link/device_control.h"
#include "link/printer_read.h"
#include "link/serial_exchange.h"
#include "link/status_copies.h"
#include "platform/clock.h"
#include "port/debug_trace.h"
#include "port/port_record.h"
#include "port/settings.h"
#include "status/status_interpret.h"
#include "status/status_query.h"
#include "status/status_reply.h"

namespace {

const BYTE kSerialHeartbeat[] = {'<', 'l', 'm', '>', '<', 'S', 'S', '>'};

void traceBytes(INIPORT* pIniPort, LPCSTR what, const BYTE* bytes, DWORD count) {
  for (DWORD i = 0; i < count; ++i) {
    DebugTraceF(pIniPort, TRACE_INFO, "SerialReadCommand - %s[%u] = %2.2X", what, static_cast<unsigned>(i), bytes[i]);
  }
}

// A link that fails (an unplugged adapter, a port that cannot start its document)
// shows the printer off line, as a silent printer does.
void interpretLinkFailure(INIPORT* pIniPort, DWORD error) {
  pIniPort->status.LastWinError = error;
  pIniPort->status.StatusReadFailed = TRUE;
  setLastStatusLength(pIniPort, 0);
  BYTE fake[STATUS_REPLY_SIZE];
  const DWORD count = qxMakeFakeStatus(pIniPort, fake);
  ProcessQXStatusString(pIniPort, fake, count);
}

// Interprets the serial reply the exchange read; FALSE when there was none or it was
// not the one asked for (wrongReply).
BOOL interpretSerialReply(INIPORT* pIniPort, const SerialExchange& exchange, LPBYTE reply, BOOL wrongReply) {
  if (!exchange.read) {
    SetLastError(exchange.error);
    traceLastError(pIniPort, "SerialReadCommand - ");
    interpretLinkFailure(pIniPort, exchange.error);
    return FALSE;
  }
  pIniPort->status.StatusReadFailed = FALSE;
  pIniPort->status.LastWinError = 0;
  pIniPort->status.LastWinErrorLogged = 0;
  DWORD count = exchange.count;
  if (Settings.EnableDiags == 1) traceBytes(pIniPort, "reply", reply, count);

  if (count == 0) {
    setLastStatusLength(pIniPort, 0);
    DebugTrace(pIniPort, TRACE_ERROR, "SerialReadCommand - Serial read port failed, status length = 0");
    DebugTrace(pIniPort, TRACE_INFO, "SerialReadCommand - Serial fake status for putting printer offline on 0 bytes read");
    pIniPort->status.StatusReadFailed = TRUE;
    count = qxMakeFakeStatus(pIniPort, reply);
    ProcessQXStatusString(pIniPort, reply, count);
    return FALSE;
  }
  if (wrongReply) {
    setLastStatusLength(pIniPort, 0);
    return FALSE;
  }
  DebugTrace(pIniPort, TRACE_INFO, "SerialReadCommand - First char matches");
  lowPaperReading(pIniPort, reply, count);
  logTimeSinceRefresh(pIniPort);
  ProcessQXStatusString(pIniPort, reply, count);
  return TRUE;
}

// A reply of another type, or of another field (left on the line by a request whose
// write failed after the printer took it), is no answer: it and whatever else the
// line holds are read away while the document is open, and the port status stays.
// What the drain read is no reply either: no client gets it as the last status.
BOOL drainWrongReply(INIPORT* pIniPort, const SerialExchange& exchange, const BYTE* reply, BYTE expected,
                     const BYTE* request, DWORD requestLength) {
  // request is the pipe's request, or nullptr for the heartbeat.
  if (!exchange.read || exchange.count == 0) return FALSE;
  const BOOL wrongType = reply[0] != expected || reply[0] >= 0x80;
  const BOOL wrongField =
      !wrongType && request != nullptr && !replyAnswersRequest(request, requestLength, reply, exchange.count);
  if (!wrongType && !wrongField) return FALSE;
  DebugTrace(pIniPort, TRACE_ERROR,
             wrongType ? "SerialReadCommand - Unexpected first character from serial read"
                       : "SerialReadCommand - Reply of another field from serial read");
  BYTE drain[STATUS_REPLY_SIZE];
  DWORD drained = 0;
  readFromPrinter(pIniPort, drain, STATUS_READ_MAX, &drained, TRUE);
  return TRUE;
}

}  // namespace

BOOL SerialReadCommand(INIPORT* pIniPort, BOOL specific, const BYTE* request, DWORD requestLength) {
  const HANDLE doneReading = pIniPort->status.DoneReading;
  if (doneReading != nullptr) ResetEvent(doneReading);
  pIniPort->status.StatusReadFailed = FALSE;

  // The command is the caller's bytes as they are (a field request may hold a zero
  // byte), kept in a buffer of this query's own.
  BYTE command[RT_STATUS_COMMAND_SIZE];
  DWORD commandLength;
  BYTE expected;
  if (specific) {
    commandLength = requestLength < sizeof command ? requestLength : sizeof command;
    memcpy(command, request, commandLength);
    expected = commandLength > 2 ? command[2] : 0;
    DebugTraceF(pIniPort, TRACE_INFO, "SerialReadCommand - RT status, type = %c", expected);
    traceBytes(pIniPort, "request", command, commandLength);
  } else {
    commandLength = sizeof kSerialHeartbeat;
    memcpy(command, kSerialHeartbeat, commandLength);
    expected = 'S';
  }

  BYTE reply[STATUS_REPLY_SIZE];
  BOOL wrongReply = FALSE;
  const BYTE* asked = specific ? command : nullptr;
  const SerialExchange exchange = serialExchange(
      pIniPort, command, commandLength, 20, reply, SERIAL_READ_MAX, TRUE, TRUE, [&](const SerialExchange& read) {
        if (!read.written && read.started) {
          DebugTrace(pIniPort, TRACE_ERROR, "SerialReadCommand - Serial status write failed");
        }
        wrongReply = drainWrongReply(pIniPort, read, reply, expected, asked, commandLength);
      });
  BOOL result = FALSE;
  if (!exchange.started) {
    DebugTrace(pIniPort, TRACE_ERROR, "SerialReadCommand - Fake StartDoc so we can write data failed");
    interpretLinkFailure(pIniPort, exchange.error);
  } else {
    result = interpretSerialReply(pIniPort, exchange, reply, wrongReply);
  }
  if (doneReading != nullptr) SetEvent(doneReading);
  pIniPort->status.LastRefreshTime = clockTickCount();
  return result;
}
