// qxlm-ctl itself: runs one command line against a port's pipe and writes the
// answer; the program's main and the tests both call it.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace ctl {

struct Console {
  std::ostream& out;
  std::ostream& err;
  bool terminal;  // out is a terminal: the progress bar is redrawn in place
};

// The exit code of ctl_command_line.h.
int runCtl(const std::vector<std::string>& args, const Console& console);

}  // namespace ctl
