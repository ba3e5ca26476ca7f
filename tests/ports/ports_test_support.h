// The port tests' fixture: the shared monitor fixture, with records made as the
// open makes them.
#pragma once

#include <string>

#include "tests/support/monitor_test.h"
#include "tests/support/trace_capture.h"

// A record created and removed under SplSem, as the open and close do.
INIPORT* createRecord(LPCWSTR pPortName);
void removeRecord(INIPORT* pIniPort);

// Every open starts the port's status thread, whose queries and the close's wait
// for it take the protocol's pauses; no test here measures them, so they pass a
// hundred times faster.
class PortTest : public MonitorTest {
 protected:
  PortTest() : MonitorTest("ports", 0.01) {}

  INIPORT* open(const std::string& portName, MONITOR lower = sim::lowerMonitor(),
                const std::string& printerName = "Ports Test Printer") {
    return openAs(portName, printerName, lower);
  }
};
