// The start-of-document entry: the job is registered with its own printer handle,
// the port is marked printing (which parks the status thread's heartbeat), the
// printer is told, and the port is taken until the end of the document.
#include "entry/monitor_entry.h"
#include "jobs/document.h"
#include "jobs/job_outcome.h"
#include "link/device_control.h"
#include "link/lower_port.h"
#include "link/status_copies.h"
#include "log/event_log.h"
#include "pipe/pipe_server.h"
#include "platform/clock.h"
#include "platform/spooler.h"
#include "port/debug_trace.h"
#include "port/monitor_state.h"
#include "port/port_entry_points.h"
#include "port/settings.h"
#include "status/status_query.h"
#include "status/status_thread.h"

namespace {

// The spooler opens a port right before its first job, so that job usually starts
// before the status thread's first reply; a heartbeat read may also have failed on
// the wire. Until a read succeeds the printer is sent no request, and the job would
// go without its start, its page ends and its counts. The document's own status
// query opens the way when the link answers, tried a few times as any query is.
#define LINK_CHECK_TRIES 3

void checkLinkBeforeDocument(INIPORT* pIniPort) {
  for (int tries = 0; !pIniPort->link.goodCommWithPrinter; ++tries) {
    if (tries == LINK_CHECK_TRIES) {
      DebugTrace(pIniPort, TRACE_ERROR, "MonStartDoc - Printer link still bad, the printer is not told of the document");
      if (Settings.DRWenable) TextLogFile(pIniPort, "Printer Not responding - Start Doc", "0019", DRW_ERRORS);
      return;
    }
    DebugTrace(pIniPort, TRACE_INFO, "MonStartDoc - No good exchange with the printer yet, reading status");
    ReadCommand(pIniPort, FALSE, nullptr, 0);
  }
}

// The printer's ticket counter before the job, for the page count in the log; it
// is known only when the reply carried its digits.
DWORD readTicketCounter(INIPORT* pIniPort) {
  BYTE request[4] = {0x1B, 0x49, 0x41, 0x02};
  if (!ReadCommand(pIniPort, TRUE, request, sizeof request)) {
    DebugTrace(pIniPort, TRACE_ERROR, "MonStartDoc - get doc count failed");
    return 0;
  }
  DWORD count = 0;
  DWORD i = 3;
  HANDLE locked = lockLastStatus(pIniPort);
  for (; i < pIniPort->status.LastStatusLength && pIniPort->status.LastStatus[i] >= '0' && pIniPort->status.LastStatus[i] <= '9'; ++i) {
    count = count * 10 + (pIniPort->status.LastStatus[i] - '0');
  }
  unlockLastStatus(locked);
  pIniPort->doc.DocCountSODKnown = i > 3;
  DebugTraceF(pIniPort, TRACE_INFO, "MonStartDoc - Doc count before print = %u", static_cast<unsigned>(count));
  return count;
}

void setSerialTimeouts(INIPORT* pIniPort) {
  if (!lowerHasSetTimeOuts(pIniPort)) return;
  // The reads of a serial status exchange wait at most 20 ms beyond one per byte;
  // writes get the same budget as on USB so a stuck line ends the write.
  COMMTIMEOUTS timeouts = {0, 1, 20, Settings.USBWriteTotalTimeoutMultiplier, Settings.USBWriteTotalTimeoutConstant};
  const BOOL ok = lowerSetTimeOuts(pIniPort, &timeouts);
  DebugTrace(pIniPort, ok ? TRACE_INFO : TRACE_ERROR,
             ok ? "MonStartDoc - Serial Port timeouts PASSED PASSED PASSED PASSED "
                : "MonStartDoc - Serial Port timeouts FAILED FAILED FAILED FAILED ");
}

// An update running on the port owns the printer until it ends. The spooler's
// thread waits for it a bounded time, without the pipe's status handle so that
// clients can follow the update meanwhile; past that the job is refused as busy and
// the spooler retries it.
#define FLASH_WAIT_LIMIT 60000u

BOOL waitForFlashToEnd(INIPORT* pIniPort) {
  if (!pIniPort->flash.FlashInProgress) return TRUE;
  ReleaseMutex(pIniPort->pipe.hPipeDoingStatus);
  const DWORD start = clockTickCount();
  while (pIniPort->flash.FlashInProgress && clockTickCount() - start < FLASH_WAIT_LIMIT) clockSleep(100);
  WaitForSingleObject(pIniPort->pipe.hPipeDoingStatus, INFINITE);
  return !pIniPort->flash.FlashInProgress;
}

// Undoes the marking of the port for a document that does not start.
BOOL abandonDocument(INIPORT* pIniPort, INIJOB* job, DWORD error) {
  pIniPort->flags &= ~PP_IN_DOC;
  SetEvent(pIniPort->status.heartbeatRun);
  ReleaseMutex(pIniPort->pipe.hPipeDoingStatus);
  FreeIniJob(pIniPort, job);
  SetLastError(error);
  return FALSE;
}

}  // namespace

