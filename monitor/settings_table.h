// The monitor's 25 registry settings: names, defaults and where each is held, in the
// order they are read. The monitor reads them through this table; qxlm-setup lists
// them; a test holds docs/settings.md to it.
#pragma once

#include <cstddef>

#include "monitor/settings.h"
#include "platform/win32_api.h"

struct SettingEntry {
  LPCWSTR name;
  Relaxed<DWORD> MonitorSettings::*field;
  DWORD defaultValue;  // for "USBWDGlobalEnable", the default on every system but XP and Server 2003
};

#define SETTING_COUNT 25u
#define SETTING_WATCHDOG_SWITCH 11u  // "USBWDGlobalEnable": its default depends on the system

extern const SettingEntry kSettingTable[SETTING_COUNT];
