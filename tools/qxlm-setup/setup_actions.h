// qxlm-setup's commands; each returns an exit code of setup_command_line.h.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "setup_command_line.h"

namespace setup {

struct Console {
  std::ostream& out;
  std::ostream& err;
};

int install(const Invocation& invocation, const Console& console);
int uninstall(const Invocation& invocation, const Console& console);
int attach(const Invocation& invocation, const Console& console);
int detach(const Invocation& invocation, const Console& console);
int status(const Invocation& invocation, const Console& console);

// The whole program: parses args (UTF-8, without the program name) and runs them.
int runSetup(const std::vector<std::string>& args, const Console& console);

}  // namespace setup
