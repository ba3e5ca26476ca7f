#include "setup_settings.h"

#include "port/settings_table.h"

namespace setup {

namespace {

bool readDword(HKEY key, LPCWSTR name, DWORD* value) {
  DWORD size = sizeof *value;
  return RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<LPBYTE>(value), &size) == ERROR_SUCCESS &&
         size == sizeof *value;
}

}  // namespace

DWORD readSettings(const Wide& monitorName, std::vector<SettingValue>* settings) {
  settings->clear();
  HKEY key = nullptr;
  const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, monitorKeyPath(monitorName).c_str(), 0, KEY_READ, &key);
  if (opened != ERROR_SUCCESS) return static_cast<DWORD>(opened);
  for (const SettingEntry& entry : kSettingTable) {
    SettingValue setting;
    setting.name = toUtf8(entry.name);
    setting.defaultValue = entry.defaultValue;
    setting.present = readDword(key, entry.name, &setting.value);
    settings->push_back(setting);
  }
  RegCloseKey(key);
  return ERROR_SUCCESS;
}

DWORD writeMissingDefaults(const Wide& monitorName, unsigned* written) {
  *written = 0;
  HKEY key = nullptr;
  const LONG opened = RegCreateKeyExW(HKEY_LOCAL_MACHINE, monitorKeyPath(monitorName).c_str(), 0, nullptr,
                                      REG_OPTION_NON_VOLATILE, KEY_READ | KEY_SET_VALUE, nullptr, &key, nullptr);
  if (opened != ERROR_SUCCESS) return static_cast<DWORD>(opened);
  LONG result = ERROR_SUCCESS;
  for (const SettingEntry& entry : kSettingTable) {
    DWORD value = 0;
    if (readDword(key, entry.name, &value)) continue;
    value = entry.defaultValue;
    result = RegSetValueExW(key, entry.name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    if (result != ERROR_SUCCESS) break;
    ++*written;
  }
  RegCloseKey(key);
  return static_cast<DWORD>(result);
}

}  // namespace setup
