// The log writer for printer conditions when the port status changes, and for
// platform errors.
#include <cstdio>
#include <cstring>

#include "log/event_log.h"
#include "log/status_log.h"
#include "port/debug_trace.h"
#include "port/port_record.h"
#include "port/settings.h"

namespace {

const LogCondition kErrorConditions[] = {
    {0x1000, "Output Jam", "0013"},      {0x9000, "Output Jam ex", "0014"}, {0x0800, "Paper Reg.Error", "0017"},
    {0x0400, "Cutter Jam", "0003"},      {0x0200, "Head lever open", "0006"}, {0x0100, "Paper-Out", "0015"},
    {0x2000, "Off-Line", "0008"},        {0x0001, "Low-paper", "0007"},
};

void writeConditions(INIPORT* pIniPort, HANDLE hLogFile, LPCSTR dateTime, DWORD statusWord, LPCSTR stateText) {
  if (pIniPort->status.StatusReadFailed) {
    writeEntryWithSuffix(pIniPort, hLogFile, dateTime, "Printer Not responding", stateText, "0019");
    return;
  }
  if (currentPrinterState(pIniPort) != PRINTER_STATE_PRINTING && (statusWord & 0x8000) == 0) {
    writeEntryWithSuffix(pIniPort, hLogFile, dateTime, "Ready", stateText, "0021");
    requestSerialNumber(pIniPort);  // its line follows once the query is over
  }
  writeConditionEntries(pIniPort, hLogFile, dateTime, statusWord, kErrorConditions,
                        sizeof kErrorConditions / sizeof kErrorConditions[0], stateText);
}

void writePlatformError(INIPORT* pIniPort, HANDLE hLogFile, LPCSTR dateTime, LPCSTR stateText) {
  const DWORD error = pIniPort->status.LastWinError;
  const DWORD logged = pIniPort->status.LastWinErrorLogged;
  if (error == logged) return;
  DebugTraceF(pIniPort, TRACE_INFO, "ErrorLogFile - LastWinError = %u, LastWinErrorLogged = %u",
              static_cast<unsigned>(error), static_cast<unsigned>(logged));
  char errorText[ERROR_TEXT_SIZE];
  GetErrorText(error, errorText);
  char text[LOG_LINE_SIZE];
  // The line is cut to its buffer when written; the error text is cut here already.
  snprintf(text, sizeof text, "OS err = %u, %.960s", static_cast<unsigned>(error), errorText);
  writeEntryWithSuffix(pIniPort, hLogFile, dateTime, text, stateText, "0024");
  pIniPort->status.LastWinErrorLogged = error;
}

}  // namespace

BOOL ErrorLogFile(INIPORT* pIniPort, DWORD statusWord, BOOL stateChanged) {
  if (Settings.DRWenable == 0 || (Settings.DRWdebugMask & DRW_ERRORS) == 0) return TRUE;

  EnterCriticalSection(&pIniPort->LogLock);
  HANDLE hLogFile = INVALID_HANDLE_VALUE;
  if (!OpenLogFile(pIniPort, &hLogFile)) {
    DebugTrace(pIniPort, TRACE_ERROR, "ErrorLogFile - Could not open log file");
    LeaveCriticalSection(&pIniPort->LogLock);
    return FALSE;
  }
  char dateTime[LOG_DATE_TIME_SIZE];
  GetLogDateTime(dateTime, sizeof dateTime);
  char stateText[LOG_STATE_TEXT_SIZE];
  BuildStateText(pIniPort, stateText, sizeof stateText);

  if (stateChanged) writeConditions(pIniPort, hLogFile, dateTime, statusWord, stateText);
  writePlatformError(pIniPort, hLogFile, dateTime, stateText);

  CloseLogFile(&hLogFile);
  LeaveCriticalSection(&pIniPort->LogLock);
  return TRUE;
}
