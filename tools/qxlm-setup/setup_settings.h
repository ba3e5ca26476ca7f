// The monitor's settings as they stand under its registry key.
#pragma once

#include <string>
#include <vector>

#include "setup_system.h"

namespace setup {

struct SettingValue {
  std::string name;
  DWORD value = 0;
  DWORD defaultValue = 0;
  bool present = false;  // stored as a 4-byte value
};

// Every setting of the monitor, in its reading order; 0 or the registry error.
DWORD readSettings(const Wide& monitorName, std::vector<SettingValue>* settings);

// Writes the default of every setting that is missing, keeping those that are there;
// *written counts the defaults written. 0 or the registry error.
DWORD writeMissingDefaults(const Wide& monitorName, unsigned* written);

}  // namespace setup
