// The printer's watchdog: armed with a time-out in seconds, it resets the printer's
// USB link when the monitor stops talking to it for that long.
#include "link/device_control.h"
#include "port/debug_trace.h"
#include "port/monitor_state.h"
#include "port/port_record.h"
#include "port/settings.h"

namespace {

// Outside documents the printer hears from the monitor once per heartbeat, so the
// watchdog must allow at least two heartbeats. The request has one byte for the
// time-out: a longer heartbeat gets the longest watchdog, never a wrapped short one.
DWORD idleTimeOutFloor() {
  const DWORD floor = 2 * (wdHeartBeatRate / 1000);
  return floor > 0xFF ? 0xFF : floor;
}

}  // namespace

void sendEnableWatchDog(INIPORT* pIniPort, BOOL inDocument) {
  if (pIniPort->settings.PortType != PORT_TYPE_USB) return;
  if (!pIniPort->link.WDCapable) {
    DebugTrace(pIniPort, TRACE_INFO, "sendEnableWatchDog - Can't send ENABLE NOT ENABLED WD enabled");
    return;
  }
  if (!pIniPort->settings.WDEnable) {
    DebugTrace(pIniPort, TRACE_INFO, "sendEnableWatchDog - Can't send ENABLE NOT ENABLED Global Enable");
    return;
  }

  DWORD timeOut;
  if (inDocument) {
    timeOut = Settings.USBprintingTimeout & 0xFF;
  } else {
    timeOut = Settings.USBWDtimeout & 0xFF;
    const DWORD floor = idleTimeOutFloor();
    if (timeOut < floor) {
      DebugTraceF(pIniPort, TRACE_INFO, "sendEnableWatchDog - Overriding user WD timeout %u with %u",
                  static_cast<unsigned>(timeOut), static_cast<unsigned>(floor));
      timeOut = floor;
    }
  }

  const BYTE request[WATCHDOG_REQUEST_LENGTH] = {WATCHDOG_REQUEST, static_cast<BYTE>(timeOut), 0x01};
  sendVendorCommand(pIniPort, request, WATCHDOG_REQUEST_LENGTH);
  DebugTrace(pIniPort, TRACE_INFO, "sendEnableWatchDog - WD - Sent watchdog Enable");
}

BOOL sendDisableWatchDog(INIPORT* pIniPort) {
  if (!pIniPort->link.WDCapable || !pIniPort->settings.WDEnable) return FALSE;
  const BYTE request[WATCHDOG_REQUEST_LENGTH] = {WATCHDOG_REQUEST, 0x00, 0x00};
  const BOOL sent = sendVendorCommand(pIniPort, request, WATCHDOG_REQUEST_LENGTH);
  DebugTrace(pIniPort, TRACE_INFO, "sendDisableWatchDog - WD - Sent watchdog Disable");
  return sent;
}
