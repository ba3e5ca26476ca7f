#include "setup_actions.h"
#include "setup_errors.h"
#include "setup_system.h"

namespace setup {

int runSetup(const std::vector<std::string>& args, const Console& console) {
  Invocation invocation;
  std::string error;
  if (!parseCommandLine(args, &invocation, &error)) {
    console.err << "qxlm-setup: " << error << "\n"
                << "Try qxlm-setup --help.\n";
    return EXIT_USAGE;
  }
  if (invocation.action == Action::Help) {
    console.out << usageText();
    return EXIT_OK;
  }
  if (invocation.action == Action::Status) return status(invocation, console);
  if (!runsAsAdministrator()) {
    console.err << "qxlm-setup: this command changes the print spooler and needs an elevated administrator.\n"
                << adviceForError(ERROR_ACCESS_DENIED) << "\n";
    return EXIT_NOT_ADMINISTRATOR;
  }
  switch (invocation.action) {
    case Action::Install:
      return install(invocation, console);
    case Action::Uninstall:
      return uninstall(invocation, console);
    case Action::Attach:
      return attach(invocation, console);
    default:
      return detach(invocation, console);
  }
}

}  // namespace setup
