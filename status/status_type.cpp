#include <cstdio>
#include <cstring>

#include "log/event_log.h"
#include "platform/clock.h"
#include "port/debug_trace.h"
#include "port/port_record.h"
#include "port/settings.h"
#include "status/status_query.h"
#include "status/status_reply.h"

namespace {

LPCSTR fieldTypeText(BYTE field) {
  switch (field) {
    case 0: return " (Bit Flag)";
    case 1: return " (Error Code)";
    case 2: return " (Ticket Count)";
    case 3: return " (PH Temp)";
    case 4: return " (Forms Length)";
    case 5: return " (FW Version)";
    case 8: return " (PnP String)";
    case 9: return " (Serial Number)";
    case 11: return " (Capabilities)";
    case 15: return " (Flash Ready Ack)";
    default: return " (Reserved)";
  }
}

}  // namespace

DWORD qxMakeFakeStatus(INIPORT* pIniPort, LPBYTE buffer) {
  static const BYTE kOffline[FAKE_STATUS_LENGTH] = {'S', '0', '0', SYSTEM_NOT_READY | MANUAL_DESELECT, BUSY};
  memcpy(buffer, kOffline, sizeof kOffline);
  DebugTrace(pIniPort, TRACE_INFO, "qxMakeFakeStatus - Fake status for putting printer offline on 0 bytes read");
  return FAKE_STATUS_LENGTH;
}

void getStatusType(INIPORT* pIniPort, const BYTE* request, DWORD requestLength) {
  LPCSTR text = " (Reserved)";
  if (requestLength > 2) {
    switch (request[2]) {
      case 'S': text = " (Short)"; break;
      case 'N': text = " (Normal)"; break;
      case 'E': text = " (Extended)"; break;
      case 'C': text = " (Complete)"; break;
      case 'A':
        if (requestLength > 3) text = fieldTypeText(request[3]);
        break;
      default: break;
    }
  }
  snprintf(pIniPort->status.StatusTypeText, sizeof pIniPort->status.StatusTypeText, "%s", text);
}

void logTimeSinceRefresh(INIPORT* pIniPort) {
  const double seconds = static_cast<double>(clockTickCount() - pIniPort->status.LastRefreshTime) / 1000.0;
  char text[LOG_LINE_SIZE];
  snprintf(text, sizeof text, "ReadCommand - Time since last refresh (HB or Pipe) = %f secs.", seconds);
  DebugTrace(pIniPort, TRACE_INFO, text);
  if (currentPrinterState(pIniPort) != PRINTER_STATE_PRINTING && seconds >= 7.0 && Settings.DRWenable) {
    TextLogFile(pIniPort, text, "0025", DRW_WATCHDOG);
  }
}
