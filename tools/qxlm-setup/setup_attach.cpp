// attach and detach: a printer's driver names the monitor, or no language monitor.
// The driver is added again with its own files and the new monitor name, the way a
// driver package names its monitor.
#include "setup_dlls.h"
#include "setup_actions.h"
#include "setup_errors.h"
#include "setup_spooler.h"

namespace setup {

namespace {

std::string quoted(const Wide& text) { return "\"" + toUtf8(text) + "\""; }

std::string monitorText(const Wide& monitor) {
  return monitor.empty() ? std::string("no language monitor") : "the monitor " + quoted(monitor);
}

// The printer's driver as the spooler describes it (DRIVER_INFO_6W in *buffer).
DWORD printerDriver(const Wide& printer, std::vector<BYTE>* buffer) {
  Wide name = printer;
  HANDLE h = nullptr;
  PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ACCESS_USE};
  if (!dll().OpenPrinterW(&name[0], &h, &defaults)) return GetLastError();
  DWORD needed = 0;
  DWORD error = ERROR_SUCCESS;
  dll().GetPrinterDriverW(h, nullptr, 6, nullptr, 0, &needed);
  buffer->assign(needed, 0);
  if (needed == 0 || !dll().GetPrinterDriverW(h, nullptr, 6, buffer->data(), needed, &needed)) error = GetLastError();
  dll().ClosePrinter(h);
  return error;
}

int nameMonitor(const Invocation& invocation, const Console& console, bool attaching) {
  const Wide monitor = toWide(invocation.monitorName);
  const Wide printer = toWide(invocation.printer);
  DWORD error = ERROR_SUCCESS;
  if (attaching) {
    std::vector<MonitorEntry> monitors;
    if ((error = listMonitors(&monitors)) != ERROR_SUCCESS) {
      return reportFailure(console.err, "Listing the print monitors", error);
    }
    if (findMonitor(monitors, monitor) == nullptr) {
      console.err << "qxlm-setup: the monitor " << quoted(monitor)
                  << " is not installed; run qxlm-setup install first.\n";
      return EXIT_UNKNOWN_NAME;
    }
  }

  std::vector<BYTE> buffer;
  if ((error = printerDriver(printer, &buffer)) != ERROR_SUCCESS) {
    return reportFailure(console.err, "Finding the driver of the printer " + quoted(printer), error);
  }
  DRIVER_INFO_6W* driver = reinterpret_cast<DRIVER_INFO_6W*>(buffer.data());
  const Wide driverName = driver->pName != nullptr ? driver->pName : WSTR("");
  const Wide before = driver->pMonitorName != nullptr ? driver->pMonitorName : WSTR("");
  if (sameName(before, monitor) == attaching) {
    console.out << "The driver " << quoted(driverName) << " of " << quoted(printer) << " names " << monitorText(before)
                << "; nothing to change.\n";
    return EXIT_OK;
  }

  Wide monitorCopy = monitor;
  driver->pMonitorName = attaching ? &monitorCopy[0] : nullptr;
  // Same files, same version: nothing is copied, only the driver's entry changes.
  if (!dll().AddPrinterDriverExW(nullptr, 6, buffer.data(), APD_COPY_NEW_FILES)) {
    return reportFailure(console.err, "Changing the driver " + quoted(driverName), GetLastError());
  }
  console.out << "The driver " << quoted(driverName) << " of " << quoted(printer) << " now names "
              << monitorText(attaching ? monitor : Wide()) << " (before: " << monitorText(before) << ").\n";

  std::vector<PrinterEntry> printers;
  if (listPrinters(&printers) == ERROR_SUCCESS) {
    const std::vector<Wide> sharing = printersUsing(printers, {driverName});
    if (sharing.size() > 1) {
      console.out << "The change holds for every printer with that driver:";
      for (const Wide& name : sharing) console.out << " " << quoted(name);
      console.out << ".\n";
    }
  }
  return EXIT_OK;
}

}  // namespace

int attach(const Invocation& invocation, const Console& console) { return nameMonitor(invocation, console, true); }

int detach(const Invocation& invocation, const Console& console) { return nameMonitor(invocation, console, false); }

}  // namespace setup
