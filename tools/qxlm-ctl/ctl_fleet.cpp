#include "ctl_fleet.h"

#include "ctl_command_line.h"
#include "ctl_service.h"

namespace ctl {

int runFleet(const std::vector<std::string>& args, const Console& console) {
  FleetInvocation invocation;
  std::string error;
  if (!parseFleetCommandLine(args, &invocation, &error)) {
    console.err << "qxlm-ctl: " << error << "\nTry 'qxlm-ctl --help'.\n";
    return EXIT_USAGE;
  }
  switch (invocation.command) {
    case FleetCommand::Watch:
      return runWatch(invocation, console);
    case FleetCommand::Log:
      return runLog(invocation, console);
    case FleetCommand::Service:
      return runService(invocation, console);
    default:
      return runPorts(invocation, console);
  }
}

}  // namespace ctl
