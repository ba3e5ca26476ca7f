// The end-of-document entry: the printer is told the job's data is complete, the
// monitor waits a bounded time for it to finish, the spooler learns that the last
// page left the printer, and the port goes back to the status thread.
#include <cstdio>
#include <cstring>

#include "jobs/document.h"
#include "jobs/job_outcome.h"
#include "link/lower_port.h"
#include "link/request_write.h"
#include "link/status_copies.h"
#include "log/event_log.h"
#include "platform/clock.h"
#include "port/debug_trace.h"
#include "port/monitor_state.h"
#include "port/port_entry_points.h"
#include "port/settings.h"
#include "status/status_query.h"
#include "status/status_reply.h"

namespace {

const BYTE ENDS_PRINTING = CUTTER_JAM | HEAD_LEVER_UP | OUT_OF_PAPER;
const int END_OF_DOC_POLLS = 20;

// The status thread ends every pass by setting DoneReading; the wait still gives
// up if the thread leaves its loop or never comes round, so the spooler's thread
// cannot hang here.
const DWORD FRESH_READ_SLICE_MS = 1000;
const DWORD FRESH_READ_LIMIT_MS = 60000;

const char ABORT_TEXT[] = "MonEndDocPortUSB - Abort end of doc because of Abort or USB CRC error";

void waitForPrinterToFinish(INIPORT* pIniPort) {
  if (pIniPort->doc.AbortDoc) {
    DebugTrace(pIniPort, TRACE_INFO, ABORT_TEXT);
    pIniPort->doc.AbortDoc = FALSE;
    return;
  }
  for (int polls = 0;;) {
    if (pIniPort->link.UsbCrcError) {
      DebugTrace(pIniPort, TRACE_INFO, ABORT_TEXT);
      pIniPort->doc.AbortDoc = FALSE;
      return;
    }
    ReadCommand(pIniPort, FALSE, nullptr, 0);
    BYTE b1 = 0;
    BYTE b2 = 0;
    snecStatusBytes(pIniPort, &b1, &b2);
    DebugTraceF(pIniPort, TRACE_INFO, "MonEndDocPortUSB - End Of Doc %x", b1 * 256u + b2);
    if ((b1 & ENDS_PRINTING) || ((b1 & SYSTEM_NOT_READY) && (b1 & OUTPUT_JAM))) {
      DebugTrace(pIniPort, TRACE_INFO, "MonEndDocPortUSB - Break because of ERROR");
      return;
    }
    if (!(b2 & DOC_IN_PROGRESS)) {
      DebugTrace(pIniPort, TRACE_INFO, "MonEndDocPortUSB - Break NO ERROR");
      return;
    }
    clockSleep(100);
    if (++polls > END_OF_DOC_POLLS) {
      DebugTrace(pIniPort, TRACE_ERROR,
                 "MonEndDocPortUSB - END OF DOC TIMEOUT !!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!");
      return;
    }
    if (pIniPort->doc.AbortDoc) {
      DebugTrace(pIniPort, TRACE_INFO, ABORT_TEXT);
      pIniPort->doc.AbortDoc = FALSE;
      return;
    }
  }
}

void recordPageCounts(INIPORT* pIniPort) {
  pIniPort->doc.DocCountEODKnown = FALSE;
  if (Settings.DRWenable && (Settings.DRWdebugMask & DRW_DOCUMENTS)) {
    BYTE request[3] = {0x1B, 0x49, 0x43};
    if (ReadCommand(pIniPort, TRUE, request, sizeof request)) {
      DebugTrace(pIniPort, TRACE_INFO, "MonEndDocPortUSB - Good status at eod USB");
      STATUSFIELDS fields;
      EnterCriticalSection(&pIniPort->link.StatusCopyLock);
      decodeStatusFields(pIniPort->link.SavedStatus, pIniPort->link.SavedStatusLength, &fields);
      LeaveCriticalSection(&pIniPort->link.StatusCopyLock);
      pIniPort->doc.DocCountEOD = static_cast<DWORD>(fields.ticketCount);
      pIniPort->doc.DocCountEODKnown = fields.ticketCountText[0] >= '0' && fields.ticketCountText[0] <= '9';
      DebugTraceF(pIniPort, TRACE_INFO, "MonEndDocPortUSB - Doc count from status at EOD = %u sod %u",
                  static_cast<unsigned>(pIniPort->doc.DocCountEOD), static_cast<unsigned>(pIniPort->doc.DocCountSOD));
      snprintf(pIniPort->doc.HeadTempEOD, sizeof pIniPort->doc.HeadTempEOD, "%s", fields.headTempText);
    } else {
      DebugTrace(pIniPort, TRACE_ERROR, "MonEndDocPortUSB - Bad status at eod USB");
      pIniPort->doc.DocCountEOD = 0;
      snprintf(pIniPort->doc.HeadTempEOD, sizeof pIniPort->doc.HeadTempEOD, "%s", "NULL");
    }
  }
  // A count from a counter that could not be read, or one that went back (a
  // printer restarted by a firmware update), would be a made-up number.
  const BOOL totalKnown = pIniPort->doc.DocCountEODKnown;
  const BOOL pagesKnown =
      totalKnown && pIniPort->doc.DocCountSODKnown && pIniPort->doc.DocCountEOD >= pIniPort->doc.DocCountSOD;
  const DWORD pages = pIniPort->doc.DocCountEOD - pIniPort->doc.DocCountSOD;
  pIniPort->doc.DocCountSOD = pagesKnown ? pages : 0;
  char pagesText[16] = "unknown";
  char totalText[16] = "unknown";
  if (pagesKnown) snprintf(pagesText, sizeof pagesText, "%u", static_cast<unsigned>(pages));
  if (totalKnown) snprintf(totalText, sizeof totalText, "%u", static_cast<unsigned>(pIniPort->doc.DocCountEOD));
  char text[256];
  snprintf(text, sizeof text, "End Doc %s pages, total pages %s, temp %s", pagesText, totalText,
           pIniPort->doc.HeadTempEOD);
  DebugTrace(pIniPort, TRACE_INFO, text);
  if (Settings.DRWenable) TextLogFile(pIniPort, text, "0005", DRW_DOCUMENTS);
}

void waitForFreshStatusRead(INIPORT* pIniPort) {
  if (!(pIniPort->flags & PP_STATUS_LOOP)) return;
  ResetEvent(pIniPort->status.DoneReading);
  SetEvent(pIniPort->status.WakeUp);
  for (DWORD waited = 0; waited < FRESH_READ_LIMIT_MS; waited += FRESH_READ_SLICE_MS) {
    const DWORD result = clockWait(pIniPort->status.DoneReading, FRESH_READ_SLICE_MS);
    if (result != WAIT_TIMEOUT) return;
    if (!(pIniPort->flags & PP_STATUS_LOOP)) return;
  }
  DebugTrace(pIniPort, TRACE_ERROR, "MonEndDocPortUSB - no fresh status read from the status thread");
}

// A job that did not end on a page end had no wait that would have seen a printer
// restart since its last page: one status read looks.
void checkPrinterKeptDocument(INIPORT* pIniPort) {
  if (!pIniPort->doc.DocToldToPrinter || pIniPort->doc.JobCause != JOB_CAUSE_NONE) return;
  const DWORD kept = snecRepliesKept(pIniPort);
  if (!ReadCommand(pIniPort, FALSE, nullptr, 0) || snecRepliesKept(pIniPort) == kept) return;
  BYTE b1 = 0;
  BYTE b2 = 0;
  snecStatusBytes(pIniPort, &b1, &b2);
  if (!(b2 & DOC_IN_PROGRESS)) printerForgotDocument(pIniPort);
}

// The zeros and the end request after a last page end would reach a printer still
// busy with that page, which loses them: they wait for it as the job's next data
// would, also when the job was lost (the zeros keep the printer's parser in step
// with the next job). The wait is bounded; a printer that stays busy keeps the page
// end pending, so the next document waits for it too. FALSE when the printer is not
// ready for them (still busy, or the link broke).
BOOL waitForLastPage(INIPORT* pIniPort) {
  if (pIniPort->link.UsbCrcError) return FALSE;
  if (!pIniPort->doc.EOPFound) {
    checkPrinterKeptDocument(pIniPort);
    return TRUE;
  }
  if (waitForPrinterNotBusy(pIniPort) != ERROR_SUCCESS) return FALSE;
  pIniPort->doc.EOPFound = FALSE;
  clockSleep(35);
  return TRUE;
}

}  // namespace

