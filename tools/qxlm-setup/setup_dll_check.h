// The check of the monitor's DLL before qxlm-setup installs it.
#pragma once

#include <string>

#include "setup_actions.h"
#include "setup_system.h"

namespace setup {

// Checks the DLL at path: size, its one export, its SHA-256 (printed, and compared
// with the SHA256SUMS beside the program when there is one); an exit code.
int checkMonitorDll(const Wide& path, const std::string& fileName, const Console& console);

}  // namespace setup
