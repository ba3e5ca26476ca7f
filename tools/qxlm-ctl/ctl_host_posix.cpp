#include <unistd.h>

#include "ctl_host.h"

namespace ctl {

bool standardOutputIsTerminal() { return isatty(STDOUT_FILENO) != 0; }

std::string pathForMonitor(const std::string& path) { return path; }

}  // namespace ctl
