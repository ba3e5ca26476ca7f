#include <cstdio>

#include "log/event_log.h"
#include "port/debug_trace.h"
#include "port/port_record.h"

void BuildStateText(INIPORT* pIniPort, LPSTR text, size_t size) {
  StateTextFor(pIniPort, currentPrinterState(pIniPort), pIniPort->status.savedPrinterState, text, size);
}

void StateTextFor(INIPORT* pIniPort, BYTE state, BYTE savedState, LPSTR text, size_t size) {
  LPCSTR stateText = " NONE";
  switch (state) {
    case PRINTER_STATE_INITIALIZING:
      stateText = " Initializing";
      break;
    case PRINTER_STATE_HEARTBEAT:
      stateText = " Heart Beat";
      break;
    case PRINTER_STATE_PRINTING:
      stateText = " While Printing";
      break;
    case PRINTER_STATE_PIPE_REQUEST:
      stateText = " Pipe Request";
      break;
    case PRINTER_STATE_POLL:
      stateText = " Poll";
      break;
    default:
      if (savedState == PRINTER_STATE_PIPE_REQUEST) {
        stateText = " Pipe Request";
      } else {
        DebugTraceF(pIniPort, TRACE_ERROR, "BuildStateText - Did not find printerState (%d)", state);
      }
      break;
  }
  snprintf(text, size, "%s", stateText);
}
