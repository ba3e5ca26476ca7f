// Small text helpers of the virtual printer and the recording spooler.
#pragma once

#include <string>

#include "platform/win32_api.h"

namespace sim {

// A wide name narrowed the way the spooler's names are shown: the low byte of each unit.
std::string narrow(LPCWSTR text);

// ASCII upper case, for names compared without regard to case.
std::string upperCase(std::string text);

}  // namespace sim
