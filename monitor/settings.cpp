#include "monitor/settings.h"

#include <cstring>

#include "diag/debug_trace.h"
#include "monitor/monitor_state.h"
#include "monitor/os_info.h"

namespace {

struct SettingDef {
  LPCWSTR name;
  Relaxed<DWORD> MonitorSettings::*field;
  DWORD defaultValue;
};

// In the order they are read. The watchdog switch's default depends on the system
// and is worked out at each read.
const SettingDef kSettings[] = {
    {WSTR("EOJTimeout"), &MonitorSettings::EOJTimeout, 60000},
    {WSTR("EOJEjectSendLastPage"), &MonitorSettings::EOJEjectSendLastPage, 1},
    {WSTR("EnableHeartBeat"), &MonitorSettings::EnableHeartBeat, 1},
    {WSTR("HeartBeatRate"), &MonitorSettings::HeartBeatRate, 5000},
    {WSTR("EnableDiags"), &MonitorSettings::EnableDiags, 0},
    {WSTR("USBWriteTotalTimeoutMultiplier"), &MonitorSettings::USBWriteTotalTimeoutMultiplier, 1},
    {WSTR("USBWriteTotalTimeoutConstant"), &MonitorSettings::USBWriteTotalTimeoutConstant, 5000},
    {WSTR("USBReadIntervalTimeout"), &MonitorSettings::USBReadIntervalTimeout, 0},
    {WSTR("USBReadTotalTimeoutMultiplier"), &MonitorSettings::USBReadTotalTimeoutMultiplier, 1},
    {WSTR("USBReadTotalTimeoutConstant"), &MonitorSettings::USBReadTotalTimeoutConstant, 5000},
    {WSTR("USBprintingTimeout"), &MonitorSettings::USBprintingTimeout, 10},
    {WSTR("USBWDGlobalEnable"), &MonitorSettings::USBWDGlobalEnable, 1},
    {WSTR("USBAbortOnWriteTimeout"), &MonitorSettings::USBAbortOnWriteTimeout, 1},
    {WSTR("SerialPacketSize"), &MonitorSettings::SerialPacketSize, 512},
    {WSTR("USBPacketSize"), &MonitorSettings::USBPacketSize, 4096},
    {WSTR("ECPmode"), &MonitorSettings::ECPmode, 1},
    {WSTR("LPmode"), &MonitorSettings::LPmode, 0},
    {WSTR("DRWenable"), &MonitorSettings::DRWenable, 0},
    {WSTR("DRWdebugMask"), &MonitorSettings::DRWdebugMask, 1},
    {WSTR("DRWpollTime"), &MonitorSettings::DRWpollTime, 60},
    {WSTR("DRWMaxFileSize"), &MonitorSettings::DRWMaxFileSize, 1500000},
    {WSTR("DRWMinFileSize"), &MonitorSettings::DRWMinFileSize, 1000000},
    {WSTR("USBWDtimeout"), &MonitorSettings::USBWDtimeout, 255},
    {WSTR("JAVAlowPaperDisable"), &MonitorSettings::JAVAlowPaperDisable, 0},
    {WSTR("JAVAticketNotTakenDisable"), &MonitorSettings::JAVAticketNotTakenDisable, 0},
};
constexpr size_t kSettingCount = sizeof kSettings / sizeof kSettings[0];
static_assert(kSettingCount == 25, "the monitor has 25 settings");
constexpr size_t kWatchdogSwitch = 11;  // "USBWDGlobalEnable"

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
    readSettingDword(hKey, kSettings[i].name, &(Settings.*kSettings[i].field), kSettings[i].defaultValue, pError);
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
  readSettings(hKey, 3, kWatchdogSwitch, &error);

  const DWORD watchdogDefault = watchdogSwitchDefault();
  if (error == ERROR_SUCCESS) {
    readSettingDword(hKey, kSettings[kWatchdogSwitch].name, &Settings.USBWDGlobalEnable, watchdogDefault, &error);
  }
  readSettings(hKey, kWatchdogSwitch + 1, kSettingCount, &error);

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
