// The operating-system families that getOSinfo tells apart.
#pragma once

#define OS_KIND_WINDOWS_2000 0
#define OS_KIND_WINDOWS_XP 1
#define OS_KIND_SERVER_2003 2
#define OS_KIND_WINDOWS_NT4 3  // NT 4.0 and earlier
#define OS_KIND_NOT_NT 4
// getOSinfo leaves the kind as the caller set it for every later NT version; the
// caller presets this value to recognise them.
#define OS_KIND_LATER 5

#define OS_SERVICE_PACK_CHARS 2048
