// The Application event log sources of the monitor ("qxlm", its DLL the message
// file) and of the watcher service ("qxlm-watch", its program). Each call returns
// 0 or the registry error.
#pragma once

#include "setup_system.h"

namespace setup {

#define SETUP_MONITOR_EVENT_SOURCE "qxlm"

DWORD registerEventSource(const Wide& source, const Wide& messageFile);
// Removing a source that is not registered succeeds.
DWORD removeEventSource(const Wide& source);

}  // namespace setup
