// The fixture every monitor test starts from: the monitor started as the spooler
// starts it, on a registry key of the test's own, under the recording spooler, with
// ports opened through its function table over the virtual printers. Ports still
// open are closed at the end of the test, and their event logs removed.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "port/port_record.h"
#include "sim/lower_monitor.h"
#include "sim/recording_spooler.h"
#include "tests/support/test_key.h"

class MonitorTest : public ::testing::Test {
 protected:
  // area names the folder of the test's key, one a program, since programs that
  // run at once share the registry under Wine. The clock runs at clockScale for
  // the test; the close at the end takes its pauses a hundred times faster.
  MonitorTest(const std::string& area, double clockScale) : area_(area), clockScale_(clockScale) {}
  void SetUp() override;
  void TearDown() override;

  // Settings are written to the registry; the monitor reads them when it starts
  // and again at every port open.
  void setting(const std::string& name, DWORD value) { key_->setDword(name, value); }
  bool registryValue(const std::string& name, DWORD* value) const;
  LPWSTR registryRoot() { return key_->root(); }

  // Starts the monitor on the test's key; FALSE, and a failure, when it refuses.
  bool start();
  // The function table the monitor handed out (NULL before start).
  LPMONITOREX table() const { return table_; }

  // Starts the monitor first if need be. The record, or NULL with the open's last
  // error kept for the caller.
  INIPORT* openAs(const std::string& portName, const std::string& printerName, MONITOR lower = sim::lowerMonitor());
  // Closes through the table; the test no longer closes the port at its end.
  BOOL close(INIPORT* pIniPort);
  const std::vector<INIPORT*>& openPorts() const { return open_; }

  // The virtual printer behind a port name (each test uses names of its own), fresh
  // when the test first names it, so that a repeated run starts from the same printer.
  sim::Printer& printer(const std::string& portName);
  sim::RecordingSpooler& spooler() { return sim::spooler(); }
  // The path of the port's event log, or an empty text.
  static std::string logPath(INIPORT* pIniPort);

 private:
  const std::string area_;
  const double clockScale_;
  std::unique_ptr<TestKey> key_;
  std::set<std::string> printersUsed_;  // port names in upper case, as the printers match them
  LPMONITOREX table_ = nullptr;
  std::vector<INIPORT*> open_;
  std::vector<std::string> logs_;
};
