// qxlm-ctl: asks the print monitor's pipe of an open port; see --help.
#include <iostream>
#include <string>
#include <vector>

#include "ctl_run.h"
#include "ctl_host.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const ctl::Console console{std::cout, std::cerr, ctl::standardOutputIsTerminal()};
  return ctl::runCtl(args, console);
}
