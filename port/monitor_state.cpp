#include "port/monitor_state.h"

#include "port/settings.h"

CRITICAL_SECTION SplSem;
INIPORT* portListHead = nullptr;
WCHAR RegistryRoot[REGISTRY_ROOT_CHARS];
Relaxed<BOOL> HeartbeatOn;
Relaxed<DWORD> wdHeartBeatRate;
MonitorSettings Settings;
