// The settings read over a key holding values of every type and size: a value of
// exactly four bytes is taken as the number whatever its type, any other is replaced
// by its default written back as a REG_DWORD; and a client's setting write takes
// only the monitor's own names.
//
// Input: records of a setting byte (25 and above: a name of the input's own, ended by
// a NUL), a type byte, a size byte and the value's bytes; the last record's setting
// name and value are then written as a pipe client would write them.
#include <cstring>

#include "fuzz_support.h"
#include "port/monitor_state.h"
#include "port/settings.h"

namespace {

struct Known {
  const char* name;
  Relaxed<DWORD> MonitorSettings::*field;
  DWORD defaultValue;
};

// The 25 settings and their defaults (the watchdog switch's depends on the system
// and is learnt at start).
Known kKnown[] = {
    {"EOJTimeout", &MonitorSettings::EOJTimeout, 60000},
    {"EOJEjectSendLastPage", &MonitorSettings::EOJEjectSendLastPage, 1},
    {"EnableHeartBeat", &MonitorSettings::EnableHeartBeat, 1},
    {"HeartBeatRate", &MonitorSettings::HeartBeatRate, 5000},
    {"EnableDiags", &MonitorSettings::EnableDiags, 0},
    {"USBWriteTotalTimeoutMultiplier", &MonitorSettings::USBWriteTotalTimeoutMultiplier, 1},
    {"USBWriteTotalTimeoutConstant", &MonitorSettings::USBWriteTotalTimeoutConstant, 5000},
    {"USBReadIntervalTimeout", &MonitorSettings::USBReadIntervalTimeout, 0},
    {"USBReadTotalTimeoutMultiplier", &MonitorSettings::USBReadTotalTimeoutMultiplier, 1},
    {"USBReadTotalTimeoutConstant", &MonitorSettings::USBReadTotalTimeoutConstant, 5000},
    {"USBprintingTimeout", &MonitorSettings::USBprintingTimeout, 10},
    {"USBWDGlobalEnable", &MonitorSettings::USBWDGlobalEnable, 1},
    {"USBAbortOnWriteTimeout", &MonitorSettings::USBAbortOnWriteTimeout, 1},
    {"SerialPacketSize", &MonitorSettings::SerialPacketSize, 512},
    {"USBPacketSize", &MonitorSettings::USBPacketSize, 4096},
    {"ECPmode", &MonitorSettings::ECPmode, 1},
    {"LPmode", &MonitorSettings::LPmode, 0},
    {"DRWenable", &MonitorSettings::DRWenable, 0},
    {"DRWdebugMask", &MonitorSettings::DRWdebugMask, 1},
    {"DRWpollTime", &MonitorSettings::DRWpollTime, 60},
    {"DRWMaxFileSize", &MonitorSettings::DRWMaxFileSize, 1500000},
    {"DRWMinFileSize", &MonitorSettings::DRWMinFileSize, 1000000},
    {"USBWDtimeout", &MonitorSettings::USBWDtimeout, 255},
    {"JAVAlowPaperDisable", &MonitorSettings::JAVAlowPaperDisable, 0},
    {"JAVAticketNotTakenDisable", &MonitorSettings::JAVAticketNotTakenDisable, 0},
};
const size_t kKnownCount = sizeof kKnown / sizeof kKnown[0];

HKEY openRoot(LPCWSTR root) {
  HKEY hKey = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, root, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_SET_VALUE, nullptr,
                      &hKey, nullptr) != ERROR_SUCCESS) {
    fuzz::fail("settings key");
  }
  return hKey;
}

// The stored bytes of a value, or false when it is missing.
bool stored(HKEY hKey, const char* name, DWORD* type, std::vector<BYTE>* bytes) {
  const std::u16string wide = fuzz::widen(name);
  DWORD size = 0;
  if (RegQueryValueExW(hKey, wide.c_str(), nullptr, type, nullptr, &size) != ERROR_SUCCESS) return false;
  bytes->assign(size, 0);
  return RegQueryValueExW(hKey, wide.c_str(), nullptr, type, bytes->data(), &size) == ERROR_SUCCESS;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static LPCWSTR root = [] {
    LPCWSTR r = fuzz::startMonitor("settings_read", {});
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, r);
    readMonitorSettings(r);
    kKnown[11].defaultValue = Settings.USBWDGlobalEnable;
    return r;
  }();

  RegDeleteTreeW(HKEY_LOCAL_MACHINE, root);
  HKEY hKey = openRoot(root);
  fuzz::Input input(data, size);
  std::string lastName;
  DWORD lastValue = 0;
  while (!input.empty()) {
    const BYTE which = input.byte();
    const std::string name = which < kKnownCount ? std::string(kKnown[which].name) : input.text();
    const DWORD type = input.byte() % 12;
    const std::vector<BYTE> bytes = input.bytes(input.byte() % 17);
    const std::u16string wide = fuzz::widen(name);
    RegSetValueExW(hKey, wide.c_str(), 0, type, bytes.empty() ? nullptr : bytes.data(),
                   static_cast<DWORD>(bytes.size()));
    lastName = name;
    lastValue = 0;
    if (!bytes.empty()) memcpy(&lastValue, bytes.data(), bytes.size() < 4 ? bytes.size() : 4);
  }

  // What each setting should become, from what is stored before the read.
  DWORD expected[kKnownCount];
  for (size_t i = 0; i < kKnownCount; ++i) {
    DWORD type = 0;
    std::vector<BYTE> bytes;
    expected[i] = kKnown[i].defaultValue;
    if (stored(hKey, kKnown[i].name, &type, &bytes) && bytes.size() == 4) memcpy(&expected[i], bytes.data(), 4);
  }

  FUZZ_CHECK(readMonitorSettings(root) == ERROR_SUCCESS);
  FUZZ_CHECK(wdHeartBeatRate == 5000);
  for (size_t i = 0; i < kKnownCount; ++i) {
    FUZZ_CHECK(Settings.*kKnown[i].field == expected[i]);
    DWORD type = 0;
    std::vector<BYTE> bytes;
    FUZZ_CHECK(stored(hKey, kKnown[i].name, &type, &bytes) && bytes.size() == 4);
    DWORD now = 0;
    memcpy(&now, bytes.data(), 4);
    FUZZ_CHECK(now == expected[i]);
  }

  // A client's write takes the exact names of the settings only, "END" not among them.
  bool known = false;
  for (size_t i = 0; i < kKnownCount; ++i) known = known || lastName == kKnown[i].name;
  FUZZ_CHECK((setRegistrySetting(lastName.c_str(), lastValue) != FALSE) == known);
  if (known) {
    DWORD type = 0;
    std::vector<BYTE> bytes;
    FUZZ_CHECK(stored(hKey, lastName.c_str(), &type, &bytes) && type == REG_DWORD && bytes.size() == 4 &&
               memcmp(bytes.data(), &lastValue, 4) == 0);
  }
  RegCloseKey(hKey);
  return 0;
}