BOOL WINAPI MonEndDocPort(HANDLE hPort) { return MonEndDocPortUSB(static_cast<INIPORT*>(hPort)); }

BOOL MonEndDocPortUSB(INIPORT* pIniPort) {
  if (pIniPort == nullptr || pIniPort->signature != PJ_SIGNATURE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  EnterCriticalSection(&SplSem);
  INIJOB* head = pIniPort->pIniJob;
  if (head != nullptr) head->EndTick = clockTickCount();
  LeaveCriticalSection(&SplSem);
  if (head == nullptr) DebugTrace(pIniPort, TRACE_INFO, "MonEndDocPortUSB - No jobs?");
  displayJobs(pIniPort);

  // A block whose zeros the printer did not all take would swallow the end
  // request: the next document finishes the block first, and the request waits.
  // Zeros for a printer not ready for them (still busy with the last page, or over
  // a broken link) would be lost: they wait for the next document too.
  BOOL outOfBlock = TRUE;
  if (pIniPort->settings.PortType == PORT_TYPE_USB) {
    // The zeros go to a printer seen ready, as data after a page end does: a printer
    // busy with a page the scanner did not see would lose them.
    if (rasterFillLength(pIniPort) > 0) pIniPort->doc.EOPFound = TRUE;
    outOfBlock = waitForLastPage(pIniPort) ? finishCutBlock(pIniPort) : rasterFillLength(pIniPort) == 0;
    if (!outOfBlock) pIniPort->doc.BlockFillOwed = TRUE;
  }
  sendDocumentRequest(pIniPort, VENDOR_END_OF_DOCUMENT);
  const BYTE statusRequest[3] = {0x1B, 0x49, 0x65};
  if (outOfBlock) {
    DWORD sent = 0;
    // A request cut after its ESC leaves the printer's parser in a command: the
    // scanner follows it there, and the next document finishes it with a zero
    // byte before its own, as it does a cut block.
    if (!WriteWholeRequest(pIniPort, statusRequest, sizeof statusRequest, &sent) && pIniPort->settings.PortType == PORT_TYPE_USB &&
        sent > 0) {
      findEOP_PAPER(pIniPort, statusRequest, sent);
      pIniPort->doc.BlockFillOwed = rasterFillLength(pIniPort) > 0;
    }
  }
  clockSleep(35);
  clockSleep(500);
  ReadCommand(pIniPort, FALSE, nullptr, 0);  // drops a stale reply
  waitForPrinterToFinish(pIniPort);

  lowerEndDoc(pIniPort);
  if (pIniPort->link.UsbCrcError) {
    DebugTrace(pIniPort, TRACE_INFO, "MonEndDocPortUSB - Start of CRC error wait");
    clockSleep(12000);
    DebugTrace(pIniPort, TRACE_INFO, "MonEndDocPortUSB - End of CRC error wait");
  }

  clockSleep(35);
  WaitForSingleObject(pIniPort->pipe.hPipeDoingStatus, INFINITE);
  recordPageCounts(pIniPort);

  // The job leaves the list here, settled once: printed or not, it is never
  // reported later.
  EnterCriticalSection(&SplSem);
  INIJOB* job = pIniPort->pIniJob;
  if (job != nullptr) pIniPort->pIniJob = job->pNext;
  LeaveCriticalSection(&SplSem);
  const BOOL reported = settleJobOutcome(pIniPort, job);
  pIniPort->doc.JobHeld = FALSE;
  pIniPort->doc.AbortDoc = FALSE;

  pIniPort->flags &= ~PP_IN_DOC;
  pIniPort->status.printerState = PRINTER_STATE_HEARTBEAT;
  SetEvent(pIniPort->status.heartbeatRun);
  SetEvent(pIniPort->PortFree);
  waitForFreshStatusRead(pIniPort);
  ReleaseMutex(pIniPort->pipe.hPipeDoingStatus);
  return reported;
}
