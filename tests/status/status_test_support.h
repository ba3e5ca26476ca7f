// The status tests' fixture: the shared monitor fixture on the real clock, ports
// named after the test, ports whose queries the test drives itself, and the port's
// event log file.
#pragma once

#include <string>
#include <vector>

#include "tests/support/monitor_test.h"

typedef std::vector<BYTE> Bytes;

class StatusTest : public MonitorTest {
 protected:
  StatusTest() : MonitorTest("status", 1.0) {}
  void SetUp() override;

  // A setting in the registry and in memory.
  void setting(const std::string& name, DWORD value);

  // A port name of this test's own: kind ("USB", "COM", "LPT") and a number.
  std::string portName(const std::string& kind);

  // A port opened through the monitor with its status thread running.
  INIPORT* openPort(const std::string& kind);
  // A port opened the same way whose status thread has been stopped again, so that
  // the test drives the queries itself; the spooler's and printer's records so far
  // are forgotten.
  // The printer's heartbeat is off (HeartbeatOn clear) after it; the monitor has not
  // read from the printer yet, so it sends it no vendor request.
  INIPORT* quietPort(const std::string& kind);
  // A quiet port after one heartbeat query: the monitor talks to the printer.
  INIPORT* talkingPort(const std::string& kind);

  sim::Printer& printer(INIPORT* pIniPort) { return sim::printer(pIniPort->PortNameA); }
  std::vector<sim::SpoolerRecord> setPorts(INIPORT* pIniPort) const;
  // The last status posted for the port, or 99 when none was.
  DWORD postedStatus(INIPORT* pIniPort) const;
  DWORD postedSeverity(INIPORT* pIniPort) const;

  // The port's event log: its lines, and how many hold text.
  std::vector<std::string> logLines(INIPORT* pIniPort) const;
  size_t logCount(INIPORT* pIniPort, const std::string& text) const;

  // Reads of the virtual printer so far.
  size_t reads(INIPORT* pIniPort) { return printer(pIniPort).calls(sim::Entry::ReadPort).size(); }

 private:
  std::string testName_;
  int ports_ = 0;
};

// A status reply of type letter with the two status bytes.
Bytes shortReply(char letter, BYTE status1, BYTE status2);
