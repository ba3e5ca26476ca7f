#include "setup_command_line.h"

#include "option_table.h"

namespace setup {

namespace {

struct ActionName {
  const char* name;
  Action action;
  bool takesPrinter;
};

const ActionName kActions[] = {
    {"install", Action::Install, false},     {"attach", Action::Attach, true},  {"detach", Action::Detach, true},
    {"uninstall", Action::Uninstall, false}, {"status", Action::Status, false},
};

// The options, writing into the invocation; help stands in for the command.
tools::OptionTable optionTable(Invocation* invocation, bool* help) {
  return {
      {{"--name"}, "MONITOR", "the monitor's name (default \"" SETUP_DEFAULT_MONITOR_NAME "\")",
       [invocation](const std::string& value, std::string* error) {
         invocation->monitorName = value;
         if (!value.empty()) return true;
         *error = "--name needs the monitor's name";
         return false;
       }},
      {{"--watcher"}, "", "", [invocation](const std::string&, std::string*) { return invocation->watcher = true; }},
      {{"--metrics-folder"}, "DIR", "",
       [invocation](const std::string& value, std::string* error) {
         invocation->metricsFolder = value;
         if (!value.empty()) return true;
         *error = "--metrics-folder needs a folder";
         return false;
       }},
      {{"-h", "--help", "/?"}, "", "", [help](const std::string&, std::string*) { return *help = true; }},
  };
}

}  // namespace

bool parseCommandLine(const std::vector<std::string>& args, Invocation* invocation, std::string* error) {
  *invocation = Invocation();
  bool help = false;
  std::vector<std::string> words;
  if (!tools::parseOptions(optionTable(invocation, &help), args, &words, error)) return false;
  if (help) {
    invocation->action = Action::Help;
    return true;
  }
  if (words.empty()) {
    *error = "no command given";
    return false;
  }
  for (const ActionName& known : kActions) {
    if (words[0] != known.name) continue;
    const size_t expected = known.takesPrinter ? 2 : 1;
    if (words.size() < expected || (known.takesPrinter && words[1].empty())) {
      *error = words[0] + " needs the printer's name";
      return false;
    }
    if (words.size() > expected) {
      *error = "unexpected argument " + words[expected];
      return false;
    }
    if ((invocation->watcher || !invocation->metricsFolder.empty()) && known.action != Action::Install) {
      *error = "--watcher and --metrics-folder belong to install";
      return false;
    }
    if (!invocation->metricsFolder.empty() && !invocation->watcher) {
      *error = "--metrics-folder needs --watcher";
      return false;
    }
    invocation->action = known.action;
    if (known.takesPrinter) invocation->printer = words[1];
    return true;
  }
  *error = "unknown command " + words[0];
  return false;
}

std::string usageText() {
  Invocation ignored;
  bool help = false;
  return "Usage: qxlm-setup COMMAND [--name MONITOR] [--watcher [--metrics-folder DIR]]\n"
         "\n"
         "Puts the QX language monitor into the Windows print spooler and takes it out.\n"
         "Every command but status needs an elevated administrator.\n"
         "\n"
         "  install           copy qxlm.dll beside this program into the system folder,\n"
         "                    register the monitor and create its settings; harmless twice\n"
         "  install --watcher [--metrics-folder DIR]\n"
         "                    also install the watcher service qxlm-watch (qxlm-ctl.exe beside\n"
         "                    this program, copied to %ProgramFiles%\\qxlm): it starts with\n"
         "                    Windows as LocalService, is restarted when it fails, and keeps\n"
         "                    DIR\\qxlm.prom current for the Windows exporter's text-file\n"
         "                    collector (default DIR: " SETUP_DEFAULT_METRICS_FOLDER ")\n"
         "  attach PRINTER    make the driver of PRINTER name the monitor\n"
         "  detach PRINTER    make the driver of PRINTER name no language monitor\n"
         "  uninstall         unregister the monitor and remove its DLL and the watcher\n"
         "                    service; refused while a printer driver names the monitor\n"
         "  status            the monitor, its DLL's version, the drivers and printers that\n"
         "                    use it, and its settings (defaults marked)\n"
         "\n" +
         tools::optionsHelp(optionTable(&ignored, &help), 20) +
         "\n"
         "Exit codes: 0 done, 1 command line not understood, 2 not run as administrator,\n"
         "3 print spooler not running, 4 no such printer or monitor not installed,\n"
         "5 refused, 6 failed, 7 done but the spooler must be restarted.\n";
}

}  // namespace setup
