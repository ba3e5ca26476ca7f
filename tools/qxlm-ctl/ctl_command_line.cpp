#include "ctl_command_line.h"

#include <cerrno>
#include <cstdlib>

#include "ctl_fleet_command_line.h"
#include "ctl_host.h"
#include "option_table.h"
#include "pipe/pipe_commands.h"

namespace ctl {
namespace {

const BYTE kEsc = 0x1B;

struct Parsed {
  std::vector<std::string> args;  // the subcommand's own arguments
  bool check = false;
  DWORD stallLimitMs = 0;  // 0: the default
};

typedef bool (*PayloadBuilder)(const Parsed& parsed, Invocation* invocation, std::string* error);

struct CommandSpec {
  const char* name;
  BYTE code;
  size_t minArgs;
  size_t maxArgs;
  const char* synopsis;
  const char* help;
  PayloadBuilder build;
};

bool number(const std::string& text, unsigned long max, unsigned long* value) {
  if (text.empty() || text[0] == '-') return false;
  char* end = nullptr;
  errno = 0;
  *value = strtoul(text.c_str(), &end, 0);
  return errno == 0 && end != nullptr && *end == 0 && *value <= max;
}

void appendLittleEndian32(std::vector<BYTE>* payload, DWORD value) {
  for (int i = 0; i < 4; ++i) payload->push_back(static_cast<BYTE>(value >> (8 * i)));
}

bool onOff(const std::string& text, BYTE* value) {
  if (text == "on" || text == "1") {
    *value = 1;
  } else if (text == "off" || text == "0") {
    *value = 0;
  } else {
    return false;
  }
  return true;
}

bool noPayload(const Parsed&, Invocation*, std::string*) { return true; }

// The ESC I request by name: short, normal, extended, complete or field N.
bool statusRequest(const Parsed& parsed, Invocation* invocation, std::string* error) {
  std::vector<BYTE> request = {kEsc, 'I', 'N'};
  const std::string kind = parsed.args.empty() ? "normal" : parsed.args[0];
  if (kind == "short") {
    request[2] = 'S';
  } else if (kind == "extended") {
    request[2] = 'E';
  } else if (kind == "complete") {
    request[2] = 'C';
  } else if (kind == "field") {
    unsigned long field = 0;
    if (parsed.args.size() != 2 || !number(parsed.args[1], 15, &field)) {
      *error = "field needs a number from 0 to 15";
      return false;
    }
    request = {kEsc, 'I', 'A', static_cast<BYTE>(field)};
  } else if (kind != "normal") {
    *error = "unknown status request '" + kind + "' (short, normal, extended, complete, field N)";
    return false;
  }
  if (kind != "field" && parsed.args.size() > 1) {
    *error = "too many arguments for status";
    return false;
  }
  invocation->payload = {static_cast<BYTE>(invocation->timeoutMs >> 8), static_cast<BYTE>(invocation->timeoutMs & 0xFF)};
  invocation->payload.insert(invocation->payload.end(), request.begin(), request.end());
  return true;
}

bool switchPayload(const Parsed& parsed, Invocation* invocation, std::string* error) {
  BYTE value = 0;
  if (!onOff(parsed.args[0], &value)) {
    *error = "expected on or off, not '" + parsed.args[0] + "'";
    return false;
  }
  invocation->payload = {value};
  return true;
}

bool ratePayload(const Parsed& parsed, Invocation* invocation, std::string* error) {
  unsigned long rate = 0;
  if (!number(parsed.args[0], 0xFFFFFFFFul, &rate)) {
    *error = "the heartbeat rate is a number of milliseconds";
    return false;
  }
  appendLittleEndian32(&invocation->payload, static_cast<DWORD>(rate));
  return true;
}

bool flashPayload(const Parsed& parsed, Invocation* invocation, std::string* error) {
  const std::string path = pathForMonitor(parsed.args[0]);
  // The request carries at most 2048 bytes: framing, the check byte and the path.
  if (path.empty() || path.size() > PIPE_REQUEST_SIZE - PIPE_PACKET_FRAMING - 1 ||
      path.find('\0') != std::string::npos) {
    *error = "the firmware file path is empty or too long";
    return false;
  }
  invocation->payload.push_back(parsed.check ? 'T' : 'N');
  invocation->payload.insert(invocation->payload.end(), path.begin(), path.end());
  invocation->followsProgress = true;
  return true;
}

bool setPayload(const Parsed& parsed, Invocation* invocation, std::string* error) {
  const std::string& name = parsed.args[0];
  unsigned long value = 0;
  if (!number(parsed.args[1], 0xFFFFFFFFul, &value)) {
    *error = "the setting's value is a number (decimal, or hexadecimal with 0x)";
    return false;
  }
  if (name.empty() || name.size() > 511) {
    *error = "the setting's name is empty or too long";
    return false;
  }
  appendLittleEndian32(&invocation->payload, static_cast<DWORD>(value));
  invocation->payload.insert(invocation->payload.end(), name.begin(), name.end());
  invocation->payload.push_back(0);
  return true;
}

const CommandSpec kCommands[] = {
    {"last", GET_LAST_STATUS, 0, 0, "last [PORT]", "the status reply the monitor stored last", noPayload},
    {"status", GET_REAL_TIME_STATUS, 0, 2, "status [PORT] [short|normal|extended|complete|field N]",
     "a live status reply from the printer (normal by default)", statusRequest},
    {"printer-name", GET_PRINTER_NAME, 0, 0, "printer-name [PORT]", "the printer the port serves", noPayload},
    {"port-name", GET_PORT_NAME, 0, 0, "port-name [PORT]", "the port's name as the monitor knows it", noPayload},
    {"print-state", GET_DPRINT_STATE, 0, 0, "print-state [PORT]", "whether a document is printing", noPayload},
    {"heartbeat", SET_HEARTBEAT, 1, 1, "heartbeat [PORT] on|off",
     "status polling of every port on or off (off also disarms this port's watchdog)", switchPayload},
    {"heartbeat-rate", SET_HEARTBEAT_RATE, 1, 1, "heartbeat-rate [PORT] MS", "the heartbeat period until the next settings read",
     ratePayload},
    {"spooler-mode", SET_SPOOLER_MODE, 1, 1, "spooler-mode [PORT] on|off",
     "tell the spooler of the last page at the end of a job, until the next settings read", switchPayload},
    {"version", GET_LM_VERSION, 0, 0, "version [PORT]", "the monitor's version (re-reads its settings)", noPayload},
    {"flash", PROGRAM_FLASH, 1, 1, "flash [PORT] FILE [--check]",
     "update the printer's firmware from FILE (a path the monitor can open) and follow it\n"
     "      to the end; --check checks the file against the printer's model and version first",
     flashPayload},
    {"progress", GET_FLASH_PROGRESS, 0, 0, "progress [PORT]", "the progress text of the firmware update", noPayload},
    {"abort", ABORT_DOCUMENT, 0, 0, "abort [PORT]", "abort the document being printed", noPayload},
    {"jobs", GET_JOB_OUTCOMES, 0, 0, "jobs [PORT]",
     "the port's last jobs (bytes handed and delivered, page ends, outcome) and its job counters", noPayload},
    {"set", SET_REGISTRY_KEY, 2, 2, "set [PORT] NAME VALUE", "store one of the monitor's settings and apply it",
     setPayload},
};

const CommandSpec* findCommand(const std::string& name) {
  for (const CommandSpec& spec : kCommands) {
    if (name == spec.name) return &spec;
  }
  return nullptr;
}

bool isStatusRequestName(const std::string& text) {
  return text == "short" || text == "normal" || text == "extended" || text == "complete" || text == "field";
}

// A time in milliseconds from min to max; what is the value's name in the error.
tools::Option milliseconds(std::vector<std::string> names, const char* help, unsigned long min, unsigned long max,
                           const char* what, DWORD* ms) {
  return {names, "MS", help, [=](const std::string& value, std::string* error) {
            unsigned long n = 0;
            if (number(value, max, &n) && n >= min) {
              *ms = static_cast<DWORD>(n);
              return true;
            }
            *error = std::string(what) + " is a number of milliseconds from " + std::to_string(min) + " to " +
                     std::to_string(max);
            return false;
          }};
}

tools::Option outputForm(const char* name, Output form, const char* help, Invocation* invocation) {
  return {{name}, "", help, [=](const std::string&, std::string*) {
            invocation->output = form;
            return true;
          }};
}

tools::OptionTable optionTable(Invocation* invocation, Parsed* parsed, std::string* port) {
  return {
      {{"-p", "--port"}, "NAME", "the port to ask",
       [port](const std::string& value, std::string*) {
         *port = value;
         return true;
       }},
      milliseconds({"-t", "--timeout"}, "how long the monitor waits for a live status (0 to 65535, default 5000)", 0,
                   65535, "the time-out", &invocation->timeoutMs),
      outputForm("--raw", Output::Raw, "the response letter and payload bytes in hexadecimal", invocation),
      outputForm("--json", Output::Json, "one JSON object per answer (per progress change while flashing)",
                 invocation),
      {{"--check"}, "", "flash: check the file against the printer first",
       [parsed](const std::string&, std::string*) { return parsed->check = true; }},
      milliseconds({"--stall-limit"},
                   "flash: give up when the update shows no progress, or the pipe\nstays busy, this long (default "
                   "60000)",
                   1, 3600000, "the stall limit", &parsed->stallLimitMs),
      {{"-h", "--help"}, "", "this text",
       [invocation](const std::string&, std::string*) { return invocation->help = true; }},
  };
}

}  // namespace

std::string defaultPort() {
  const char* port = getenv("QXLM_PORT");
  return port != nullptr && *port != 0 ? port : "USB001";
}

bool parseCommandLine(const std::vector<std::string>& args, Invocation* invocation, std::string* error) {
  *invocation = Invocation();
  Parsed parsed;
  std::vector<std::string> positional;
  std::string port;
  if (!tools::parseOptions(optionTable(invocation, &parsed, &port), args, &positional, error)) return false;
  if (invocation->help) return true;
  if (positional.empty()) {
    *error = "no command given";
    return false;
  }
  const CommandSpec* spec = findCommand(positional[0]);
  if (spec == nullptr) {
    *error = "unknown command '" + positional[0] + "'";
    return false;
  }
  invocation->command = spec->name;
  invocation->code = spec->code;
  parsed.args.assign(positional.begin() + 1, positional.end());
  // The port comes first when the command's own arguments leave room for it.
  const bool portFirst = !parsed.args.empty() &&
                         (parsed.args.size() > spec->maxArgs ||
                          (spec->code == GET_REAL_TIME_STATUS && !isStatusRequestName(parsed.args[0])));
  if (portFirst) {
    if (!port.empty() && port != parsed.args[0]) {
      *error = "two ports named: " + port + " and " + parsed.args[0];
      return false;
    }
    port = parsed.args[0];
    parsed.args.erase(parsed.args.begin());
  }
  if (parsed.args.size() < spec->minArgs || parsed.args.size() > spec->maxArgs) {
    *error = std::string("usage: qxlm-ctl ") + spec->synopsis;
    return false;
  }
  if (parsed.check && spec->code != PROGRAM_FLASH) {
    *error = "--check belongs to flash";
    return false;
  }
  if (parsed.stallLimitMs != 0) {
    if (spec->code != PROGRAM_FLASH) {
      *error = "--stall-limit belongs to flash";
      return false;
    }
    invocation->stallLimitMs = parsed.stallLimitMs;
  }
  invocation->port = port.empty() ? defaultPort() : port;
  return spec->build(parsed, invocation, error);
}

std::string usageText() {
  std::string text =
      "usage: qxlm-ctl [options] COMMAND [PORT] [ARGUMENTS]\n"
      "\n"
      "Asks the print monitor's pipe of an open port (\\\\.\\pipe\\QXNamedPipe<PORT>).\n"
      "PORT defaults to --port, then $QXLM_PORT, then USB001.\n"
      "\n"
      "commands:\n";
  for (const CommandSpec& spec : kCommands) {
    text += "  " + std::string(spec.synopsis) + "\n      " + spec.help + "\n";
  }
  text += fleetCommandsText();
  Invocation ignored;
  Parsed unused;
  std::string port;
  text += "\noptions:\n" + tools::optionsHelp(optionTable(&ignored, &unused, &port), kHelpColumn);
  text += fleetOptionsText();
  text +=
      "\n"
      "exit codes:\n"
      "  0 success, 1 command line not understood, 2 no such port (not open),\n"
      "  3 refused by the monitor or firmware update failed, 4 timed out,\n"
      "  5 another client holds the port's pipe, 6 connection failed,\n"
      "  7 flash refused: the pipe is not served by SYSTEM or an administrator\n";
  text += fleetExitCodesText();
  return text;
}

}  // namespace ctl
