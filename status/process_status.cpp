#include <cstdio>
#include <cstring>

#include "log/event_log.h"
#include "platform/clock.h"
#include "port/debug_trace.h"
#include "port/port_record.h"
#include "port/port_status.h"
#include "port/settings.h"
#include "status/status_interpret.h"
#include "status/status_reply.h"

namespace {

// Word bits, status byte 1 shifted up.
const DWORD kWordNotReady = SYSTEM_NOT_READY << 8;
const DWORD kWordDeselect = MANUAL_DESELECT << 8;
const DWORD kWordOutputJam = OUTPUT_JAM << 8;
const DWORD kWordPaperReg = PAPER_REG_ERROR << 8;
const DWORD kWordCutterJam = CUTTER_JAM << 8;
const DWORD kWordHeadLever = HEAD_LEVER_UP << 8;
const DWORD kWordPaperOut = OUT_OF_PAPER << 8;
const DWORD kWordErrors = kWordDeselect | kWordPaperReg | kWordCutterJam | kWordHeadLever | kWordPaperOut;
const DWORD kWordJamEx = kWordNotReady | kWordOutputJam;

struct PortCondition {
  DWORD status;
  DWORD severity;
};

void traceBitwiseStatus(INIPORT* pIniPort, DWORD word) {
  if (!DebugTraceEnabled(TRACE_INFO)) return;
  static const struct {
    DWORD bit;
    const char* name;
  } kNames[] = {{0x8000, "SYSTEM_NOT_READY "}, {0x4000, "SYSTEM_DIAG_ERROR "}, {0x2000, "MANUAL_DESELECT "},
                {0x1000, "OUTPUT_JAM "},       {0x0800, "PAPER_REG_ERROR "},   {0x0400, "CUTTER_JAM "},
                {0x0200, "HEAD_LEVER_UP "},    {0x0100, "OUT_OF_PAPER "},      {0x0080, "DOC_IN_PROGRESS "},
                {0x0020, "BUSY "},             {0x0010, "PH_TEMP_WAIT "},      {0x0008, "TICKET_NOT_TAKEN "},
                {0x0004, "AVG_POWER_WAIT "}};
  char text[TRACE_LINE_SIZE];
  snprintf(text, sizeof text, "ProcessQXStatusString - Bitwise status = %x ", static_cast<unsigned>(word));
  for (const auto& entry : kNames) {
    if (word & entry.bit) strncat(text, entry.name, sizeof text - strlen(text) - 1);
  }
  if (pIniPort->status.LowPaper) {
    strncat(text, Settings.LPmode != 0 ? "BUSY ON LOW_PAPER " : "LOW_PAPER ", sizeof text - strlen(text) - 1);
  }
  DebugTrace(pIniPort, TRACE_INFO, text);
}

// The port status for a word; a later match overrides an earlier one.
PortCondition classify(INIPORT* pIniPort, DWORD word) {
  const BOOL lowPaper = pIniPort->status.LowPaper;
  PortCondition condition = {0, PORT_STATUS_TYPE_ERROR};
  const BOOL errorClass = (word & kWordErrors) != 0 || (word & kWordJamEx) == kWordJamEx ||
                          (lowPaper && (Settings.LPmode & 1) != 0);
  if (errorClass) {
    if (lowPaper) {
      DebugTrace(pIniPort, TRACE_INFO, "ProcessQXStatusString - Low Paper forcing PORT_STATUS_TYPE_ERROR");
      condition.status = PORT_STATUS_PAPER_OUT;
    }
    if (word & kWordDeselect) {
      DebugTrace(pIniPort, TRACE_INFO, "ProcessQXStatusString - Manual deselect");
      condition.status = PORT_STATUS_OFFLINE;
    }
    if (word & kWordPaperOut) {
      DebugTrace(pIniPort, TRACE_INFO, "ProcessQXStatusString - Paper Out error");
      condition.status = PORT_STATUS_PAPER_OUT;
    }
    if (word & kWordHeadLever) {
      DebugTrace(pIniPort, TRACE_INFO, "ProcessQXStatusString - Head Lever up");
      condition.status = PORT_STATUS_DOOR_OPEN;
    }
    if (word & (kWordPaperReg | kWordCutterJam)) {
      DebugTrace(pIniPort, TRACE_INFO, "ProcessQXStatusString - Paper Jam error");
      condition.status = PORT_STATUS_PAPER_JAM;
    }
    if ((word & kWordJamEx) == kWordJamEx) {
      DebugTrace(pIniPort, TRACE_INFO, "ProcessQXStatusString - Paper Jam error");
      condition.status = PORT_STATUS_PAPER_JAM;
    }
    return condition;
  }

  condition.severity = PORT_STATUS_TYPE_INFO;
  if ((word & (kWordOutputJam | TICKET_NOT_TAKEN)) == 0 && !lowPaper) {
    DebugTrace(pIniPort, TRACE_INFO, "ProcessQXStatusString - No set port status errors");
    return condition;
  }
  if (word & TICKET_NOT_TAKEN) {
    DebugTraceF(pIniPort, TRACE_INFO, "ProcessQXStatusString - Ticket Not Taken (%d)", PORT_STATUS_OUTPUT_BIN_FULL);
    if (!Settings.JAVAticketNotTakenDisable) condition.status = PORT_STATUS_OUTPUT_BIN_FULL;
  }
  if (lowPaper) {
    DebugTrace(pIniPort, TRACE_INFO, "ProcessQXStatusString - Low Paper");
    if (!Settings.JAVAlowPaperDisable) condition.status = PORT_STATUS_PAPER_PROBLEM;
  }
  if (word & kWordOutputJam) {
    DebugTrace(pIniPort, TRACE_INFO, "ProcessQXStatusString - Output jam in stop on second jam mode");
    condition.status = PORT_STATUS_PAPER_JAM;
  }
  return condition;
}

// Printer timeout and purge are written to the log once per rising edge.
void detectTimeoutAndPurge(INIPORT* pIniPort, BYTE byte1, BYTE byte2) {
  const BOOL timeout = (byte2 & PRINTER_TIMEOUT) != 0;
  const BOOL diagError = (byte1 & SYSTEM_DIAG_ERROR) != 0;
  if (timeout && !diagError) {
    if (!pIniPort->status.PrinterTimeout) {
      pIniPort->status.PrinterTimeout = TRUE;
      DebugTrace(pIniPort, TRACE_INFO, "ProcessQXStatusString - Printer Timeout");
      if (Settings.DRWenable) TextLogFile(pIniPort, "Printer Timeout", "0026", DRW_ERRORS);
    }
  } else {
    pIniPort->status.PrinterTimeout = FALSE;
  }
  if (timeout && diagError) {
    if (!pIniPort->status.PrinterPurge) {
      pIniPort->status.PrinterPurge = TRUE;
      DebugTrace(pIniPort, TRACE_INFO, "ProcessQXStatusString - Printer purge");
      if (Settings.DRWenable) TextLogFile(pIniPort, "Document aborted", "0027", DRW_ERRORS);
    }
  } else {
    pIniPort->status.PrinterPurge = FALSE;
  }
}

// The idle state report, every "DRWpollTime" minutes.
void periodicStateReport(INIPORT* pIniPort, DWORD word) {
  if (currentPrinterState(pIniPort) != PRINTER_STATE_HEARTBEAT) return;
  pIniPort->status.reportState = PRINTER_STATE_POLL;
  if (Settings.DRWenable && (Settings.DRWdebugMask & DRW_POLL)) {
    const DWORD now = clockTickCount();
    const DWORD minutes = (now - pIniPort->status.LastPollLogTime) / 60000;  // unsigned: right across the wrap
    if (minutes >= Settings.DRWpollTime) {
      pIniPort->status.LastPollLogTime = now;
      DRWlogger(pIniPort, word, DRW_POLL);
    }
  }
  pIniPort->status.reportState = PRINTER_STATE_NONE;
}

// A failed post leaves PrinterStatus as it was, so the next reply tries again.
void postPortStatus(INIPORT* pIniPort, const PortCondition& condition) {
  DebugTrace(pIniPort, TRACE_INFO, "ProcessQXStatusString - Call to change of state status");
  if (postSpoolerPortStatus(pIniPort, condition.status, condition.severity)) {
    pIniPort->status.PrinterStatus = condition.status;
    DebugTrace(pIniPort, TRACE_INFO, "ProcessQXStatusString - Call to SetPort passed");
  } else {
    DebugTrace(pIniPort, TRACE_ERROR, "ProcessQXStatusString - Call to SetPort failed");
  }
}

}  // namespace

