// The write entry: job data to the lower port monitor in packets, page ends told to
// the printer, and lower write failures turned into a held job (the spooler keeps
// the rest and tries again) or, when the link broke, a job that will not print.
#include <cstdio>

#include "jobs/document.h"
#include "jobs/job_outcome.h"
#include "link/device_control.h"
#include "link/lower_port.h"
#include "log/event_log.h"
#include "platform/clock.h"
#include "port/debug_trace.h"
#include "port/monitor_state.h"
#include "port/port_entry_points.h"
#include "port/settings.h"
#include "status/status_query.h"

namespace {

DWORD packetSize(INIPORT* pIniPort) {
  // A size of 0 (a registry typo or a pipe client's setting) would divide by zero.
  if (pIniPort->settings.PortType == PORT_TYPE_USB) {
    const DWORD size = Settings.USBPacketSize;
    return size != 0 ? size : DEFAULT_USB_PACKET_SIZE;
  }
  const DWORD size = Settings.SerialPacketSize;
  return size != 0 ? size : DEFAULT_SERIAL_PACKET_SIZE;
}

// The rest of a job that will not print is taken and dropped, so that the spooler
// comes to the end of the document, where the job is settled as not printed.
BOOL swallow(DWORD cbBuf, LPDWORD pcbWritten) {
  if (pcbWritten != nullptr) *pcbWritten = cbBuf;
  return TRUE;
}

// The job goes back to the spooler to be tried again: FALSE with the bytes the
// printer took, and the condition as last error.
// While held the printer may wait long for its operator: its watchdog gets the idle
// time-out, and the printing one again when the job goes on.
BOOL hold(INIPORT* pIniPort, DWORD error) {
  if (!pIniPort->doc.JobHeld) {
    DebugTraceF(pIniPort, TRACE_ERROR, "MonWritePortUSBPaper - Job held, error %u", static_cast<unsigned>(error));
    sendEnableWatchDog(pIniPort, FALSE);
  }
  pIniPort->doc.JobHeld = TRUE;
  SetLastError(error);
  return FALSE;
}

// After a write failure that is not a link failure: read status to learn whether
// the printer shows a condition the operator clears (the job is held), does not
// answer (held too), or is fine (the write is tried again).
DWORD readStatusAfterWriteFailure(INIPORT* pIniPort) {
  for (int failures = 0; failures < MAX_FAILED_STATUS_READS;) {
    if (ReadCommand(pIniPort, FALSE, nullptr, 0)) return holdErrorForStatus(pIniPort->status.PrinterStatus);
    ++failures;
    clockSleep(100);
    DebugTraceF(pIniPort, TRACE_INFO, "MonWritePortUSBPaper - Retry read = %d", failures);
  }
  return ERROR_NOT_READY;
}

// The zeros an earlier document's open block still owed did not all reach the
// printer: a broken link loses the job as a failed data write does; anything else
// holds it, and the next call sends them again before the job's bytes.
BOOL owedFillFailed(INIPORT* pIniPort, DWORD cbBuf, LPDWORD pcbWritten) {
  const DWORD error = GetLastError();
  if (error == ERROR_CRC || error == ERROR_GEN_FAILURE) {
    pIniPort->link.UsbCrcError = TRUE;
    pIniPort->status.LastWinError = error;
    loseJob(pIniPort, JOB_CAUSE_LINK_FAILED);
    return swallow(cbBuf, pcbWritten);
  }
  const DWORD condition = readStatusAfterWriteFailure(pIniPort);
  if (pIniPort->doc.AbortPending) {
    loseJob(pIniPort, JOB_CAUSE_ABORTED);
    return swallow(cbBuf, pcbWritten);
  }
  return hold(pIniPort, condition != ERROR_SUCCESS ? condition : error);
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
  if (pIniPort->settings.PortType == PORT_TYPE_USB) return MonWritePortUSBPaper(pIniPort, pBuffer, cbBuf, pcbWritten);
  // Serial ports take no job data through the monitor: a job with data cannot print.
  if (pcbWritten != nullptr) *pcbWritten = 0;
  if (pIniPort->flags & PP_IN_DOC) {
    noteBytesHanded(pIniPort, cbBuf);
    if (cbBuf > 0) loseJob(pIniPort, JOB_CAUSE_NO_DATA_PATH);
  }
  return FALSE;
}

BOOL MonWritePortUSBPaper(INIPORT* pIniPort, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbWritten) {
  DebugTraceF(pIniPort, TRACE_INFO, "MonWritePortUSBPaper - Entry, bytes to write = %u", static_cast<unsigned>(cbBuf));
  if (pcbWritten != nullptr) *pcbWritten = 0;
  noteBytesHanded(pIniPort, cbBuf);
  // A client's abort is honoured at the next write, whatever the job was doing.
  if (pIniPort->doc.AbortPending && pIniPort->doc.JobCause == JOB_CAUSE_NONE) loseJob(pIniPort, JOB_CAUSE_ABORTED);
  if (pIniPort->doc.AbortDoc || pIniPort->link.UsbCrcError) {
    DebugTrace(pIniPort, TRACE_INFO, "MonWritePortUSBPaper - Abort");
    return swallow(cbBuf, pcbWritten);
  }

  if (pIniPort->doc.EOPFound) {
    const DWORD verdict = waitForPrinterNotBusy(pIniPort);
    if (pIniPort->doc.AbortDoc) {
      DebugTrace(pIniPort, TRACE_INFO, "MonWritePortUSBPaper - Abort after wait for printer");
      return swallow(cbBuf, pcbWritten);
    }
    // The page end stays pending: the next call waits for the printer again.
    if (verdict != ERROR_SUCCESS) return hold(pIniPort, verdict);
    pIniPort->doc.EOPFound = FALSE;
    clockSleep(35);
  }
  if (pIniPort->doc.BlockFillOwed && !finishCutBlock(pIniPort)) return owedFillFailed(pIniPort, cbBuf, pcbWritten);

  const DWORD packet = packetSize(pIniPort);
  // The odd remainder of a long buffer goes first, so every later call of the
  // spooler is a whole number of packets.
  const DWORD piece = cbBuf % packet != 0 ? cbBuf % packet : (cbBuf == 0 ? 0 : packet);

  for (int rewrites = 0;; ++rewrites) {
    printLast4Bytes(pIniPort, pBuffer, cbBuf);
    DWORD written = 0;
    BOOL ok = FALSE;
    DWORD error = ERROR_SUCCESS;
    ok = lowerWrite(pIniPort, pBuffer, piece, &written);
    error = ok ? ERROR_SUCCESS : GetLastError();
    // Only what the port took is on its way to the printer, and the spooler passes
    // the rest again: the scanner sees each byte once, in order, and the printer
    // hears of a page end only once the ESC e is on the wire.
    const DWORD accepted = written < piece ? written : piece;
    pIniPort->doc.JobBytesDelivered = pIniPort->doc.JobBytesDelivered + accepted;
    pIniPort->doc.EOPFound = findEOP_PAPER(pIniPort, pBuffer, accepted);
    if (pIniPort->doc.EOPFound) sendDocumentRequest(pIniPort, VENDOR_END_OF_PAGE);
    if (pcbWritten != nullptr) *pcbWritten = accepted;

    if (ok) {
      if (pIniPort->doc.JobHeld) sendEnableWatchDog(pIniPort, TRUE);
      pIniPort->doc.JobHeld = FALSE;
      DebugTraceF(pIniPort, TRACE_INFO, "MonWritePortUSBPaper - Bytes written = %u", static_cast<unsigned>(accepted));
      return TRUE;
    }

    DebugTraceF(pIniPort, TRACE_ERROR, "MonWritePortUSBPaper - Bytes written = %u", static_cast<unsigned>(accepted));
    SetLastError(error);
    traceLastError(pIniPort, "MonWritePortUSBPaper - Write failed - ");

    if (error == ERROR_CRC || error == ERROR_GEN_FAILURE) {
      // How much the printer took is unknown: the rest is dropped rather than
      // printed as garbage, and the job will not be reported printed.
      pIniPort->link.UsbCrcError = TRUE;
      pIniPort->status.LastWinError = error;
      loseJob(pIniPort, JOB_CAUSE_LINK_FAILED);
      if (Settings.DRWenable) TextLogFile(pIniPort, "WritePortPaper - CRC Error", "0002", DRW_ERRORS);
      ErrorLogFile(pIniPort, 0, FALSE);
      return swallow(cbBuf, pcbWritten);
    }

    const DWORD condition = readStatusAfterWriteFailure(pIniPort);
    if (pIniPort->doc.AbortPending) {
      loseJob(pIniPort, JOB_CAUSE_ABORTED);
      return swallow(cbBuf, pcbWritten);
    }
    if (condition != ERROR_SUCCESS) {
      DebugTrace(pIniPort, TRACE_ERROR, "MonWritePortUSBPaper - Error");
      return hold(pIniPort, condition);
    }
    if (error == ERROR_TIMEOUT && pIniPort->settings.AbortOnWriteTimeout) {
      DebugTrace(pIniPort, TRACE_ERROR, "MonWritePortUSBPaper - USB BAD ERROR - WRITE PORT TIMEOUT");
      pIniPort->link.UsbCrcError = TRUE;
      pIniPort->status.LastWinError = error;
      loseJob(pIniPort, JOB_CAUSE_WRITE_TIMEOUT);
      ErrorLogFile(pIniPort, 0, FALSE);
      return swallow(cbBuf, pcbWritten);
    }
    // Bytes the port took before failing are not written again: the spooler passes
    // the rest, and the next call waits for the printer if they ended a page.
    if (accepted > 0) return TRUE;
    // A lower port that keeps failing while the printer shows no error goes back to
    // the spooler, which shows the job in error and tries again: each call is bounded.
    if (rewrites + 1 >= MAX_FAILED_STATUS_READS) return hold(pIniPort, error);
    DebugTrace(pIniPort, TRACE_INFO, "MonWritePortUSBPaper - Write port finds printer busy with No error");
  }
}
