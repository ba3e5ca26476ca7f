// The spooler's OpenPortEx: binds a port of the lower port monitor to this monitor.
// The record created here is the handle of every later call for the port.
#include <cstdio>
#include <cstring>

#include "jobs/document.h"
#include "jobs/find_text.h"
#include "link/device_control.h"
#include "link/lower_port.h"
#include "log/event_log.h"
#include "pipe/pipe_server.h"
#include "platform/clock.h"
#include "port/debug_trace.h"
#include "port/monitor_state.h"
#include "port/port_entry_points.h"
#include "port/port_record.h"
#include "port/settings.h"
#include "status/status_thread.h"

namespace {

const char kBanner[] = "MonOpenPort - ***************************************";

// The caller holds SplSem. Port names are compared without regard to case, as the
// spooler does.
BOOL portAlreadyOpen(LPCWSTR pPortName) {
  if (pPortName == nullptr || pPortName[0] == 0) return FALSE;
  for (INIPORT* pIniPort = portListHead; pIniPort != nullptr; pIniPort = pIniPort->pNext) {
    if (lstrcmpiW(pIniPort->pszPortName, pPortName) == 0) return TRUE;
  }
  return FALSE;
}

// A record whose lower port could not be opened is taken out again, so that the
// spooler can retry the same port; the lower monitor's error is what the caller sees.
void discardUnopenedRecord(INIPORT* pIniPort) {
  const DWORD error = GetLastError();
  EnterCriticalSection(&SplSem);
  RemovePortEntry(pIniPort);
  LeaveCriticalSection(&SplSem);
  SetLastError(error);
}

void resetPortState(INIPORT* pIniPort, LPCWSTR pPortName, LPCWSTR pPrinterName, const MONITOR* pMonitor) {
  pIniPort->status.printerState = PRINTER_STATE_HEARTBEAT;
  pIniPort->status.LowPaperCount = 0;
  pIniPort->status.LowPaper = FALSE;
  pIniPort->link.goodCommWithPrinter = FALSE;
  pIniPort->link.WDCountsKnown = FALSE;
  pIniPort->status.LastWinErrorLogged = 0;
  const DWORD now = clockTickCount();
  pIniPort->status.LastPollLogTime = now;
  pIniPort->status.LastRefreshTime = now;

  pIniPort->link.fn = *pMonitor;

  narrowCopy(pIniPort->PortNameA, sizeof pIniPort->PortNameA, pPortName);
  lstrcpynW(pIniPort->PrinterNameW, pPrinterName != nullptr ? pPrinterName : WSTR(""),
            static_cast<int>(sizeof pIniPort->PrinterNameW / sizeof(WCHAR)));
  narrowCopy(pIniPort->PrinterName, sizeof pIniPort->PrinterName, pPrinterName);

  if (Settings.DRWenable != 0) {
    char text[LOG_LINE_SIZE];
    snprintf(text, sizeof text, "MonOpenPort - %s", pIniPort->PortNameA);
    TextLogFile(pIniPort, text, "0011", DRW_PORTS);
  }

  EnterCriticalSection(&pIniPort->link.StatusCopyLock);
  memset(pIniPort->link.SavedStatus, 0, sizeof pIniPort->link.SavedStatus);
  pIniPort->link.SavedStatusLength = 0;
  strcpy(pIniPort->link.WDVersion, "V1.00");
  LeaveCriticalSection(&pIniPort->link.StatusCopyLock);
  pIniPort->doc.EOPFound = FALSE;
  pIniPort->status.PrinterTimeout = FALSE;
  pIniPort->status.PrinterPurge = FALSE;
  pIniPort->doc.AbortPending = FALSE;
  pIniPort->doc.AbortDoc = FALSE;
  pIniPort->link.UsbCrcError = FALSE;
  pIniPort->link.WDCapable = FALSE;
}

// Serial links (a name with "COM") exchange status inside documents of their own;
// USB, parallel, FILE: and network ports all take vendor requests.
void decidePortType(INIPORT* pIniPort) {
  pIniPort->settings.PortType = PORT_TYPE_USB;
  if (findText(pIniPort->PortNameA, "USB") != nullptr) {
    DebugTrace(pIniPort, TRACE_INFO, "MonOpenPort - USB port selected");
  }
  if (findText(pIniPort->PortNameA, "COM") != nullptr) {
    pIniPort->settings.PortType = PORT_TYPE_SERIAL;
    DebugTrace(pIniPort, TRACE_INFO, "MonOpenPort - Serial port selected");
  }
}

// The heartbeat switch is monitor-wide: the port opened last decides it for all.
void decideHeartbeat(INIPORT* pIniPort) {
  if (strcmp(pIniPort->PortNameA, "FILE:") == 0) {
    DebugTrace(pIniPort, TRACE_INFO, "MonOpenPort - port FILE selected, turning off heartbeat");
    sendDisableWatchDog(pIniPort);
    HeartbeatOn = FALSE;
  } else if (Settings.EnableHeartBeat != 1) {
    DebugTrace(pIniPort, TRACE_INFO, "MonOpenPort - Default registry setting is heartbeat OFF");
    sendDisableWatchDog(pIniPort);
    HeartbeatOn = FALSE;
  } else {
    DebugTrace(pIniPort, TRACE_INFO, "MonOpenPort - Default registry setting is heartbeat ON");
    HeartbeatOn = TRUE;
  }
}

void setUsbTimeOuts(INIPORT* pIniPort) {
  if (!lowerHasSetTimeOuts(pIniPort) || pIniPort->settings.PortType != PORT_TYPE_USB) return;
  COMMTIMEOUTS timeOuts = {};
  timeOuts.ReadIntervalTimeout = Settings.USBReadIntervalTimeout;
  timeOuts.ReadTotalTimeoutMultiplier = Settings.USBReadTotalTimeoutMultiplier;
  timeOuts.ReadTotalTimeoutConstant = Settings.USBReadTotalTimeoutConstant;
  timeOuts.WriteTotalTimeoutMultiplier = Settings.USBWriteTotalTimeoutMultiplier;
  timeOuts.WriteTotalTimeoutConstant = Settings.USBWriteTotalTimeoutConstant;
  if (lowerSetTimeOuts(pIniPort, &timeOuts)) {
    DebugTrace(pIniPort, TRACE_INFO, "MonOpenPort - USB Port timeouts PASSED PASSED PASSED PASSED ");
  } else {
    DebugTrace(pIniPort, TRACE_ERROR, "MonOpenPort - USB Port timeouts FAILED FAILED FAILED FAILED ");
  }
}

}  // namespace

