#include "port/settings_table.h"

const SettingEntry kSettingTable[SETTING_COUNT] = {
    {WSTR("EOJTimeout"), &MonitorSettings::EOJTimeout, 60000, 0, 0xFFFFFFFFu},
    {WSTR("EOJEjectSendLastPage"), &MonitorSettings::EOJEjectSendLastPage, 1, 0, 1},
    {WSTR("EnableHeartBeat"), &MonitorSettings::EnableHeartBeat, 1, 0, 1},
    {WSTR("HeartBeatRate"), &MonitorSettings::HeartBeatRate, 5000, 100, 600000},
    {WSTR("EnableDiags"), &MonitorSettings::EnableDiags, 0, 0, 1},
    {WSTR("USBWriteTotalTimeoutMultiplier"), &MonitorSettings::USBWriteTotalTimeoutMultiplier, 1, 0, 1000},
    {WSTR("USBWriteTotalTimeoutConstant"), &MonitorSettings::USBWriteTotalTimeoutConstant, 5000, 1000, 600000},
    {WSTR("USBReadIntervalTimeout"), &MonitorSettings::USBReadIntervalTimeout, 0, 0, 60000},
    {WSTR("USBReadTotalTimeoutMultiplier"), &MonitorSettings::USBReadTotalTimeoutMultiplier, 1, 0, 1000},
    {WSTR("USBReadTotalTimeoutConstant"), &MonitorSettings::USBReadTotalTimeoutConstant, 5000, 1000, 600000},
    {WSTR("USBprintingTimeout"), &MonitorSettings::USBprintingTimeout, 10, 10, 255},
    {WSTR("USBWDGlobalEnable"), &MonitorSettings::USBWDGlobalEnable, 1, 0, 1},
    {WSTR("USBAbortOnWriteTimeout"), &MonitorSettings::USBAbortOnWriteTimeout, 1, 0, 1},
    {WSTR("SerialPacketSize"), &MonitorSettings::SerialPacketSize, 512, 1, 65536},
    {WSTR("USBPacketSize"), &MonitorSettings::USBPacketSize, 4096, 1, 65536},
    {WSTR("ECPmode"), &MonitorSettings::ECPmode, 1, 0, 0xFFFFFFFFu},
    {WSTR("LPmode"), &MonitorSettings::LPmode, 0, 0, 1},
    {WSTR("DRWenable"), &MonitorSettings::DRWenable, 0, 0, 1},
    {WSTR("DRWdebugMask"), &MonitorSettings::DRWdebugMask, 1, 0x01, 0x3F},
    {WSTR("DRWpollTime"), &MonitorSettings::DRWpollTime, 60, 1, 1440},
    {WSTR("DRWMaxFileSize"), &MonitorSettings::DRWMaxFileSize, 1500000, 10000, 100000000},
    {WSTR("DRWMinFileSize"), &MonitorSettings::DRWMinFileSize, 1000000, 0, 100000000},
    {WSTR("USBWDtimeout"), &MonitorSettings::USBWDtimeout, 255, 10, 255},
    {WSTR("JAVAlowPaperDisable"), &MonitorSettings::JAVAlowPaperDisable, 0, 0, 1},
    {WSTR("JAVAticketNotTakenDisable"), &MonitorSettings::JAVAticketNotTakenDisable, 0, 0, 1},
};

namespace {

BOOL sameName(LPCWSTR wide, LPCSTR narrow) {
  for (; *wide != 0 && *narrow != 0; ++wide, ++narrow) {
    if (*wide != static_cast<unsigned char>(*narrow)) return FALSE;
  }
  return *wide == 0 && *narrow == 0;
}

}  // namespace

BOOL settingValueAllowed(LPCSTR name, DWORD value) {
  for (const SettingEntry& entry : kSettingTable) {
    if (!sameName(entry.name, name)) continue;
    if (value < entry.lowest || value > entry.highest) return FALSE;
    if (entry.field == &MonitorSettings::DRWMinFileSize) return value < Settings.DRWMaxFileSize;
    if (entry.field == &MonitorSettings::DRWMaxFileSize) return value > Settings.DRWMinFileSize;
    return TRUE;
  }
  return FALSE;
}
