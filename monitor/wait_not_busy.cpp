// After a page the next data waits until the printer is no longer busy, or until
// it shows an error, purges the document, stops answering or a client aborts.
#include "diag/debug_trace.h"
#include "monitor/document.h"
#include "platform/clock.h"
#include "status/status_copies.h"
#include "status/status_query.h"
#include "status/status_reply.h"

namespace {

const BYTE STOPS_PRINTING =
    MANUAL_DESELECT | PAPER_REG_ERROR | CUTTER_JAM | HEAD_LEVER_UP | OUT_OF_PAPER | OUTPUT_JAM;

}  // namespace

void waitForPrinterNotBusy(INIPORT* pIniPort) {
  int busy = 0;
  int unreadable = 0;
  for (;;) {
    ReadCommand(pIniPort, FALSE, nullptr, 0);
    clockSleep(5);
    // The verdict rests on the latest S/N/E/C reply, which a silent printer never
    // replaces: count unreadable passes as the write path does.
    if (ReadCommand(pIniPort, FALSE, nullptr, 0)) {
      unreadable = 0;
    } else if (++unreadable >= MAX_FAILED_STATUS_READS) {
      DebugTrace(pIniPort, TRACE_ERROR, "waitForPrinterNotBusy - printer not answering, aborting document");
      pIniPort->AbortDoc = TRUE;
      return;
    }
    BYTE b1 = 0;
    BYTE b2 = 0;
    snecStatusBytes(pIniPort, &b1, &b2);
    DebugTraceF(pIniPort, TRACE_INFO, "waitForPrinterNotBusy - Status = %X", b1 * 256u + b2);

    if ((b1 & SYSTEM_DIAG_ERROR) && (b2 & PRINTER_TIMEOUT)) {
      pIniPort->AbortDoc = TRUE;
      for (int i = 0; i < 3; ++i) {
        DebugTrace(pIniPort, TRACE_ERROR, "waitForPrinterNotBusy - DETECTED PURGE SETTING ABORT DOCUMENT!");
      }
    }
    if (b1 & STOPS_PRINTING) {
      DebugTrace(pIniPort, TRACE_ERROR, "waitForPrinterNotBusy - ABORTING DOCUMENT");
      pIniPort->AbortDoc = TRUE;
      return;
    }
    if (!(b2 & BUSY)) return;

    DebugTrace(pIniPort, TRACE_INFO, "waitForPrinterNotBusy - Reading port is still busy");
    clockSleep(100);
    if (++busy >= MAX_NOT_BUSY_POLLS) {
      DebugTrace(pIniPort, TRACE_ERROR, "waitForPrinterNotBusy - timeout, aborting document");
      pIniPort->AbortDoc = TRUE;
      return;
    }
    if (pIniPort->AbortPending) {
      DebugTrace(pIniPort, TRACE_INFO, "waitForPrinterNotBusy - FOUND PROGRAMTIC ABORT PENDING");
      pIniPort->AbortDoc = TRUE;
      return;
    }
  }
}
