// status: what an administrator checks before and after a change.
#include "setup_actions.h"
#include "setup_settings.h"
#include "setup_spooler.h"

namespace setup {

namespace {

std::string quoted(const Wide& text) { return "\"" + toUtf8(text) + "\""; }

void listNames(std::ostream& out, const char* title, const std::vector<Wide>& names) {
  out << title;
  if (names.empty()) out << " none";
  for (size_t i = 0; i < names.size(); ++i) out << (i == 0 ? " " : ", ") << quoted(names[i]);
  out << "\n";
}

}  // namespace

int status(const Invocation& invocation, const Console& console) {
  const Wide name = toWide(invocation.monitorName);
  std::vector<MonitorEntry> monitors;
  std::vector<DriverEntry> drivers;
  std::vector<PrinterEntry> printers;
  DWORD error = listMonitors(&monitors);
  if (error != ERROR_SUCCESS) return reportFailure(console.err, "Listing the print monitors", error);
  if ((error = listDrivers(&drivers)) != ERROR_SUCCESS) {
    return reportFailure(console.err, "Listing the printer drivers", error);
  }
  if ((error = listPrinters(&printers)) != ERROR_SUCCESS)
    return reportFailure(console.err, "Listing the printers", error);

  const MonitorEntry* registered = findMonitor(monitors, name);
  console.out << "Monitor " << quoted(name) << ": " << (registered != nullptr ? "registered" : "not registered")
              << "\n";
  const Wide dll = inSystemFolder(registered != nullptr ? registered->dll : toWide(SETUP_MONITOR_DLL));
  console.out << "DLL: " << toUtf8(dll);
  if (!fileExists(dll)) {
    console.out << " (missing)\n";
  } else {
    const std::string version = fileVersion(dll);
    console.out << ", version " << (version.empty() ? std::string("unknown") : version) << "\n";
  }
  const std::vector<Wide> users = driversNaming(drivers, name);
  listNames(console.out, "Drivers that name it:", users);
  listNames(console.out, "Printers that use them:", printersUsing(printers, users));

  std::vector<SettingValue> settings;
  console.out << "Settings (HKEY_LOCAL_MACHINE\\" << toUtf8(monitorKeyPath(name)) << "):";
  if (readSettings(name, &settings) != ERROR_SUCCESS) {
    console.out << " none\n";
  } else {
    console.out << "\n";
    for (const SettingValue& setting : settings) {
      console.out << "  " << setting.name << " = ";
      if (!setting.present) {
        console.out << "not set (default " << setting.defaultValue << ")\n";
      } else if (setting.value == setting.defaultValue) {
        console.out << setting.value << " (default)\n";
      } else {
        console.out << setting.value << " (default " << setting.defaultValue << ")\n";
      }
    }
  }
  return registered != nullptr ? EXIT_OK : EXIT_UNKNOWN_NAME;
}

}  // namespace setup
