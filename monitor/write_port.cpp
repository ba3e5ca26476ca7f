// The write entry: job data to the lower port monitor in packets, page ends told to
// the printer, and lower write failures turned into a swallowed document, a
// deleted job or another try.
#include <cstdio>

#include "diag/debug_trace.h"
#include "diag/event_log.h"
#include "monitor/document.h"
#include "monitor/monitor_state.h"
#include "monitor/port_entry_points.h"
#include "monitor/settings.h"
#include "pipe/device_control.h"
#include "platform/clock.h"
#include "status/status_query.h"

namespace {

DWORD packetSize(INIPORT* pIniPort) {
  // A size of 0 (a registry typo or a pipe client's setting) would divide by zero.
  if (pIniPort->PortType == 2) {
    const DWORD size = Settings.USBPacketSize;
    return size != 0 ? size : DEFAULT_USB_PACKET_SIZE;
  }
  const DWORD size = Settings.SerialPacketSize;
  return size != 0 ? size : DEFAULT_SERIAL_PACKET_SIZE;
}

BOOL swallow(DWORD cbBuf, LPDWORD pcbWritten) {
  if (pcbWritten != nullptr) *pcbWritten = cbBuf;
  return TRUE;
}

// Gives up on a lower port that kept failing. Unless the user aborted, the error
// log says why the job that is reported printed did not all print, as with a
// time-out.
BOOL abandon(INIPORT* pIniPort, DWORD error, DWORD cbBuf, LPDWORD pcbWritten) {
  DebugTrace(pIniPort, TRACE_ERROR, "MonWritePortUSBPaper - Abort");
  pIniPort->AbortDoc = TRUE;
  if (!pIniPort->AbortPending) {
    pIniPort->LastWinError = error;
    ErrorLogFile(pIniPort, 0, FALSE);
  }
  return swallow(cbBuf, pcbWritten);
}

enum RetryOutcome { RETRY_WRITE, RETRY_ABANDON, RETRY_DELETE_JOB };

// After a write failure that is not a USB error: read status to learn whether the
// printer is in error (the job is deleted), unreadable (the document is abandoned)
// or fine (the write is tried again).
RetryOutcome readStatusAfterWriteFailure(INIPORT* pIniPort) {
  for (int failures = 0; failures < MAX_FAILED_STATUS_READS;) {
    if (ReadCommand(pIniPort, FALSE, nullptr, 0)) {
      if (isPrinterErrorStatus(pIniPort->PrinterStatus)) return RETRY_DELETE_JOB;
      return RETRY_WRITE;
    }
    ++failures;
    clockSleep(100);
    DebugTraceF(pIniPort, TRACE_INFO, "MonWritePortUSBPaper - Retry read = %d", failures);
  }
  return RETRY_ABANDON;
}

// The job list is read under SplSem: the status thread empties it when it leaves.
void markFirstWrite(INIPORT* pIniPort) {
  EnterCriticalSection(&SplSem);
  INIJOB* head = pIniPort->pIniJob;
  if (head != nullptr && (head->jobFlags & JOB_FIRST_WRITE_PENDING)) {
    head->jobFlags &= ~JOB_FIRST_WRITE_PENDING;
    head->jobFlags |= JOB_DATA_WRITTEN;
  }
  LeaveCriticalSection(&SplSem);
}

// The spooler is told to delete the job, but the document stays open and the port
// stays its own until the end of document: the rest of the data is swallowed, and
// neither the heartbeat nor a pipe request talks to the printer in between.
void deleteJobOnPrinterError(INIPORT* pIniPort) {
  DebugTrace(pIniPort, TRACE_ERROR, "MonWritePortUSBPaper - Error");
  EnterCriticalSection(&SplSem);
  if (pIniPort->pIniJob != nullptr) completeIniJobs(pIniPort, pIniPort->pIniJob->JobId, JOB_CONTROL_DELETE);
  LeaveCriticalSection(&SplSem);
  pIniPort->AbortDoc = TRUE;
}

}  // namespace

void printLast4Bytes(INIPORT* pIniPort, const BYTE* pBuffer, DWORD cbBuf) {
  if (!DebugTraceEnabled(TRACE_INFO)) return;
  DebugTraceF(pIniPort, TRACE_INFO, "printLast4Bytes - WP bytes to write = %u", static_cast<unsigned>(cbBuf));
  char line[64] = "";
  size_t used = 0;
  for (DWORD i = cbBuf >= 4 ? cbBuf - 4 : 0; i < cbBuf; ++i) {
    used += static_cast<size_t>(snprintf(line + used, sizeof line - used, "%x ", pBuffer[i]));
  }
  DebugTrace(pIniPort, TRACE_INFO, line);
}

