// qxlm-ctl's fleet commands, each run from its parsed command line; the exit code
// of ctl_command_line.h (and EXIT_CONDITION_TIMED_OUT).
#pragma once

#include "ctl_fleet_command_line.h"
#include "ctl_run.h"

namespace ctl {

int runFleet(const std::vector<std::string>& args, const Console& console);

int runPorts(const FleetInvocation& invocation, const Console& console);
int runWatch(const FleetInvocation& invocation, const Console& console);
int runLog(const FleetInvocation& invocation, const Console& console);

}  // namespace ctl
