// The library's one export and the entry points of its function table.
#pragma once

#include "platform/win32_api.h"

#define QX_MONITOR_VERSION_TEXT "2.00 build 00 01/04/2017"
#define QX_MONITOR_BUILD_MARK "B00"

extern "C" LPMONITOREX WINAPI InitializePrintMonitor(LPWSTR pRegistryRoot);
