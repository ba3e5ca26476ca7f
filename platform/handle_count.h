// The process's open kernel handles, for leak checks in tests: the system's own
// count on Windows, the stand-in's count of live handles elsewhere.
#pragma once

#include "platform/win32_api.h"

DWORD platformHandleCount(void);