void ProcessQXStatusString(INIPORT* pIniPort, LPBYTE reply, DWORD length) {
  const BYTE byte1Seen = length > 3 ? reply[3] : 0;
  const BYTE byte2Seen = length > 4 ? reply[4] : 0;
  DebugTraceF(pIniPort, TRACE_INFO, "ProcessQXStatusString - Status = %2.2X%2.2X", byte1Seen, byte2Seen);
  // An empty reply has no type letter to look at.
  if (length == 0) {
    DebugTrace(pIniPort, TRACE_INFO, "ProcessQXStatusString - return because length = 0");
    return;
  }
  if (!isSNECReply(reply[0])) {
    DebugTrace(pIniPort, TRACE_INFO, "ProcessQXStatusString - return because not S,N,E,C");
    if (reply[0] == 'A' && currentPrinterState(pIniPort) == PRINTER_STATE_PIPE_REQUEST) {
      DebugTrace(pIniPort, TRACE_INFO,
                 "ProcessQXStatusString - PIPE REQUEST process of addressed type in processQXStatusString");
      DRWlogger(pIniPort, 0, DRW_PIPE);
    }
    return;
  }
  if (length < FAKE_STATUS_LENGTH) {
    // A reply cut before its status bytes: nothing to interpret.
    DebugTraceF(pIniPort, TRACE_INFO, "ProcessQXStatusString - return because length = %u",
                static_cast<unsigned>(length));
    return;
  }

  const BYTE byte1 = reply[3];
  const BYTE byte2 = reply[4];
  if ((byte1 & SYSTEM_NOT_READY) && !(byte1 & 0x3F) && !(byte2 & (PRINTER_TIMEOUT | PH_TEMP_WAIT | AVG_POWER_WAIT)) &&
      !(byte2 & DOC_IN_PROGRESS)) {
    DebugTrace(pIniPort, TRACE_INFO, "ProcessQXStatusString - System Not ready and no other error asserting OFF LINE");
    reply[3] = static_cast<BYTE>(byte1 | MANUAL_DESELECT);
  }

  const DWORD oldStatus = pIniPort->status.PrinterStatus;
  // A reply decides from here on. The off line shown since the port opened meant "no
  // reply yet": the first reply's condition is news even when it is off line too,
  // so the log records a printer that was off line before the port opened.
  const BOOL firstReply = pIniPort->status.OfflineAtStart.exchange(FALSE);
  detectTimeoutAndPurge(pIniPort, reply[3], byte2);

  DWORD word = bitwiseStatus(reply[3], byte2);
  traceBitwiseStatus(pIniPort, word);
  const PortCondition condition = classify(pIniPort, word);
  word = (word & ~static_cast<DWORD>(LOW_PAPER)) | (pIniPort->status.LowPaper ? LOW_PAPER : 0);

  periodicStateReport(pIniPort, word);
  if (currentPrinterState(pIniPort) == PRINTER_STATE_PIPE_REQUEST) DRWlogger(pIniPort, word, DRW_PIPE);
  ErrorLogFile(pIniPort, word, FALSE);

  DebugTraceF(pIniPort, TRACE_INFO, "ProcessQXStatusString - New PrinterStatus = %u",
              static_cast<unsigned>(condition.status));
  if (condition.status == oldStatus && !firstReply) return;
  DebugTraceF(pIniPort, TRACE_INFO, "ProcessQXStatusString - New status found, old = %x, new = %x",
              static_cast<unsigned>(oldStatus), static_cast<unsigned>(condition.status));
  if (oldStatus == PORT_STATUS_OUTPUT_BIN_FULL && condition.status == 0) {
    DebugTrace(pIniPort, TRACE_INFO, "ProcessQXStatusString - Transistion from Bin Full to not Bin Full");
  } else {
    DebugTrace(pIniPort, TRACE_INFO, "ProcessQXStatusString - Calling ErrorLogFile");
    ErrorLogFile(pIniPort, word, TRUE);
  }
  postPortStatus(pIniPort, condition);
}
