// The status tests' fixture: a monitor started on a registry key of the test's own,
// ports opened as the spooler opens them over virtual printers, the recording
// spooler, and the port's event log file.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32_api.h"
#include "port/port_record.h"
#include "sim/lower_monitor.h"
#include "sim/recording_spooler.h"

typedef std::basic_string<WCHAR> WideString;
typedef std::vector<BYTE> Bytes;

WideString widen(const std::string& text);

class StatusTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

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
  BOOL closePort(INIPORT* pIniPort);

  sim::Printer& printer(INIPORT* pIniPort) { return sim::printer(pIniPort->PortNameA); }
  sim::RecordingSpooler& spooler() { return sim::spooler(); }
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
  WideString root_;
  int ports_ = 0;
  std::vector<INIPORT*> open_;
  std::vector<std::string> logs_;
};

// A status reply of type letter with the two status bytes.
Bytes shortReply(char letter, BYTE status1, BYTE status2);
