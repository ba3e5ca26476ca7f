// install and uninstall: the DLL in the system folder, the monitor's registration and
// its settings.
#include "setup_dlls.h"
#include "setup_actions.h"
#include "setup_dll_check.h"
#include "setup_errors.h"
#include "setup_event_sources.h"
#include "setup_settings.h"
#include "setup_spooler.h"
#include "setup_watcher.h"

namespace setup {

namespace {

std::string quoted(const Wide& text) { return "\"" + toUtf8(text) + "\""; }

std::string versionText(const std::string& version) {
  return version.empty() ? std::string("(no version)") : "version " + version;
}

// Puts the DLL beside the program into the system folder, unless the spooler holds
// the copy that is there.
int placeDll(const Wide& source, const Wide& target, const Console& console) {
  const std::string newVersion = versionText(fileVersion(source));
  const bool present = fileExists(target);
  if (present && sameContents(source, target)) {
    console.out << toUtf8(target) << " is up to date (" << newVersion << ").\n";
    return EXIT_OK;
  }
  const std::string oldVersion = present ? versionText(fileVersion(target)) : std::string();
  if (CopyFileW(source.c_str(), target.c_str(), FALSE)) {
    console.out << (present ? "Replaced " : "Copied ") << toUtf8(target) << " (" << newVersion
                << (present ? ", was " + oldVersion : std::string()) << ").\n";
    return EXIT_OK;
  }
  const DWORD error = GetLastError();
  if (!present || !isFileInUse(error)) return reportFailure(console.err, "Copying the DLL to " + toUtf8(target), error);
  console.err << toUtf8(target) << " (" << oldVersion << ") is in use by the print spooler and was not replaced by "
              << newVersion << ".\n"
              << "To replace it, stop the spooler, copy the file and start the spooler again:\n"
              << "  net stop spooler\n"
              << "  copy /y " << quoted(source) << " " << quoted(target) << "\n"
              << "  net start spooler\n";
  return EXIT_RESTART_NEEDED;
}

// Removes the DLL, or has Windows remove it at the next restart while a process holds it.
int removeDll(const Wide& target, const Console& console) {
  if (!fileExists(target)) return EXIT_OK;
  if (DeleteFileW(target.c_str())) {
    console.out << "Removed " << toUtf8(target) << ".\n";
    return EXIT_OK;
  }
  const DWORD error = GetLastError();
  if (isFileInUse(error) && MoveFileExW(target.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
    console.out << toUtf8(target) << " is in use by the print spooler; Windows removes it at the next restart.\n";
    return EXIT_OK;
  }
  return reportFailure(console.err, "Removing " + toUtf8(target), error);
}

}  // namespace

int install(const Invocation& invocation, const Console& console) {
  const Wide name = toWide(invocation.monitorName);
  const Wide dllName = toWide(SETUP_MONITOR_DLL);
  const Wide source = besideProgram(dllName);
  if (!fileExists(source)) {
    console.err << "qxlm-setup: " << toUtf8(source)
                << " is missing: install takes the monitor's DLL from the folder of "
                << "qxlm-setup.exe.\n";
    return EXIT_FAILED;
  }
  std::vector<MonitorEntry> monitors;
  DWORD error = listMonitors(&monitors);
  if (error != ERROR_SUCCESS) return reportFailure(console.err, "Listing the print monitors", error);
  const MonitorEntry* registered = findMonitor(monitors, name);
  if (registered != nullptr && !sameName(registered->dll, dllName)) {
    console.err << "qxlm-setup: the monitor " << quoted(name) << " is registered with " << quoted(registered->dll)
                << "; install under another name with --name.\n";
    return EXIT_REFUSED;
  }

  const int checked = checkMonitorDll(source, SETUP_MONITOR_DLL, console);
  if (checked != EXIT_OK) return checked;
  const int placed = placeDll(source, inSystemFolder(dllName), console);
  if (placed != EXIT_OK && placed != EXIT_RESTART_NEEDED) return placed;

  if (registered != nullptr) {
    console.out << "The monitor " << quoted(name) << " is already registered.\n";
  } else {
    MONITOR_INFO_2W info = {};
    Wide nameCopy = name, dllCopy = dllName;
    info.pName = &nameCopy[0];
    info.pDLLName = &dllCopy[0];
    // The spooler loads the DLL and starts the monitor before it keeps the registration.
    if (dll().AddMonitorW(nullptr, 2, reinterpret_cast<LPBYTE>(&info))) {
      console.out << "Registered the monitor " << quoted(name) << " (" << SETUP_MONITOR_DLL << ").\n";
    } else if ((error = GetLastError()) == ERROR_PRINT_MONITOR_ALREADY_INSTALLED) {
      console.out << "The monitor " << quoted(name) << " is already registered.\n";
    } else {
      return reportFailure(console.err, "Registering the monitor " + quoted(name), error);
    }
  }

  unsigned written = 0;
  error = writeMissingDefaults(name, &written);
  if (error != ERROR_SUCCESS) return reportFailure(console.err, "Writing the monitor's settings", error);
  console.out << "Settings: HKEY_LOCAL_MACHINE\\" << toUtf8(monitorKeyPath(name));
  if (written != 0) console.out << " (" << written << " written with their defaults)";
  console.out << ".\n";
  error = registerEventSource(toWide(SETUP_MONITOR_EVENT_SOURCE), inSystemFolder(dllName));
  if (error != ERROR_SUCCESS) return reportFailure(console.err, "Registering the event source " SETUP_MONITOR_EVENT_SOURCE, error);
  console.out << "Event source: " SETUP_MONITOR_EVENT_SOURCE " (Application log).\n";
  if (invocation.watcher) {
    const int watcher = installWatcher(invocation, console);
    if (watcher != EXIT_OK) return watcher;
  }
  return placed;
}

int uninstall(const Invocation& invocation, const Console& console) {
  const Wide name = toWide(invocation.monitorName);
  std::vector<MonitorEntry> monitors;
  DWORD error = listMonitors(&monitors);
  if (error != ERROR_SUCCESS) return reportFailure(console.err, "Listing the print monitors", error);
  const MonitorEntry* registered = findMonitor(monitors, name);
  if (registered == nullptr) {
    console.err << "qxlm-setup: no monitor named " << quoted(name) << " is installed.\n";
    return EXIT_UNKNOWN_NAME;
  }
  const Wide dllName = registered->dll;

  std::vector<DriverEntry> drivers;
  std::vector<PrinterEntry> printers;
  if ((error = listDrivers(&drivers)) != ERROR_SUCCESS) {
    return reportFailure(console.err, "Listing the printer drivers", error);
  }
  if ((error = listPrinters(&printers)) != ERROR_SUCCESS)
    return reportFailure(console.err, "Listing the printers", error);
  const std::vector<Wide> users = driversNaming(drivers, name);
  if (!users.empty()) {
    console.err << "qxlm-setup: refused: these printer drivers still name the monitor " << quoted(name) << ":\n";
    for (const Wide& driver : users) {
      console.err << "  " << quoted(driver);
      const std::vector<Wide> usedBy = printersUsing(printers, {driver});
      for (size_t i = 0; i < usedBy.size(); ++i) console.err << (i == 0 ? ", used by " : ", ") << quoted(usedBy[i]);
      console.err << "\n";
    }
    console.err << "Detach their printers (qxlm-setup detach PRINTER) or remove the drivers, then uninstall again.\n";
    return EXIT_REFUSED;
  }

  const int watcher = removeWatcher(console);
  if (watcher != EXIT_OK) return watcher;
  Wide nameCopy = name;
  if (!dll().DeleteMonitorW(nullptr, nullptr, &nameCopy[0])) {
    return reportFailure(console.err, "Unregistering the monitor " + quoted(name), GetLastError());
  }
  // The spooler drops the monitor's key with its registration; whatever a spooler may
  // have left of it goes too, so a later install starts from the defaults.
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, monitorKeyPath(name).c_str());
  console.out << "Unregistered the monitor " << quoted(name) << "; its settings went with it.\n";
  if ((error = removeEventSource(toWide(SETUP_MONITOR_EVENT_SOURCE))) != ERROR_SUCCESS) {
    return reportFailure(console.err, "Removing the event source " SETUP_MONITOR_EVENT_SOURCE, error);
  }

  for (const MonitorEntry& other : monitors) {
    if (!sameName(other.name, name) && sameName(other.dll, dllName)) {
      console.out << toUtf8(dllName) << " stays: the monitor " << quoted(other.name) << " uses it.\n";
      return EXIT_OK;
    }
  }
  return removeDll(inSystemFolder(dllName), console);
}

}  // namespace setup
