#include "port/settings.h"

#include <cstring>

#include "port/debug_trace.h"
#include "port/monitor_state.h"
#include "port/os_info.h"
#include "port/settings_table.h"

namespace {

// The names a pipe client may write, ending with the marker.
const char* const kWritableNames[] = {
    "DRWdebugMask", "DRWenable", "DRWpollTime", "DRWMaxFileSize", "DRWMinFileSize",
    "EnableDiags", "EnableHeartBeat", "EOJEjectSendLastPage", "ECPmode", "EOJTimeout",
    "HeartBeatRate", "JAVAlowPaperDisable", "JAVAticketNotTakenDisable", "LPmode", "SerialPacketSize",
    "USBAbortOnWriteTimeout", "USBPacketSize", "USBprintingTimeout", "USBReadIntervalTimeout",
    "USBWriteTotalTimeoutConstant", "USBReadTotalTimeoutMultiplier", "USBWDGlobalEnable",
    "USBReadTotalTimeoutConstant", "USBWriteTotalTimeoutMultiplier", "USBWDtimeout", "END",
};

LONG openSettingsKey(LPCWSTR pRegistryRoot, HKEY* phKey) {
  return RegCreateKeyExW(HKEY_LOCAL_MACHINE, pRegistryRoot, 0, nullptr, REG_OPTION_NON_VOLATILE,
                         KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY, nullptr, phKey, nullptr);
}

void readSettings(HKEY hKey, size_t first, size_t end, LONG* pError) {
  for (size_t i = first; i < end && *pError == ERROR_SUCCESS; ++i) {
    const SettingEntry& entry = kSettingTable[i];
    readSettingDword(hKey, entry.name, &(Settings.*entry.field), entry.defaultValue, pError);
  }
}

// Systems up to Server 2003 ship USB stacks that mishandle the printer's watchdog
// (Windows 2000 excepted); on every later system the watchdog is the safety net.
DWORD watchdogSwitchDefault() {
  DWORD kind = OS_KIND_LATER;
  WCHAR servicePack[OS_SERVICE_PACK_CHARS];
  DWORD buildNumber = 0;
  if (!getOSinfo(&kind, servicePack, &buildNumber)) return 1;
  switch (kind) {
    case OS_KIND_WINDOWS_XP:
    case OS_KIND_SERVER_2003:
    case OS_KIND_WINDOWS_NT4:
      return 0;
    default:
      return 1;
  }
}

BOOL isWritableName(LPCSTR pName) {
  for (const char* const* name = kWritableNames; strcmp(*name, "END") != 0; ++name) {
    if (strcmp(*name, pName) == 0) return TRUE;
  }
  return FALSE;
}

}  // namespace

LONG readSettingDword(HKEY hKey, LPCWSTR pValueName, Relaxed<DWORD>* pSetting, DWORD defaultValue, LONG* pError) {
  DWORD value = 0;
  DWORD size = sizeof value;
  LONG result = RegQueryValueExW(hKey, pValueName, nullptr, nullptr, reinterpret_cast<LPBYTE>(&value), &size);
  // Any 4-byte value is taken as the number, whatever its type. A shorter one is
  // no number at all and is replaced like a missing one.
  if (result == ERROR_SUCCESS && size != sizeof value) result = ERROR_INVALID_PARAMETER;
  if (result == ERROR_SUCCESS) {
    *pSetting = value;
    return result;
  }

  *pSetting = defaultValue;
  *pError = RegSetValueExW(hKey, pValueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&defaultValue),
                           sizeof defaultValue);
  if (Settings.EnableDiags != 0) {
    char name[256];
    narrowCopy(name, sizeof name, pValueName);
    DebugTraceRawF("readSettingDword - %s set to its default %u, write back result %ld\r\n", name,
                   static_cast<unsigned>(defaultValue), static_cast<long>(*pError));
  }
  return result;
}

LONG readMonitorSettings(LPCWSTR pRegistryRoot) {
  HKEY hKey = nullptr;
  const LONG opened = openSettingsKey(pRegistryRoot, &hKey);
  if (opened != ERROR_SUCCESS) {
    DebugTraceRawF("readMonitorSettings - Cannot open the settings key, error %ld\r\n", static_cast<long>(opened));
    return opened;
  }

  LONG error = ERROR_SUCCESS;
  readSettings(hKey, 0, 3, &error);
  // The watchdog's heartbeat starts from 5000 at every read; only the pipe changes it.
  Settings.HeartBeatRate = 5000;
  wdHeartBeatRate = 5000;
  readSettings(hKey, 3, SETTING_WATCHDOG_SWITCH, &error);

  const DWORD watchdogDefault = watchdogSwitchDefault();
  if (error == ERROR_SUCCESS) {
    readSettingDword(hKey, kSettingTable[SETTING_WATCHDOG_SWITCH].name, &Settings.USBWDGlobalEnable, watchdogDefault,
                     &error);
  }
  readSettings(hKey, SETTING_WATCHDOG_SWITCH + 1, SETTING_COUNT, &error);

  RegCloseKey(hKey);
  return error;
}

BOOL setRegistrySetting(LPCSTR pName, DWORD value) {
  if (pName == nullptr || !isWritableName(pName)) {
    DebugTraceRawF("setRegistrySetting - %s is not a setting\r\n", pName != nullptr ? pName : "(null)");
    return FALSE;
  }
  HKEY hKey = nullptr;
  if (openSettingsKey(RegistryRoot, &hKey) != ERROR_SUCCESS) {
    DebugTraceRaw("setRegistrySetting - Cannot open the settings key\r\n");
    return FALSE;
  }
  WCHAR wideName[257];
  MultiByteToWideChar(CP_ACP, 0, pName, -1, wideName, 257);
  const LONG written =
      RegSetValueExW(hKey, wideName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(hKey);
  if (written != ERROR_SUCCESS) {
    DebugTraceRawF("setRegistrySetting - Writing %s failed, error %ld\r\n", pName, static_cast<long>(written));
    return FALSE;
  }
  return TRUE;
}
