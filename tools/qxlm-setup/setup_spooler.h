// What the spooler knows about monitors, drivers and printers, as qxlm-setup needs it.
// Each call returns 0 or the system error.
#pragma once

#include <vector>

#include "setup_system.h"

namespace setup {

struct MonitorEntry {
  Wide name;
  Wide dll;
};

struct DriverEntry {
  Wide name;
  Wide monitor;  // the language monitor it names, empty for none
};

struct PrinterEntry {
  Wide name;
  Wide driver;
};

DWORD listMonitors(std::vector<MonitorEntry>* monitors);
DWORD listDrivers(std::vector<DriverEntry>* drivers);  // of this machine's environment
DWORD listPrinters(std::vector<PrinterEntry>* printers);

// The registered monitor of that name, or null.
const MonitorEntry* findMonitor(const std::vector<MonitorEntry>& monitors, const Wide& name);

// The drivers that name the monitor, and the printers that use those drivers.
std::vector<Wide> driversNaming(const std::vector<DriverEntry>& drivers, const Wide& monitor);
std::vector<Wide> printersUsing(const std::vector<PrinterEntry>& printers, const std::vector<Wide>& drivers);

}  // namespace setup
