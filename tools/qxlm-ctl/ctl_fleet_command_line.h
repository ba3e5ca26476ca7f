// The command lines of qxlm-ctl's fleet commands: ports, watch, log and service.
#pragma once

#include <string>
#include <vector>

#include "platform/win32_api.h"

namespace ctl {

// watch --until: the condition did not hold within its time-out.
const int EXIT_CONDITION_TIMED_OUT = 8;
// log: there is no event log (of that printer) to read.
const int EXIT_NO_LOG = 9;

enum class FleetCommand { Ports, Watch, Log, Service };

struct FleetInvocation {
  FleetCommand command = FleetCommand::Ports;
  bool json = false;
  // ports, watch: port names or patterns ("USB*"); all ports when empty.
  std::vector<std::string> ports;
  // watch and service
  DWORD intervalMs = 2000;
  bool counters = false;
  std::string until;  // a condition, "ready", or a printer-state
  DWORD untilTimeoutMs = 600000;
  std::string metricsPath;
  DWORD liveTimeoutMs = 5000;  // the monitor's wait for a live status
  // log
  std::string printer;
  std::vector<std::string> codes;
  std::string since;  // a stamp
  std::string text;
  bool follow = false;
};

// Where --help's option texts start.
const size_t kHelpColumn = 22;

// The command line names a fleet command and asks for no help.
bool isFleetCommand(const std::vector<std::string>& args);

bool parseFleetCommandLine(const std::vector<std::string>& args, FleetInvocation* invocation, std::string* error);

// The fleet commands' part of --help: commands, then options, then exit codes.
std::string fleetCommandsText();
std::string fleetOptionsText();
std::string fleetExitCodesText();

}  // namespace ctl