BOOL WINAPI MonWritePort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbWritten) {
  INIPORT* pIniPort = static_cast<INIPORT*>(hPort);
  if (pIniPort == nullptr || pIniPort->signature != PJ_SIGNATURE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (pIniPort->PortType == 2) return MonWritePortUSBPaper(pIniPort, pBuffer, cbBuf, pcbWritten);
  // Serial ports take no job data through the monitor.
  return FALSE;
}

BOOL MonWritePortUSBPaper(INIPORT* pIniPort, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbWritten) {
  DebugTraceF(pIniPort, TRACE_INFO, "MonWritePortUSBPaper - Entry, bytes to write = %u", static_cast<unsigned>(cbBuf));
  if (pIniPort->AbortDoc || pIniPort->UsbCrcError) {
    DebugTrace(pIniPort, TRACE_INFO, "MonWritePortUSBPaper - Abort");
    return swallow(cbBuf, pcbWritten);
  }

  markFirstWrite(pIniPort);

  if (pIniPort->EOPFound) {
    pIniPort->EOPFound = FALSE;
    waitForPrinterNotBusy(pIniPort);
    clockSleep(35);
    if (pIniPort->AbortDoc) {
      DebugTrace(pIniPort, TRACE_INFO, "MonWritePortUSBPaper - Abort after wait for printer");
      return swallow(cbBuf, pcbWritten);
    }
  }

  const DWORD packet = packetSize(pIniPort);
  // The odd remainder of a long buffer goes first, so every later call of the
  // spooler is a whole number of packets.
  const DWORD piece = cbBuf % packet != 0 ? cbBuf % packet : (cbBuf == 0 ? 0 : packet);

  for (int rewrites = 0;; ++rewrites) {
    printLast4Bytes(pIniPort, pBuffer, cbBuf);
    DWORD written = 0;
    const BOOL ok = pIniPort->fn.pfnWritePort(pIniPort->hPort, pBuffer, piece, &written);
    const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    // Only what the port took is on its way to the printer, and the spooler passes
    // the rest again: the scanner sees each byte once, in order, and the printer
    // hears of a page end only once the ESC e is on the wire.
    const DWORD accepted = written < piece ? written : piece;
    pIniPort->EOPFound = findEOP_PAPER(pIniPort, pBuffer, accepted);
    if (pIniPort->EOPFound) sendDocumentRequest(pIniPort, VENDOR_END_OF_PAGE);
    if (pcbWritten != nullptr) *pcbWritten = accepted;

    if (ok) {
      pIniPort->UsbCrcError = FALSE;
      DebugTraceF(pIniPort, TRACE_INFO, "MonWritePortUSBPaper - Bytes written = %u", static_cast<unsigned>(accepted));
      return TRUE;
    }

    DebugTraceF(pIniPort, TRACE_ERROR, "MonWritePortUSBPaper - Bytes written = %u", static_cast<unsigned>(accepted));
    SetLastError(error);
    traceLastError(pIniPort, "MonWritePortUSBPaper - Write failed - ");

    if (error == ERROR_CRC || error == ERROR_GEN_FAILURE) {
      pIniPort->UsbCrcError = TRUE;
      pIniPort->LastWinError = error;
      if (Settings.DRWenable) TextLogFile(pIniPort, "WritePortPaper - CRC Error", "0002", DRW_ERRORS);
      ErrorLogFile(pIniPort, 0, FALSE);
      return swallow(cbBuf, pcbWritten);
    }
    if (error == ERROR_TIMEOUT && pIniPort->AbortOnWriteTimeout) {
      pIniPort->UsbCrcError = TRUE;
      DebugTrace(pIniPort, TRACE_ERROR, "MonWritePortUSBPaper - USB BAD ERROR - WRITE PORT TIMEOUT");
      // The rest of the job is swallowed and the job still reported printed: the
      // error log must say why, so the error is kept for it as a CRC error is.
      pIniPort->LastWinError = error;
      ErrorLogFile(pIniPort, 0, FALSE);
      return swallow(cbBuf, pcbWritten);
    }

    const RetryOutcome outcome = readStatusAfterWriteFailure(pIniPort);
    if (outcome == RETRY_DELETE_JOB) {
      deleteJobOnPrinterError(pIniPort);
      return FALSE;
    }
    if (outcome == RETRY_ABANDON || pIniPort->AbortPending) return abandon(pIniPort, error, cbBuf, pcbWritten);
    // Bytes the port took before failing are not written again: the spooler passes
    // the rest, and the next call waits for the printer if they ended a page.
    if (accepted > 0) return TRUE;
    // A lower port that keeps failing while the printer shows no error (a job
    // cancelled below us, say) must not hold the spooler's thread for ever.
    if (rewrites + 1 >= MAX_FAILED_STATUS_READS) return abandon(pIniPort, error, cbBuf, pcbWritten);
    DebugTrace(pIniPort, TRACE_INFO, "MonWritePortUSBPaper - Write port finds printer busy with No error");
  }
}
