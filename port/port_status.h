// The spooler's status of a port, as its queue window shows it. Every post goes
// through here; what the port remembers of it (PrinterStatus, OfflineAtStart) is
// kept by each caller, which knows what a failed post means for it.
#pragma once

#include "platform/win32_api.h"

struct INIPORT;

// Posts a status and its severity (0 and 0: the port shows none); TRUE when the
// spooler took it.
BOOL postSpoolerPortStatus(INIPORT* pIniPort, DWORD status, DWORD severity);
