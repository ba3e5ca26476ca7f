// qxlm-setup: installs the language monitor into the Windows print spooler; see --help.
#include <iostream>
#include <string>
#include <vector>

#include "setup_actions.h"
#include "setup_dlls.h"
#include "setup_system.h"

int wmain(int argc, wchar_t** argv) {
  SetConsoleOutputCP(CP_UTF8);
  if (!setup::loadSystemDlls()) {
    std::cerr << "qxlm-setup: winspool.drv or version.dll is missing from the system folder\n";
    return 1;
  }
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(setup::toUtf8(argv[i]));
  const setup::Console console{std::cout, std::cerr};
  return setup::runSetup(args, console);
}