BOOL WINAPI MonStartDoc(HANDLE hPort, LPWSTR pPrinterName, DWORD JobId, DWORD Level, LPBYTE pDocInfo) {
  INIPORT* pIniPort = static_cast<INIPORT*>(hPort);
  // The trace names the port's printer: only a handle that is a port record may give it.
  INIPORT* traced = pIniPort != nullptr && pIniPort->signature == PJ_SIGNATURE ? pIniPort : nullptr;
  DebugTrace(traced, TRACE_INFO, QX_MONITOR_VERSION_TEXT);
  DebugTrace(traced, TRACE_INFO, QX_MONITOR_BUILD_MARK);
  DebugTraceF(traced, TRACE_INFO, "MonStartDoc - Job ID = %u", static_cast<unsigned>(JobId));

  if (traced == nullptr || pDocInfo == nullptr || pPrinterName == nullptr || pPrinterName[0] == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    DebugTrace(traced, TRACE_ERROR, "MonStartDoc - Error bad start doc parameters");
    return FALSE;
  }
  if (Level != 1) {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  if (pIniPort->flags & PP_IN_DOC) {
    SetLastError(ERROR_BUSY);
    DebugTrace(pIniPort, TRACE_ERROR, "MonStartDoc - In start doc when start doc called");
    return FALSE;
  }

  INIJOB* job = AllocIniJob(pPrinterName);
  if (job == nullptr) {
    DebugTrace(pIniPort, TRACE_ERROR, "MonStartDoc - IniPort does not exist");
    return FALSE;
  }
  if (!spoolerOpenPrinter(job->pPrinterName, &job->hPrinter, nullptr)) {
    DebugTrace(pIniPort, TRACE_ERROR, "MonStartDoc - OpenPrinter failed");
    job->hPrinter = nullptr;
    FreeIniJob(pIniPort, job);
    return FALSE;
  }

  // The page scanner is not reset: the end of the last document finished any block
  // it cut, and the printer's own parser carries over just the same.
  WaitForSingleObject(pIniPort->pipe.hPipeDoingStatus, INFINITE);
  const BOOL statusLocked = WaitForSingleObject(pIniPort->status.StatusNotInProgress, INFINITE) == WAIT_OBJECT_0;
  pIniPort->flags |= PP_IN_DOC;
  ResetEvent(pIniPort->status.heartbeatRun);
  if (statusLocked) ReleaseMutex(pIniPort->status.StatusNotInProgress);
  // An update claimed before the port was marked goes first; one claimed later sees
  // the mark and is refused.
  if (!waitForFlashToEnd(pIniPort)) {
    DebugTrace(pIniPort, TRACE_ERROR, "MonStartDoc - Firmware update still running, port busy");
    return abandonDocument(pIniPort, job, ERROR_BUSY);
  }
  // A link failure belongs to the document whose write met it; each document
  // starts with the link believed good until its own writes say otherwise.
  pIniPort->link.UsbCrcError = FALSE;
  checkLinkBeforeDocument(pIniPort);

  sendEnableWatchDog(pIniPort, TRUE);

  pIniPort->doc.DocCountSODKnown = FALSE;
  if (pIniPort->settings.PortType != PORT_TYPE_SERIAL && Settings.DRWenable && (Settings.DRWdebugMask & DRW_DOCUMENTS)) {
    pIniPort->doc.DocCountSOD = readTicketCounter(pIniPort);
  }

  pIniPort->doc.DocToldToPrinter = sendDocumentRequest(pIniPort, VENDOR_START_OF_DOCUMENT);
  pIniPort->doc.PrinterGoneInDoc = FALSE;

  if (!lowerStartDoc(pIniPort, pPrinterName, JobId, 1, pDocInfo)) {
    const DWORD error = GetLastError();
    DebugTrace(pIniPort, TRACE_ERROR, "MonStartDoc - Bad return from call to monitor start doc port");
    // The port goes back to idle, its watchdog with the idle time-out again.
    sendEnableWatchDog(pIniPort, FALSE);
    return abandonDocument(pIniPort, job, error);
  }

  pIniPort->status.printerState = PRINTER_STATE_PRINTING;
  if (Settings.DRWenable) TextLogFile(pIniPort, "Start Doc", "0023", DRW_DOCUMENTS);
  pIniPort->doc.AbortPending = FALSE;
  pIniPort->doc.AbortDoc = FALSE;
  // EOPFound stays: a page that ended the last document still owes its wait for the
  // printer, or this job's first bytes reach a printer busy with it and are lost.
  if (pIniPort->settings.PortType == PORT_TYPE_SERIAL) setSerialTimeouts(pIniPort);
  if (!(pIniPort->flags & PP_RUN_THREAD)) {
    // A memory query stopped the threads it started; the document needs both again.
    CreateUstatusThread(pIniPort);
    CreatePipeThread(pIniPort);
  }

  job->JobId = JobId;
  beginJobOutcome(pIniPort);
  EnterCriticalSection(&SplSem);
  job->pNext = pIniPort->pIniJob;
  pIniPort->pIniJob = job;
  LeaveCriticalSection(&SplSem);

  WaitForSingleObject(pIniPort->PortFree, INFINITE);
  ReleaseMutex(pIniPort->pipe.hPipeDoingStatus);
  return TRUE;
}
