// The state report: the printer's conditions as one set of entries, written every
// "DRWpollTime" minutes while idle and for each status read for a pipe client.
#include <cstdio>

#include "log/event_log.h"
#include "log/status_log.h"
#include "port/debug_trace.h"
#include "port/port_record.h"
#include "port/settings.h"

namespace {

const LogCondition kReportConditions[] = {
    {0x1000, "Output Jam", "0013"}, {0x9000, "Output Jam ex", "0014"}, {0x0800, "Paper Reg.Error", "0017"},
    {0x0400, "Cutter Jam", "0003"}, {0x0200, "Head lever open", "0006"}, {0x0100, "Paper Out", "0015"},
    {0x2000, "Off-Line", "0010"},   {0x0001, "Low paper", "0007"},     {0x0008, "Output Bin Full", "0012"},
};

LPCSTR notRespondingText(INIPORT* pIniPort) {
  if (currentPrinterState(pIniPort) != PRINTER_STATE_PIPE_REQUEST) return "Printer Not responding";
  return pIniPort->status.SpecificRequestSent ? "Printer Not responding - Writing" : "Printer Not responding - Reading";
}

}  // namespace

void DRWlogger(INIPORT* pIniPort, DWORD statusWord, DWORD logClass) {
  if (Settings.DRWenable == 0 || (logClass & Settings.DRWdebugMask) == 0) return;

  EnterCriticalSection(&pIniPort->LogLock);
  HANDLE hLogFile = INVALID_HANDLE_VALUE;
  if (!OpenLogFile(pIniPort, &hLogFile)) {
    DebugTrace(pIniPort, TRACE_ERROR, "TextLogFile - Could not open log file");
    LeaveCriticalSection(&pIniPort->LogLock);
    return;
  }
  char dateTime[LOG_DATE_TIME_SIZE];
  GetLogDateTime(dateTime, sizeof dateTime);
  char stateText[LOG_STATE_TEXT_SIZE];
  BuildStateText(pIniPort, stateText, sizeof stateText);

  if (pIniPort->status.StatusReadFailed) {
    writeEntryWithSuffix(pIniPort, hLogFile, dateTime, notRespondingText(pIniPort), stateText, "0019");
  } else {
    char suffix[LOG_LINE_SIZE];
    snprintf(suffix, sizeof suffix, "%s%s", stateText,
             currentPrinterState(pIniPort) == PRINTER_STATE_PIPE_REQUEST ? pIniPort->status.StatusTypeText : "");
    if ((statusWord & 0x8000) == 0) writeEntryWithSuffix(pIniPort, hLogFile, dateTime, "Ready", suffix, "0021");
    writeConditionEntries(pIniPort, hLogFile, dateTime, statusWord, kReportConditions,
                          sizeof kReportConditions / sizeof kReportConditions[0], suffix);
    // Its line follows once the query is over.
    if (logClass != DRW_PIPE) requestHeadTemperature(pIniPort);
  }

  CloseLogFile(&hLogFile);
  LeaveCriticalSection(&pIniPort->LogLock);
}
