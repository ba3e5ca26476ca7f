// The spooler's ClosePort: stops the port's work, disarms the printer's watchdog,
// closes the lower port and removes the record.
#include <cstdio>

#include "flash/flash_update.h"
#include "jobs/document.h"
#include "link/device_control.h"
#include "link/lower_port.h"
#include "log/event_log.h"
#include "pipe/pipe_server.h"
#include "port/debug_trace.h"
#include "port/monitor_state.h"
#include "port/port_entry_points.h"
#include "port/port_record.h"
#include "port/settings.h"
#include "status/status_thread.h"

BOOL WINAPI MonClosePort(HANDLE hPort) {
  // Nothing of the record is read, not even its name, before it is known to be one.
  INIPORT* pIniPort = portRecordFromHandle(hPort);
  if (pIniPort == nullptr) {
    DebugTrace(nullptr, TRACE_ERROR, "MonOpenPort - Bad INIPORT or PJ_SIGNATURE");
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }

  char text[LOG_LINE_SIZE];
  snprintf(text, sizeof text, "MonOpenPort - Close Port %s", pIniPort->PortNameA);
  DebugTrace(pIniPort, TRACE_INFO, text);
  if (Settings.DRWenable != 0) TextLogFile(pIniPort, text, "0009", DRW_PORTS);

  pIniPort->flags &= ~PP_IN_DOC;

  // The port's pipe thread and status thread are stopped here, before the watchdog
  // is disarmed and the lower port closed. The status thread is released from a
  // document that never ended and waited for: nothing of it outlives the record.
  // The pipe thread goes first, whether the status thread runs or not: a request it
  // is answering may be waiting for the status thread.
  StopPipeThread(pIniPort);
  // No update can start once the pipe thread has gone; a running one still reads
  // the record, the lower port and the status objects, so the close ends it and
  // waits for it: its every step is bounded.
  cancelFlashUpdate(pIniPort);
  waitForFlashThread(pIniPort);
  StopUstatusThread(pIniPort, TRUE);
  keepParserPlace(pIniPort);

  sendDisableWatchDog(pIniPort);
  DebugTrace(pIniPort, TRACE_INFO, "MonOpenPort - Stopped WD - About to close port");

  lowerClosePort(pIniPort);

  EnterCriticalSection(&SplSem);
  RemovePortEntry(pIniPort);
  LeaveCriticalSection(&SplSem);
  DebugTrace(nullptr, TRACE_INFO, "MonOpenPort - Complete");
  return TRUE;
}
