#include "ctl_fleet_command_line.h"

#include <cerrno>
#include <cstdlib>

#include <functional>

#include "ctl_local_time.h"
#include "ctl_state_words.h"
#include "ctl_text.h"
#include "option_table.h"

namespace ctl {
namespace {

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

// Where an option belongs: its error otherwise names the command.
struct Scope {
  const std::string& command;
  bool belongs;
};

tools::Option scoped(std::vector<std::string> names, const char* value, const char* help, Scope scope,
                     std::function<bool(const std::string& value, std::string* error)> apply) {
  const std::string name = names.back();
  const std::string command = scope.command;
  const bool belongs = scope.belongs;
  return {names, value, help, [=](const std::string& text, std::string* error) {
            if (belongs) return apply(text, error);
            *error = "option " + name + " does not belong to " + command;
            return false;
          }};
}

tools::Option set(std::vector<std::string> names, Scope scope, bool* flag) {
  return scoped(names, "", "", scope, [flag](const std::string&, std::string*) { return *flag = true; });
}

// The fleet options for command (empty: any, as --help lists them), writing into inv.
tools::OptionTable fleetTable(const std::string& command, FleetInvocation* inv, bool* intervalGiven) {
  const bool any = command.empty();
  const bool service = command == "service";
  const bool watch = command == "watch" || service || any;
  const bool log = command == "log" || any;
  return {
      {{"--json"}, "", "ports: one array; watch, log: one object per line",
       [inv](const std::string&, std::string*) { return inv->json = true; }},
      scoped({"-p", "--port"}, "NAME", "", {command, !log || any},
             [inv](const std::string& value, std::string*) {
               inv->ports.push_back(value);
               return true;
             }),
      scoped({"-t", "--timeout"}, "MS", "", {command, watch},
             [inv](const std::string& value, std::string* error) {
               char* end = nullptr;
               errno = 0;
               const unsigned long ms = strtoul(value.c_str(), &end, 10);
               if (value.empty() || value[0] == '-' || errno != 0 || *end != 0 || ms > 65535) {
                 *error = "the time-out is a number of milliseconds from 0 to 65535";
                 return false;
               }
               inv->liveTimeoutMs = static_cast<DWORD>(ms);
               return true;
             }),
      scoped({"--interval"}, "D", "watch, service, log -f: time between looks (500ms, 2s, 1m; bare: seconds)",
             {command, watch || log},
             [inv, intervalGiven](const std::string& value, std::string* error) {
               *intervalGiven = true;
               if (parseDuration(value, &inv->intervalMs) && inv->intervalMs != 0) return true;
               *error = "the interval is a duration above 0 (500ms, 2s, 1m; a bare number is seconds)";
               return false;
             }),
      set({"--counters"}, {command, watch}, &inv->counters),
      scoped({"--until"}, "CONDITION", "", {command, watch && !service},
             [inv](const std::string& value, std::string* error) {
               inv->until = value;
               if (knownCondition(value)) return true;
               *error = "unknown condition '" + value +
                        "' (ready, idle, processing, stopped, a condition or an IPP keyword)";
               return false;
             }),
      scoped({"--until-timeout"}, "D", "watch --until: give up after this long (default 10m)",
             {command, watch && !service},
             [inv](const std::string& value, std::string* error) {
               if (parseDuration(value, &inv->untilTimeoutMs)) return true;
               *error = "the time-out is a duration (90s, 5m; a bare number is seconds)";
               return false;
             }),
      scoped({"--metrics"}, "FILE", "watch, service: keep FILE current in the Prometheus text format",
             {command, watch},
             [inv](const std::string& value, std::string* error) {
               inv->metricsPath = value;
               if (!value.empty()) return true;
               *error = "--metrics needs a file name";
               return false;
             }),
      scoped({"--code"}, "CODES", "", {command, log},
             [inv](const std::string& value, std::string* error) {
               for (const std::string& code : splitText(value, ',')) {
                 if (!fourDigits(code)) {
                   *error = "an event code is four digits, not '" + code + "'";
                   return false;
                 }
                 inv->codes.push_back(code);
               }
               return true;
             }),
      scoped({"--since"}, "WHEN", "", {command, log},
             [inv](const std::string& value, std::string* error) {
               if (parseSince(value, &inv->since)) return true;
               *error = "--since takes a date, a date and time, a time of today or a duration back from now, not '" +
                        value + "'";
               return false;
             }),
      scoped({"--text"}, "TEXT", "", {command, log},
             [inv](const std::string& value, std::string*) {
               inv->text = value;
               return true;
             }),
      set({"-f", "--follow"}, {command, log}, &inv->follow),
  };
}

// The first argument that is no option nor an option's value.
std::string commandWord(const std::vector<std::string>& args) {
  FleetInvocation ignored;
  bool given = false;
  const tools::OptionTable table = fleetTable(std::string(), &ignored, &given);
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.size() > 1 && arg[0] == '-') {
      const tools::Option* option = tools::findOption(table, arg);
      if (option != nullptr && !option->value.empty() && arg.find('=') == std::string::npos) ++i;
      continue;
    }
    return arg;
  }
  return std::string();
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
  std::vector<std::string> positional;
  if (!tools::parseOptions(fleetTable(command, inv, &intervalGiven), args, &positional, error)) return false;
  if (!positional.empty()) positional.erase(positional.begin());  // the command
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
  FleetInvocation ignored;
  bool given = false;
  return tools::optionsHelp(fleetTable(std::string(), &ignored, &given), kHelpColumn);
}

std::string fleetExitCodesText() {
  return "  8 watch --until: the condition did not hold in time, 9 log: no event log to read\n";
}

}  // namespace ctl
