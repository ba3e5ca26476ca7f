// The 25 registry settings under the monitor's key, held monitor-wide.
#pragma once

#include "platform/win32_api.h"
#include "port/relaxed.h"

struct MonitorSettings {
  Relaxed<DWORD> EOJTimeout;
  Relaxed<DWORD> EOJEjectSendLastPage;
  Relaxed<DWORD> EnableHeartBeat;
  Relaxed<DWORD> HeartBeatRate;
  Relaxed<DWORD> EnableDiags;
  Relaxed<DWORD> USBWriteTotalTimeoutMultiplier;
  Relaxed<DWORD> USBWriteTotalTimeoutConstant;
  Relaxed<DWORD> USBReadIntervalTimeout;
  Relaxed<DWORD> USBReadTotalTimeoutMultiplier;
  Relaxed<DWORD> USBReadTotalTimeoutConstant;
  Relaxed<DWORD> USBprintingTimeout;
  Relaxed<DWORD> USBWDGlobalEnable;
  Relaxed<DWORD> USBAbortOnWriteTimeout;
  Relaxed<DWORD> SerialPacketSize;
  Relaxed<DWORD> USBPacketSize;
  Relaxed<DWORD> ECPmode;
  Relaxed<DWORD> LPmode;
  Relaxed<DWORD> DRWenable;
  Relaxed<DWORD> DRWdebugMask;
  Relaxed<DWORD> DRWpollTime;
  Relaxed<DWORD> DRWMaxFileSize;
  Relaxed<DWORD> DRWMinFileSize;
  Relaxed<DWORD> USBWDtimeout;
  Relaxed<DWORD> JAVAlowPaperDisable;
  Relaxed<DWORD> JAVAticketNotTakenDisable;
};

extern MonitorSettings Settings;

// Reads all 25 values below HKEY_LOCAL_MACHINE\root, writing missing ones back with
// their defaults; 0, or the registry error that stopped the read.
LONG readMonitorSettings(LPCWSTR pRegistryRoot);
LONG readSettingDword(HKEY hKey, LPCWSTR pValueName, Relaxed<DWORD>* pSetting, DWORD defaultValue, LONG* pError);
// Stores one setting under RegistryRoot; FALSE for a name that is not a setting.
BOOL setRegistrySetting(LPCSTR pName, DWORD value);
BOOL getOSinfo(DWORD* kind, LPWSTR servicePack, DWORD* buildNumber);
