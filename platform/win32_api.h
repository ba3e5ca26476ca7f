// The one header through which the monitor reaches Win32 types and calls.
// The build puts either platform/win (the SDK headers) or platform/posix (the
// stand-in for exactly the subset the monitor uses) on the include path.
#pragma once

#include "win32_backend.h"

// Wide literals are UTF-16 on both builds: write WSTR("text"), never L"text".
#ifndef WSTR
#error "win32_backend.h must define WSTR"
#endif
