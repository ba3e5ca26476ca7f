// qxlm-setup's command line and exit codes: what to do, to which monitor and printer.
#pragma once

#include <string>
#include <vector>

#include "exit_codes.h"

namespace setup {

// Exit codes a script can tell apart; 0, 1 and 6 mean what they mean for every tool.
enum ExitCode {
  EXIT_OK = tools::EXIT_OK,
  EXIT_USAGE = tools::EXIT_USAGE,
  EXIT_NOT_ADMINISTRATOR = 2,  // needs an elevated administrator
  EXIT_NO_SPOOLER = 3,         // the print spooler is not running
  EXIT_UNKNOWN_NAME = 4,       // no such printer, or the monitor is not installed
  EXIT_REFUSED = 5,            // drivers still name the monitor, or the name is taken
  EXIT_FAILED = tools::EXIT_FAILED,  // any other failure, with the system's reason
  EXIT_RESTART_NEEDED = 7,           // done, but the spooler holds the old DLL
};

enum class Action { Help, Install, Attach, Detach, Uninstall, Status };

#define SETUP_DEFAULT_MONITOR_NAME "QX Language Monitor"
#define SETUP_MONITOR_DLL "qxlm.dll"
// The watcher service runs this program, which is also the message file of its
// event source.
#define SETUP_WATCHER_EXE "qxlm-ctl.exe"
#define SETUP_WATCHER_SERVICE "qxlm-watch"
#define SETUP_DEFAULT_METRICS_FOLDER "%ProgramFiles%\\windows_exporter\\textfile_inputs"
#define SETUP_METRICS_FILE "qxlm.prom"

struct Invocation {
  Action action = Action::Help;
  std::string monitorName = SETUP_DEFAULT_MONITOR_NAME;
  std::string printer;  // attach and detach
  // install --watcher: also the watcher service, writing into metricsFolder (empty:
  // the Windows exporter's text-file folder).
  bool watcher = false;
  std::string metricsFolder;
};

// Parses args (without the program name, UTF-8). false with *error set for a command
// line that is not understood.
bool parseCommandLine(const std::vector<std::string>& args, Invocation* invocation, std::string* error);

std::string usageText();

}  // namespace setup
