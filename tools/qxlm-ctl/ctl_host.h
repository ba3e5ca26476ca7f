// What qxlm-ctl asks of the system it runs on, where the two builds differ.
#pragma once

#include <string>

namespace ctl {

// Whether the program's standard output is a terminal (a console on Windows).
bool standardOutputIsTerminal();

// The firmware file's path as the monitor must be given it. On Windows the
// spooler has a working folder of its own, so a relative path is made full; the
// stand-in's monitor reads names as the Windows build does, where "/" is no
// separator, so paths are passed as written.
std::string pathForMonitor(const std::string& path);

}  // namespace ctl
