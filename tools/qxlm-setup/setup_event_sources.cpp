#include "setup_event_sources.h"

namespace setup {
namespace {

Wide sourceKey(const Wide& source) {
  return toWide("SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\") + source;
}

}  // namespace

DWORD registerEventSource(const Wide& source, const Wide& messageFile) {
  HKEY key = nullptr;
  DWORD error = RegCreateKeyExW(HKEY_LOCAL_MACHINE, sourceKey(source).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                &key, nullptr);
  if (error != ERROR_SUCCESS) return error;
  const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
  error = RegSetValueExW(key, WSTR("EventMessageFile"), 0, REG_SZ, reinterpret_cast<const BYTE*>(messageFile.c_str()),
                         static_cast<DWORD>((messageFile.size() + 1) * sizeof(WCHAR)));
  if (error == ERROR_SUCCESS) {
    error = RegSetValueExW(key, WSTR("TypesSupported"), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types),
                           sizeof types);
  }
  RegCloseKey(key);
  return error;
}

DWORD removeEventSource(const Wide& source) {
  const DWORD error = RegDeleteTreeW(HKEY_LOCAL_MACHINE, sourceKey(source).c_str());
  return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
}

}  // namespace setup
