// The pipe tests' fixture: the shared monitor fixture, with requests sent through
// the real pipe of a port with qxlm-ctl's client.
#pragma once

#include <string>
#include <vector>

#include "tests/support/monitor_test.h"
#include "tests/support/pipe_client.h"

// Waits until the port's status thread is in its loop, its objects made.
bool statusThreadReady(INIPORT* pIniPort);

// The heartbeat is off: the printer hears only what a test asks for.
class PipePortTest : public MonitorTest {
 protected:
  explicit PipePortTest(double clockScale = 1.0) : MonitorTest("pipe", clockScale) {}
  void SetUp() override;

  // A port name of this test and process: pipe names are machine-wide.
  std::string portName(const std::string& tag) const;
  INIPORT* open(const std::string& portName, const std::string& printerName = "Pipe Test Printer") {
    return openAs(portName, printerName);
  }
  ctl::Response request(const std::string& portName, BYTE code, const std::vector<BYTE>& payload = {}) {
    return pipeRequest(portName, code, payload);
  }
};
