// What qxlm-ctl asks of the system it runs on, where the two builds differ.
#pragma once

#include <string>

#include "platform/win32_api.h"

namespace ctl {

// Whether the program's standard output is a terminal (a console on Windows).
bool standardOutputIsTerminal();

// The firmware file's path as the monitor must be given it. On Windows the
// spooler has a working folder of its own, so a relative path is made full; the
// stand-in's monitor reads names as the Windows build does, where "/" is no
// separator, so paths are passed as written.
std::string pathForMonitor(const std::string& path);

// Whether the server of a connected pipe may act as its client: the spooler's
// account (SYSTEM) or an administrator on Windows; in the stand-in, root or the
// user running qxlm-ctl. *account names the server's account for a refusal.
bool pipeServerTrusted(HANDLE pipe, std::string* account);

}  // namespace ctl
