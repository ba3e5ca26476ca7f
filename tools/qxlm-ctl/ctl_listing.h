// What the fleet commands ask of the system where the two builds differ: which
// monitor pipes exist, and which files a folder holds.
#pragma once

#include <string>
#include <vector>

#include "platform/win32_api.h"

namespace ctl {

// The port name of every monitor pipe ("\\.\pipe\QXNamedPipe" + port) on this
// machine, in the spelling the pipe namespace keeps. false with *error set when
// the namespace cannot be listed here.
bool listPortPipes(std::vector<std::string>* ports, DWORD* error);

// The names of the plain files in a folder (a Windows path on both builds).
bool listFiles(const std::string& folder, std::vector<std::string>* names);

}  // namespace ctl
