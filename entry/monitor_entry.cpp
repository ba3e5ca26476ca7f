#include "entry/monitor_entry.h"

#include "log/log_lock.h"
#include "port/debug_trace.h"
#include "port/monitor_state.h"
#include "port/port_entry_points.h"
#include "port/settings.h"

namespace {

static_assert(sizeof(MONITOR) == 17 * sizeof(void*), "MONITOR is the spooler's table of 17 entry points");

// A language monitor stacked above a port monitor: ports are enumerated, added,
// configured and deleted below us, and there is no configuration channel.
MONITOREX monitorEx = {
    sizeof(MONITOR),
    {
        nullptr,  // pfnEnumPorts
        nullptr,  // pfnOpenPort
        MonOpenPort,                // pfnOpenPortEx
        MonStartDoc,                // pfnStartDocPort
        MonWritePort,               // pfnWritePort
        PJLMonReadPort,             // pfnReadPort
        MonEndDocPort,              // pfnEndDocPort
        MonClosePort,               // pfnClosePort
        nullptr,  // pfnAddPort
        nullptr,  // pfnAddPortEx
        nullptr,  // pfnConfigurePort
        nullptr,  // pfnDeletePort
        MonGetPrinterDataFromPort,  // pfnGetPrinterDataFromPort
        nullptr,  // pfnSetPortTimeOuts
        nullptr,  // pfnXcvOpenPort
        nullptr,  // pfnXcvDataPort
        nullptr,  // pfnXcvClosePort
    },
};

}  // namespace

extern "C" LPMONITOREX WINAPI InitializePrintMonitor(LPWSTR pRegistryRoot) {
  if (pRegistryRoot == nullptr || pRegistryRoot[0] == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }

  char narrowRoot[TRACE_LINE_SIZE];
  narrowCopy(narrowRoot, sizeof narrowRoot, pRegistryRoot);
  DebugTraceRawF("InitializePrintMonitor - %s", narrowRoot);

  // A cut root would name another key, and every later read and write would go there.
  if (lstrlenW(pRegistryRoot) >= REGISTRY_ROOT_CHARS) {
    DebugTraceRaw("InitializePrintMonitor - Registry root too long\r\n");
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }

  const LONG error = readMonitorSettings(pRegistryRoot);
  if (error != ERROR_SUCCESS) {
    SetLastError(static_cast<DWORD>(error));
    return nullptr;
  }

  lstrcpynW(RegistryRoot, pRegistryRoot, REGISTRY_ROOT_CHARS);
  DebugTraceRaw("InitializePrintMonitor - Return Monitor Structure");
  return &monitorEx;
}

void ProcessAttach(HINSTANCE hInstance) {
  // The locks live until the process ends; the spooler never unloads us cleanly.
  InitializeCriticalSection(&SplSem);
  InitializeLogFileLocks();
  if (hInstance != nullptr) DisableThreadLibraryCalls(hInstance);
  DebugTraceRaw("QX LANGUAGE MONITOR DLL ATTACH\r\n");
}
