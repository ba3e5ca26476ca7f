#include "port/os_info.h"

#include "port/debug_trace.h"
#include "port/settings.h"

namespace {

DWORD classifyNtVersion(DWORD major, DWORD minor, DWORD kind) {
  if (major <= 4) return OS_KIND_WINDOWS_NT4;
  if (major == 5 && minor == 0) return OS_KIND_WINDOWS_2000;
  if (major == 5 && minor == 1) return OS_KIND_WINDOWS_XP;
  if (major == 5 && minor == 2) return OS_KIND_SERVER_2003;
  return kind;
}

}  // namespace

BOOL getOSinfo(DWORD* kind, LPWSTR servicePack, DWORD* buildNumber) {
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof info;
  BOOL known = GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&info));
  if (!known) {
    // Older systems refuse the extended record; the basic one carries all we use.
    info = OSVERSIONINFOEXW{};
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    known = GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&info));
  }
  if (!known) {
    DebugTraceRawF("getOSinfo - GetVersionEx failed, error %u\r\n", static_cast<unsigned>(GetLastError()));
    return FALSE;
  }

  if (info.dwPlatformId != VER_PLATFORM_WIN32_NT) {
    lstrcpyW(servicePack, WSTR("None"));
    *kind = OS_KIND_NOT_NT;
    *buildNumber = 0;
    return FALSE;
  }

  *kind = classifyNtVersion(info.dwMajorVersion, info.dwMinorVersion, *kind);
  // szCSDVersion need not be terminated: copy at most its own length.
  const int csdChars = static_cast<int>(sizeof info.szCSDVersion / sizeof info.szCSDVersion[0]);
  lstrcpynW(servicePack, info.szCSDVersion, csdChars);
  *buildNumber = info.dwBuildNumber & 0xFFFF;

  char narrow[OS_SERVICE_PACK_CHARS];
  narrowCopy(narrow, sizeof narrow, servicePack);
  DebugTraceRawF("getOSinfo - Version %u.%u, service pack \"%s\", build %u\r\n",
                 static_cast<unsigned>(info.dwMajorVersion), static_cast<unsigned>(info.dwMinorVersion), narrow,
                 static_cast<unsigned>(*buildNumber));
  return TRUE;
}
