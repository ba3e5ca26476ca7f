// The monitor-wide state: the lock, the port list, the registry root and the
// switches that every port shares.
#pragma once

#include "monitor/port_record.h"
#include "monitor/relaxed.h"
#include "platform/win32_api.h"

#define REGISTRY_ROOT_CHARS 512

extern CRITICAL_SECTION SplSem;   // guards the port list and every job list
extern INIPORT* portListHead;      // under SplSem, newest first
extern WCHAR RegistryRoot[REGISTRY_ROOT_CHARS];
extern Relaxed<BOOL> HeartbeatOn;  // set at each port open, changed by the pipe
extern Relaxed<DWORD> wdHeartBeatRate;

// The work of the library's process attach; DllMain calls it, and so do the test
// programs and tools that link the monitor's code directly.
void ProcessAttach(HINSTANCE hInstance);
