// After a page the next data waits until the printer is no longer busy; a printer
// that shows a condition, stays busy or stops answering holds the job; a purge or
// a client's abort loses it.
#include "jobs/document.h"
#include "jobs/job_outcome.h"
#include "link/status_copies.h"
#include "platform/clock.h"
#include "port/debug_trace.h"
#include "status/status_query.h"
#include "status/status_reply.h"

namespace {

const BYTE STOPS_PRINTING =
    MANUAL_DESELECT | PAPER_REG_ERROR | CUTTER_JAM | HEAD_LEVER_UP | OUT_OF_PAPER | OUTPUT_JAM;

// A read that finds no device (the printer switched off or unplugged) leaves open
// whether the printer restarted meanwhile.
void notePrinterGone(INIPORT* pIniPort) {
  if (pIniPort->status.LastWinError == ERROR_GEN_FAILURE) pIniPort->doc.PrinterGoneInDoc = TRUE;
}

}  // namespace

void printerForgotDocument(INIPORT* pIniPort) {
  // It restarted, its parser with it, and took what followed of the job as
  // commands: that may have printed as anything.
  DebugTrace(pIniPort, TRACE_ERROR, "waitForPrinterNotBusy - printer restarted during the document");
  losePageScannerPlace(pIniPort);
  loseJob(pIniPort, JOB_CAUSE_RESTARTED);
}

DWORD waitForPrinterNotBusy(INIPORT* pIniPort) {
  int busy = 0;
  int unreadable = 0;
  for (;;) {
    if (!ReadCommand(pIniPort, FALSE, nullptr, 0)) notePrinterGone(pIniPort);
    clockSleep(5);
    // The verdict rests on the latest S/N/E/C reply, which a silent printer, or one
    // whose replies come garbled, never replaces: a pass without a reply of its own
    // says nothing, not even "not busy" (data sent to a busy printer is lost).
    // Unreadable passes are counted as the write path does.
    const DWORD kept = snecRepliesKept(pIniPort);
    const BOOL read = ReadCommand(pIniPort, FALSE, nullptr, 0);
    if (!read) notePrinterGone(pIniPort);
    if (!read || snecRepliesKept(pIniPort) == kept) {
      if (++unreadable >= MAX_FAILED_STATUS_READS) {
        DebugTrace(pIniPort, TRACE_ERROR, "waitForPrinterNotBusy - printer not answering, holding the job");
        return ERROR_NOT_READY;
      }
      clockSleep(100);
      continue;
    }
    unreadable = 0;
    BYTE b1 = 0;
    BYTE b2 = 0;
    snecStatusBytes(pIniPort, &b1, &b2);
    DebugTraceF(pIniPort, TRACE_INFO, "waitForPrinterNotBusy - Status = %X", b1 * 256u + b2);

    // A purge or a restart loses the job; the wait goes on as for any lost job, so
    // that what the end of the document still writes does not reach a busy printer.
    if ((b1 & SYSTEM_DIAG_ERROR) && (b2 & PRINTER_TIMEOUT) && pIniPort->doc.JobCause != JOB_CAUSE_PURGED) {
      for (int i = 0; i < 3; ++i) {
        DebugTrace(pIniPort, TRACE_ERROR, "waitForPrinterNotBusy - DETECTED PURGE SETTING ABORT DOCUMENT!");
      }
      // What the printer held is gone: the job cannot be complete.
      loseJob(pIniPort, JOB_CAUSE_PURGED);
    }
    if (!pIniPort->doc.DocToldToPrinter && pIniPort->doc.PrinterGoneInDoc) {
      // Gone and back before it knew of the document: whether it restarted cannot be
      // told, and a restart would have read the job's blocks as commands.
      printerForgotDocument(pIniPort);
    } else if (!pIniPort->doc.DocToldToPrinter) {
      // A printer that missed the start of the document is told now, so that a
      // restart later in the document shows.
      pIniPort->doc.DocToldToPrinter = sendDocumentRequest(pIniPort, VENDOR_START_OF_DOCUMENT);
    } else if (!(b2 & DOC_IN_PROGRESS) && pIniPort->doc.JobCause != JOB_CAUSE_RESTARTED) {
      printerForgotDocument(pIniPort);
    }
    if (b1 & STOPS_PRINTING) {
      DebugTrace(pIniPort, TRACE_ERROR, "waitForPrinterNotBusy - printer stopped, holding the job");
      return (b1 & OUT_OF_PAPER) ? static_cast<DWORD>(ERROR_OUT_OF_PAPER) : static_cast<DWORD>(ERROR_NOT_READY);
    }
    if (!(b2 & BUSY)) return ERROR_SUCCESS;

    DebugTrace(pIniPort, TRACE_INFO, "waitForPrinterNotBusy - Reading port is still busy");
    clockSleep(100);
    if (++busy >= MAX_NOT_BUSY_POLLS) {
      DebugTrace(pIniPort, TRACE_ERROR, "waitForPrinterNotBusy - timeout, holding the job");
      return ERROR_BUSY;
    }
    // An abort ends the wait of a job it has not ended yet; a job already lost still
    // waits, as the end of its document does before the bytes it writes.
    if (pIniPort->doc.AbortPending && !pIniPort->doc.AbortDoc) {
      DebugTrace(pIniPort, TRACE_INFO, "waitForPrinterNotBusy - FOUND PROGRAMTIC ABORT PENDING");
      loseJob(pIniPort, JOB_CAUSE_ABORTED);
      // Not a verdict of ready: the printer is still busy.
      return ERROR_OPERATION_ABORTED;
    }
  }
}
