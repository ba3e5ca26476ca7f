// The monitor's 25 registry settings: names, defaults and where each is held, in the
// order they are read. The monitor reads them through this table; qxlm-setup lists
// them; a test holds docs/settings.md to it.
#pragma once

#include <cstddef>

#include "platform/win32_api.h"
#include "port/settings.h"

struct SettingEntry {
  LPCWSTR name;
  Relaxed<DWORD> MonitorSettings::*field;
  DWORD defaultValue;  // for "USBWDGlobalEnable", the default on every system but XP and Server 2003
  // The values a pipe client may store: those that keep the port working.
  DWORD lowest;
  DWORD highest;
};

#define SETTING_COUNT 25u
#define SETTING_WATCHDOG_SWITCH 11u  // "USBWDGlobalEnable": its default depends on the system

extern const SettingEntry kSettingTable[SETTING_COUNT];

// Whether a pipe client may store value under name: one of the 25 names, in its
// range. "DRWMinFileSize" must also stay below "DRWMaxFileSize", and the other way
// round, as they are in memory now.
BOOL settingValueAllowed(LPCSTR name, DWORD value);
