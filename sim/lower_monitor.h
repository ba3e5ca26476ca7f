// The lower port monitor over the virtual printers: a real MONITOR table whose
// OpenPort, StartDocPort, WritePort, ReadPort, EndDocPort, ClosePort,
// GetPrinterDataFromPort and SetPortTimeOuts the monitor calls exactly as it calls
// the system's, and the printer behind each port name.
#pragma once

#include <string>

#include "platform/win32_api.h"
#include "sim/printer.h"
#include "sim/timeline.h"

namespace sim {

// The table with all eight entries filled (the others are NULL).
MONITOR lowerMonitor();
// The same table without one entry, e.g. Entry::GetPrinterDataFromPort.
MONITOR lowerMonitorWithout(Entry entry);

// The printer behind a port name (compared without regard to case), created on first
// use. Printers live as long as the process.
Printer& printer(const std::string& portName);
Printer& printer(LPCWSTR portName);

}  // namespace sim
