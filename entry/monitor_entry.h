// The library's one export and the entry points of its function table.
#pragma once

#include "platform/win32_api.h"
#include "port/monitor_version.h"

extern "C" LPMONITOREX WINAPI InitializePrintMonitor(LPWSTR pRegistryRoot);

// The work of the library's process attach; DllMain calls it, and so do the test
// programs and tools that link the monitor's code directly.
void ProcessAttach(HINSTANCE hInstance);
