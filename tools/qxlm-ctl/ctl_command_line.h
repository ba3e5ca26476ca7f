// qxlm-ctl's command line: a subcommand per pipe command, the port by name, and the
// output form.
#pragma once

#include <string>
#include <vector>

#include "exit_codes.h"
#include "platform/win32_api.h"

namespace ctl {

// Exit codes a script can tell apart; 0, 1 and 6 mean what they mean for every tool.
enum ExitCode {
  EXIT_OK = tools::EXIT_OK,
  EXIT_USAGE = tools::EXIT_USAGE,
  EXIT_NO_SUCH_PORT = 2,  // no open port of that name (no pipe)
  EXIT_REFUSED = 3,       // the monitor refused the command, or the update failed
  EXIT_TIMED_OUT = 4,     // the printer did not answer in time, or the monitor did not
  EXIT_BUSY = 5,          // another client holds the port's pipe
  EXIT_FAILED = tools::EXIT_FAILED,  // the connection broke or the answer was not understood
  EXIT_UNTRUSTED = 7,     // flash: the pipe is served by an account not trusted with the client's identity
};

enum class Output { Decoded, Raw, Json };

struct Invocation {
  bool help = false;
  std::string command;  // the subcommand's name
  BYTE code = 0;        // the pipe command it sends
  std::string port;
  Output output = Output::Decoded;
  DWORD timeoutMs = 5000;          // the live status time-out the monitor waits
  std::vector<BYTE> payload;       // the request's payload
  bool followsProgress = false;    // flash: follow the update to its end
  DWORD stallLimitMs = 60000;      // flash: give up when the progress stands still this long
};

// The port when none is named: $QXLM_PORT, else USB001.
std::string defaultPort();

// Parses args (without the program name). false with *error set for a command line
// that is not understood.
bool parseCommandLine(const std::vector<std::string>& args, Invocation* invocation, std::string* error);

std::string usageText();

}  // namespace ctl
