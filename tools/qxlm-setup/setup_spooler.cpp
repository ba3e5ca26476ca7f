#include "setup_dlls.h"
#include "setup_spooler.h"

namespace setup {

namespace {

Wide text(LPCWSTR value) { return value != nullptr ? Wide(value) : Wide(); }

// The spooler's enumerations: ask for the size, then fill, retrying while the list
// grows between the calls. Each item is taken while the buffer holds its strings.
template <typename Info, typename Enumerate, typename Take>
DWORD enumerate(Enumerate call, Take take) {
  std::vector<BYTE> buffer;
  DWORD needed = 0;
  DWORD count = 0;
  for (int attempt = 0; attempt < 4; ++attempt) {
    if (call(buffer.empty() ? nullptr : buffer.data(), static_cast<DWORD>(buffer.size()), &needed, &count)) {
      const Info* items = reinterpret_cast<const Info*>(buffer.data());
      for (DWORD i = 0; i < count; ++i) take(items[i]);
      return ERROR_SUCCESS;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_INSUFFICIENT_BUFFER) return error;
    buffer.resize(needed);
  }
  return ERROR_INSUFFICIENT_BUFFER;
}

}  // namespace

DWORD listMonitors(std::vector<MonitorEntry>* monitors) {
  monitors->clear();
  return enumerate<MONITOR_INFO_2W>(
      [](LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD count) {
        return dll().EnumMonitorsW(nullptr, 2, buffer, size, needed, count);
      },
      [monitors](const MONITOR_INFO_2W& m) {
        monitors->push_back({text(m.pName), text(m.pDLLName)});
      });
}

DWORD listDrivers(std::vector<DriverEntry>* drivers) {
  drivers->clear();
  return enumerate<DRIVER_INFO_3W>(
      [](LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD count) {
        return dll().EnumPrinterDriversW(nullptr, nullptr, 3, buffer, size, needed, count);
      },
      [drivers](const DRIVER_INFO_3W& d) {
        drivers->push_back({text(d.pName), text(d.pMonitorName)});
      });
}

DWORD listPrinters(std::vector<PrinterEntry>* printers) {
  printers->clear();
  return enumerate<PRINTER_INFO_2W>(
      [](LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD count) {
        return dll().EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, buffer, size, needed, count);
      },
      [printers](const PRINTER_INFO_2W& p) {
        printers->push_back({text(p.pPrinterName), text(p.pDriverName)});
      });
}

const MonitorEntry* findMonitor(const std::vector<MonitorEntry>& monitors, const Wide& name) {
  for (const MonitorEntry& monitor : monitors) {
    if (sameName(monitor.name, name)) return &monitor;
  }
  return nullptr;
}

std::vector<Wide> driversNaming(const std::vector<DriverEntry>& drivers, const Wide& monitor) {
  std::vector<Wide> names;
  for (const DriverEntry& driver : drivers) {
    if (sameName(driver.monitor, monitor)) names.push_back(driver.name);
  }
  return names;
}

std::vector<Wide> printersUsing(const std::vector<PrinterEntry>& printers, const std::vector<Wide>& drivers) {
  std::vector<Wide> names;
  for (const PrinterEntry& printer : printers) {
    for (const Wide& driver : drivers) {
      if (sameName(printer.driver, driver)) {
        names.push_back(printer.name);
        break;
      }
    }
  }
  return names;
}

}  // namespace setup
