#include "monitor/monitor_state.h"

#include "diag/debug_trace.h"
#include "diag/log_lock.h"
#include "monitor/settings.h"

CRITICAL_SECTION SplSem;
INIPORT* portListHead = nullptr;
WCHAR RegistryRoot[REGISTRY_ROOT_CHARS];
Relaxed<BOOL> HeartbeatOn;
Relaxed<DWORD> wdHeartBeatRate;
MonitorSettings Settings;

void ProcessAttach(HINSTANCE hInstance) {
  // The locks live until the process ends; the spooler never unloads us cleanly.
  InitializeCriticalSection(&SplSem);
  InitializeLogFileLocks();
  if (hInstance != nullptr) DisableThreadLibraryCalls(hInstance);
  DebugTraceRaw("QX LANGUAGE MONITOR DLL ATTACH\r\n");
}