BOOL WINAPI MonOpenPort(LPWSTR pPortName, LPWSTR pPrinterName, PHANDLE pHandle, LPMONITOR pMonitor) {
  if (!lowerTableComplete(pMonitor)) {
    DebugTrace(nullptr, TRACE_ERROR, "MonOpenPort - Invalid port monitors passed to OpenPortEx");
    SetLastError(ERROR_INVALID_PRINT_MONITOR);
    return FALSE;
  }
  if (pHandle == nullptr) {
    DebugTrace(nullptr, TRACE_ERROR, "MonOpenPort - No handle address passed to OpenPortEx");
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }

  if (Settings.EnableDiags != 0) {
    char root[REGISTRY_ROOT_CHARS];
    narrowCopy(root, sizeof root, RegistryRoot);
    DebugTraceRawF("MonOpenPort - %s\r\n", root);
  }
  readMonitorSettings(RegistryRoot);  // a failed read keeps the settings in memory

  EnterCriticalSection(&SplSem);
  if (portAlreadyOpen(pPortName)) {
    for (int i = 0; i < 10; ++i) {
      DebugTrace(nullptr, TRACE_ERROR,
                 "MonOpenPort - PORT ALREADY OPEN - PORT ALREADY OPEN - PORT ALREADY OPEN - PORT ALREADY OPEN");
    }
    SetLastError(ERROR_BUSY);
    LeaveCriticalSection(&SplSem);
    return FALSE;
  }
  INIPORT* pIniPort = CreatePortEntry(pPortName);
  LeaveCriticalSection(&SplSem);

  if (pIniPort == nullptr) {
    DebugTrace(nullptr, TRACE_ERROR, "MonOpenPort - Open port failed");
    return FALSE;
  }
  if (!lowerOpenPort(pMonitor, pPortName, &pIniPort->link.hPort)) {
    DebugTrace(nullptr, TRACE_ERROR, "MonOpenPort - Open port failed");
    discardUnopenedRecord(pIniPort);
    return FALSE;
  }

  *pHandle = pIniPort;
  resetPortState(pIniPort, pPortName, pPrinterName, pMonitor);
  decidePortType(pIniPort);
  takeParserPlace(pIniPort);
  decideHeartbeat(pIniPort);
  pIniPort->settings.WDEnable = Settings.USBWDGlobalEnable != 0;
  pIniPort->settings.AbortOnWriteTimeout = pIniPort->settings.PortType == PORT_TYPE_USB && Settings.USBAbortOnWriteTimeout != 0;

  // The port's status thread and pipe thread start here: after the record is set up,
  // before the lower port's time-outs are set.
  if (!CreateUstatusThread(pIniPort)) DebugTrace(pIniPort, TRACE_ERROR, "MonOpenPort - Status thread not started");
  if (!CreatePipeThread(pIniPort)) DebugTrace(pIniPort, TRACE_ERROR, "MonOpenPort - Pipe thread not started");

  setUsbTimeOuts(pIniPort);

  DebugTrace(pIniPort, TRACE_INFO, kBanner);
  DebugTrace(pIniPort, TRACE_INFO, "MonOpenPort - Complete");
  DebugTrace(pIniPort, TRACE_INFO, kBanner);
  return TRUE;
}
