// The job the demo prints: a few tickets in the printer's own language, or the
// bytes of a file the user names.
#pragma once

#include <string>
#include <vector>

#include "platform/win32_api.h"

namespace demo {

// Each ticket: a raster logo (an ESC d block, whose bytes include ESC e that must
// not count as a page end), positioned text lines, and ESC e to print and cut.
std::vector<BYTE> ticketJob(unsigned tickets);

// The whole file; false when it cannot be read.
bool readJobFile(const std::string& path, std::vector<BYTE>& bytes);

}  // namespace demo
