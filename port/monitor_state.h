// The monitor-wide state: the lock, the port list, the registry root and the
// switches that every port shares.
#pragma once

#include "platform/win32_api.h"
#include "port/port_record.h"
#include "port/relaxed.h"

#define REGISTRY_ROOT_CHARS 512

extern CRITICAL_SECTION SplSem;   // guards the port list and every job list
extern INIPORT* portListHead;      // under SplSem, newest first
extern WCHAR RegistryRoot[REGISTRY_ROOT_CHARS];
extern Relaxed<BOOL> HeartbeatOn;  // set at each port open, changed by the pipe
extern Relaxed<DWORD> wdHeartBeatRate;
