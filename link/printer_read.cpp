// The one read through which the monitor reads from the printer: around the lower
// read it keeps the port's communication flag, the USB watchdog counters carried in
// status replies and the copies of the latest replies.
#include "link/printer_read.h"

#include <cstdio>
#include <cstring>

#include "link/link_lock.h"
#include "link/lower_port.h"
#include "link/printer_reply.h"
#include "link/status_copies.h"
#include "log/event_log.h"
#include "platform/clock.h"
#include "port/debug_trace.h"
#include "port/port_record.h"
#include "port/settings.h"

namespace {

void logWatchdogChange(INIPORT* pIniPort, LPCSTR format, int value) {
  char text[LOG_LINE_SIZE];
  snprintf(text, sizeof text, format, value);
  DebugTrace(pIniPort, TRACE_INFO, text);
  if (Settings.DRWenable) TextLogFile(pIniPort, text, "0025", DRW_WATCHDOG);
}

// A USB printer with an active watchdog puts its counters into bytes 1 and 2 of S and
// C replies; they are recorded and the plain field-00 digits put back.
void takeWatchdogBytes(INIPORT* pIniPort, LPBYTE reply) {
  if (reply[1] == '0' && reply[2] == '0') {
    DebugTrace(pIniPort, TRACE_INFO, "PJLMonReadPort - WD OFF");
    pIniPort->link.WDCapable = FALSE;
    return;
  }
  pIniPort->link.WDCapable = TRUE;
  DebugTrace(pIniPort, TRACE_INFO, "PJLMonReadPort - WD USB can WD");
  char version[sizeof pIniPort->link.WDVersion];
  EnterCriticalSection(&pIniPort->link.StatusCopyLock);
  pIniPort->link.WDVersion[4] = static_cast<char>(reply[2]);
  memcpy(version, pIniPort->link.WDVersion, sizeof version);
  LeaveCriticalSection(&pIniPort->link.StatusCopyLock);

  const BYTE enumerations = static_cast<BYTE>(reply[1] >> 4);
  const BYTE timeouts = static_cast<BYTE>(reply[1] & 0x0F);
  if (pIniPort->link.WDCountsKnown) {
    if (enumerations != pIniPort->link.WDEnumerations) {
      logWatchdogChange(pIniPort, "PJLMonReadPort - ENUMERATION CHANGE SINCE LAST HB, NEW VALUE = %d", enumerations);
    }
    if (timeouts != pIniPort->link.WDTimeouts) {
      logWatchdogChange(pIniPort, "PJLMonReadPort - TIMEOUT CHANGE SINCE LAST HB, NEW VALUE = %d", timeouts);
    }
  } else {
    pIniPort->link.WDCountsKnown = TRUE;
  }
  pIniPort->link.WDEnumerations = enumerations;
  pIniPort->link.WDTimeouts = timeouts;
  DebugTraceF(pIniPort, TRACE_INFO, "PJLMonReadPort - Enumerations = %d, timeouts = %d", enumerations, timeouts);
  DebugTraceF(pIniPort, TRACE_INFO, "PJLMonReadPort - WD version = %s", version);
  reply[1] = '0';
  reply[2] = '0';
}

// Keeps the reply in the port's copies, each cut to its own size.
void saveReply(INIPORT* pIniPort, const BYTE* reply, DWORD length) {
  EnterCriticalSection(&pIniPort->link.StatusCopyLock);
  // Only a reply that carries both status bytes: the page wait judges the printer by
  // them, and a reply cut before them would pair its garbage with a stale byte.
  if (isSNECReply(reply[0]) && length >= FAKE_STATUS_LENGTH) {
    DebugTraceF(pIniPort, TRACE_INFO, "PJLMonReadPort - Saving SNEC status in PJLMonReadPort, 1st c = %c, length = %u",
                reply[0], static_cast<unsigned>(length));
    const DWORD snecLength = length < SNEC_STATUS_SIZE ? length : SNEC_STATUS_SIZE;
    memcpy(pIniPort->link.SNECStatus, reply, snecLength);
    pIniPort->link.SNECStatusLength = snecLength;
    ++pIniPort->link.SNECRepliesKept;
  }
  const BOOL plainComplete = reply[0] == 'C' && length > 2 && reply[1] == '0' && reply[2] == '0';
  if (plainComplete || pIniPort->link.SavedStatusLength == 0) {
    const DWORD savedLength = length < SAVED_STATUS_SIZE ? length : SAVED_STATUS_SIZE;
    memcpy(pIniPort->link.SavedStatus, reply, savedLength);
    pIniPort->link.SavedStatusLength = savedLength;
  }
  LeaveCriticalSection(&pIniPort->link.StatusCopyLock);

  const HANDLE lock = lockLastStatus(pIniPort);
  const DWORD lastLength = length < LAST_STATUS_SIZE ? length : LAST_STATUS_SIZE;
  memcpy(pIniPort->status.LastStatus, reply, lastLength);
  pIniPort->status.LastStatusLength = lastLength;
  unlockLastStatus(lock);
}

}  // namespace

BOOL readFromPrinter(INIPORT* pIniPort, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbRead, BOOL keepCopies) {
  // A ReadPort of the spooler's, or another thread's, waits for the exchange under way.
  LinkLockHold link(pIniPort);
  const BOOL readOk = lowerRead(pIniPort, pBuffer, cbBuf, pcbRead);
  const DWORD readError = readOk ? ERROR_SUCCESS : GetLastError();
  // A lower monitor that claims more bytes than the buffer holds is not believed:
  // every caller sizes its work by the count it gets back.
  if (pcbRead != nullptr && *pcbRead > cbBuf) *pcbRead = cbBuf;
  // The caller's buffer is touched only where the lower monitor put bytes.
  const DWORD count = readOk && pcbRead != nullptr ? *pcbRead : 0;

  if (readOk) {
    DebugTrace(pIniPort, TRACE_INFO, "PJLMonReadPort - Good read in PJLMonReadPort so setting goodCommWithPrinter");
    pIniPort->link.goodCommWithPrinter = TRUE;
    if (count > 3 && isSNECReply(pBuffer[0]) && Settings.LPmode != 0 && pIniPort->status.LowPaper) {
      // Low paper reaches every reader as a printer that is not ready.
      DebugTrace(pIniPort, TRACE_INFO, "PJLMonReadPort - In LP BUSY mode and found LOW PAPER");
      pBuffer[3] |= SYSTEM_NOT_READY;
    }
  } else {
    DebugTrace(pIniPort, TRACE_ERROR, "PJLMonReadPort - Bad read in PJLMonReadPort so clearing goodCommWithPrinter");
    pIniPort->link.goodCommWithPrinter = FALSE;
  }

  // A read says nothing of the job data already written, so it leaves the write
  // path's link verdict (UsbCrcError) alone.
  if (pIniPort->settings.PortType == PORT_TYPE_USB && readOk && count > 2 && (pBuffer[0] == 'S' || pBuffer[0] == 'C')) {
    takeWatchdogBytes(pIniPort, pBuffer);
  }

  if (!readOk || pcbRead == nullptr) {
    DebugTrace(pIniPort, TRACE_ERROR, "PJLMonReadPort - Bad return code from PJLMonReadPort so setting status length = 0");
    if (keepCopies) setLastStatusLength(pIniPort, 0);
    clockSleep(30);
    SetLastError(readOk ? ERROR_INVALID_PARAMETER : readError);
    return FALSE;
  }
  if (count > 0 && keepCopies) saveReply(pIniPort, pBuffer, count);
  clockSleep(30);
  return TRUE;
}
