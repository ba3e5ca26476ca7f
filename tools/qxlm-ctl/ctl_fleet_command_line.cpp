#include "ctl_fleet_command_line.h"

#include <cerrno>
#include <cstdlib>

#include "ctl_local_time.h"
#include "ctl_state_words.h"
#include "ctl_text.h"

namespace ctl {
namespace {

const char* const kValueOptions[] = {"-p", "--port", "-t", "--timeout", "--interval", "--until", "--until-timeout",
                                     "--metrics", "--code", "--since", "--text"};

bool takesValue(const std::string& name) {
  for (const char* option : kValueOptions) {
    if (name == option) return true;
  }
  return false;
}

// The first argument that is no option nor an option's value.
std::string commandWord(const std::vector<std::string>& args) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.size() > 1 && arg[0] == '-') {
      if (arg.find('=') == std::string::npos && takesValue(arg)) ++i;
      continue;
    }
    return arg;
  }
  return std::string();
}

bool isPrinterState(const std::string& text) {
  return text == "idle" || text == "processing" || text == "stopped";
}

// A condition --until can wait for: "ready", a printer-state, a word of the table
// or one of its IPP keywords.
bool knownCondition(const std::string& text) {
  if (equalsIgnoringCase(text, "ready") || isPrinterState(text) || findStateWord(text) != nullptr) return true;
  for (const StateWord& word : stateWords()) {
    if (equalsIgnoringCase(text, word.ippReason)) return true;
  }
  return false;
}

bool fourDigits(const std::string& code) {
  if (code.size() != 4) return false;
  for (char c : code) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

bool isFleetCommand(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "-h" || arg == "--help") return false;
  }
  const std::string word = commandWord(args);
  return word == "ports" || word == "watch" || word == "log" || word == "service";
}

bool parseFleetCommandLine(const std::vector<std::string>& args, FleetInvocation* inv, std::string* error) {
  *inv = FleetInvocation();
  const std::string command = commandWord(args);
  inv->command = command == "watch"     ? FleetCommand::Watch
                 : command == "log"     ? FleetCommand::Log
                 : command == "service" ? FleetCommand::Service
                                        : FleetCommand::Ports;
  bool intervalGiven = false;
  bool commandSeen = false;
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    std::string value;
    if (arg.size() > 1 && arg[0] == '-' && takesValue(name)) {
      if (equals != std::string::npos) {
        value = arg.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        *error = "option " + name + " needs a value";
        return false;
      }
    }
    const bool service = inv->command == FleetCommand::Service;
    const bool watch = inv->command == FleetCommand::Watch || service;
    const bool log = inv->command == FleetCommand::Log;
    if (arg == "--json") {
      inv->json = true;
    } else if ((name == "-p" || name == "--port") && !log) {
      inv->ports.push_back(value);
    } else if ((name == "-t" || name == "--timeout") && watch) {
      unsigned long ms = 0;
      char* end = nullptr;
      errno = 0;
      ms = strtoul(value.c_str(), &end, 10);
      if (value.empty() || value[0] == '-' || errno != 0 || *end != 0 || ms > 65535) {
        *error = "the time-out is a number of milliseconds from 0 to 65535";
        return false;
      }
      inv->liveTimeoutMs = static_cast<DWORD>(ms);
    } else if (name == "--interval" && (watch || log)) {
      if (!parseDuration(value, &inv->intervalMs) || inv->intervalMs == 0) {
        *error = "the interval is a duration above 0 (500ms, 2s, 1m; a bare number is seconds)";
        return false;
      }
      intervalGiven = true;
    } else if (arg == "--counters" && watch) {
      inv->counters = true;
    } else if (name == "--until" && watch && !service) {
      if (!knownCondition(value)) {
        *error = "unknown condition '" + value + "' (ready, idle, processing, stopped, a condition or an IPP keyword)";
        return false;
      }
      inv->until = value;
    } else if (name == "--until-timeout" && watch && !service) {
      if (!parseDuration(value, &inv->untilTimeoutMs)) {
        *error = "the time-out is a duration (90s, 5m; a bare number is seconds)";
        return false;
      }
    } else if (name == "--metrics" && watch) {
      if (value.empty()) {
        *error = "--metrics needs a file name";
        return false;
      }
      inv->metricsPath = value;
    } else if (name == "--code" && log) {
      for (const std::string& code : splitText(value, ',')) {
        if (!fourDigits(code)) {
          *error = "an event code is four digits, not '" + code + "'";
          return false;
        }
        inv->codes.push_back(code);
      }
    } else if (name == "--since" && log) {
      if (!parseSince(value, &inv->since)) {
        *error = "--since takes a date, a date and time, a time of today or a duration back from now, not '" +
                 value + "'";
        return false;
      }
    } else if (name == "--text" && log) {
      inv->text = value;
    } else if ((arg == "-f" || arg == "--follow") && log) {
      inv->follow = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      *error = "option " + name + " does not belong to " + command;
      return false;
    } else if (!commandSeen) {
      commandSeen = true;
    } else {
      positional.push_back(arg);
    }
  }
  if (inv->command == FleetCommand::Log) {
    if (positional.size() > 1) {
      *error = "usage: qxlm-ctl log [PRINTER] [--code CODES] [--since WHEN] [--text TEXT] [--follow] [--json]";
      return false;
    }
    if (!positional.empty()) inv->printer = positional[0];
    if (!intervalGiven) inv->intervalMs = 1000;
    return true;
  }
  inv->ports.insert(inv->ports.end(), positional.begin(), positional.end());
  if (inv->command == FleetCommand::Service && inv->metricsPath.empty()) {
    *error = "service needs --metrics FILE";
    return false;
  }
  return true;
}

std::string fleetCommandsText() {
  return "  ports [PORT|PATTERN...]\n"
         "      every port with an open monitor pipe on this machine (those named; \"USB*\" patterns),\n"
         "      its printer, state, conditions and IPP printer-state-reasons\n"
         "  watch [PORT|PATTERN...] [--interval D] [--counters] [--until CONDITION [--until-timeout D]]\n"
         "        [--metrics FILE]\n"
         "      asks the ports at each interval (2s) and prints one line per change: ports that\n"
         "      appear and vanish, old -> new conditions; --until ends it once CONDITION holds on\n"
         "      every port (ready: not stopped; idle, processing, stopped; a condition or IPP\n"
         "      keyword); --counters and --metrics also ask each printer for its complete status\n"
         "  service --metrics FILE [PORT|PATTERN...] [--interval D]\n"
         "      watch with --metrics, unattended: the Windows service qxlm-watch (qxlm-setup install\n"
         "      --watcher), which logs its start, stop, errors and each change to the event log;\n"
         "      from a console it runs in the foreground until Ctrl-C and prints the same lines\n"
         "  log [PRINTER] [--code CODE,...] [--since WHEN] [--text TEXT] [--follow]\n"
         "      the monitor's event log lines on this machine, aligned or --json; --follow keeps\n"
         "      reading as lines come (WHEN: 2017/01/04 [14:05], 14:05, or 30m, 2h, 1d back)\n";
}

std::string fleetOptionsText() {
  return "  --json              ports: one array; watch, log: one object per line\n"
         "  --interval D        watch, service, log -f: time between looks (500ms, 2s, 1m; bare: seconds)\n"
         "  --until-timeout D   watch --until: give up after this long (default 10m)\n"
         "  --metrics FILE      watch, service: keep FILE current in the Prometheus text format\n";
}

std::string fleetExitCodesText() {
  return "  8 watch --until: the condition did not hold in time, 9 log: no event log to read\n";
}

}  // namespace ctl
