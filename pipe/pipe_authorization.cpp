// Who may run which pipe command. Reading is for every local user; whatever changes
// the machine, the printer or another user's job needs an administrator (SYSTEM,
// Administrators, or on Windows the administer right on the port's printer).
#include <cstdio>

#include "log/event_log.h"
#include "pipe/pipe_commands.h"
#include "platform/caller_identity.h"
#include "platform/spooler.h"
#include "port/debug_trace.h"
#include "port/port_record.h"
#include "status/status_reply.h"

namespace {

// The status request code of the one ESC I form that makes the printer act.
const DWORD kPrintF0Ticket = 41;
const DWORD kPrintF0TicketLength = 11;

BOOL needsAdministrator(BYTE code) {
  switch (code) {
    case SET_HEARTBEAT:
    case SET_HEARTBEAT_RATE:
    case SET_SPOOLER_MODE:
    case PROGRAM_FLASH:
    case ABORT_DOCUMENT:
    case SET_REGISTRY_KEY:
      return TRUE;
    default:
      return FALSE;
  }
}

// Asked while acting as the caller: the spooler grants the administer right on the
// printer only to those who hold it.
BOOL administersPrinter(void* context) {
  INIPORT* pIniPort = static_cast<INIPORT*>(context);
  if (pIniPort->PrinterNameW[0] == 0) return FALSE;
  PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ACCESS_ADMINISTER};
  HANDLE hPrinter = nullptr;
  if (!spoolerOpenPrinter(pIniPort->PrinterNameW, &hPrinter, &defaults)) return FALSE;
  spoolerClosePrinter(hPrinter);
  return TRUE;
}

void refuse(INIPORT* pIniPort, const PipeRequest& request, const PipeCaller& caller, LPCSTR why,
            PipeAnswer* answer) {
  char text[LOG_LINE_SIZE];
  snprintf(text, sizeof text, "Pipe command %u from %s refused: %s", static_cast<unsigned>(request.code),
           caller.name, why);
  DebugTrace(pIniPort, TRACE_ERROR, text);
  TextLogFile(pIniPort, text, "0031", DRW_ERRORS);
  answerText(answer, PIPE_ANSWER_FLASH, "ACCESS DENIED - ADMINISTRATOR REQUIRED");
}

BOOL callerIsAdministrator(INIPORT* pIniPort, PipeCaller* caller) {
  identifyPipeCaller(pIniPort->pipe.hPipe, administersPrinter, pIniPort, caller);
  return caller->administrator;
}

// The status request of a live status command: one of the read forms, or the F0
// ticket, whole.
BOOL statusRequestCode(INIPORT* pIniPort, const PipeRequest& request, DWORD* code) {
  const BYTE* status = request.payload + REAL_TIME_STATUS_MIN_PAYLOAD;
  const DWORD length = request.length - REAL_TIME_STATUS_MIN_PAYLOAD;
  if (length < 3 || !convertStatusString(pIniPort, status, length, code)) return FALSE;
  return *code == kPrintF0Ticket ? length == kPrintF0TicketLength : TRUE;
}

}  // namespace

BOOL requestAllowed(INIPORT* pIniPort, const PipeRequest& request, PipeAnswer* answer) {
  PipeCaller caller;
  if (request.code == GET_REAL_TIME_STATUS) {
    DWORD code = 0;
    if (!statusRequestCode(pIniPort, request, &code)) {
      DebugTrace(pIniPort, TRACE_ERROR, "buildClientResponse - GET_REAL_TIME_STATUS without a status request refused");
      answerText(answer, PIPE_ANSWER_FLASH, "NOT A STATUS REQUEST");
      return FALSE;
    }
    if (code != kPrintF0Ticket || callerIsAdministrator(pIniPort, &caller)) return TRUE;
    refuse(pIniPort, request, caller, "a ticket request needs an administrator", answer);
    return FALSE;
  }
  if (!needsAdministrator(request.code) || callerIsAdministrator(pIniPort, &caller)) return TRUE;
  refuse(pIniPort, request, caller, "an administrator is required", answer);
  return FALSE;
}
