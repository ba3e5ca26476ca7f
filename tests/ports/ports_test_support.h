// Helpers shared by the port tests: records made as the open makes them, a capture
// of the debug trace, and a registry root of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/win32_api.h"
#include "port/debug_trace.h"
#include "port/port_record.h"
#include "sim/lower_monitor.h"

typedef std::basic_string<WCHAR> WideString;

WideString widen(const std::string& text);

// A record created and removed under SplSem, as the open and close do.
INIPORT* createRecord(LPCWSTR pPortName);
void removeRecord(INIPORT* pIniPort);

// Collects the debug trace with "EnableDiags" set to diags, for the scope's life.
class TraceCapture {
 public:
  explicit TraceCapture(DWORD diags);
  ~TraceCapture();
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;

  bool contains(const std::string& text) const;
  size_t count(const std::string& text) const;
  void clear();

 private:
  static void sink(LPCSTR line, void* context);
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  DWORD savedDiags_;
};

// The monitor's registry key for one test, below HKEY_LOCAL_MACHINE, with chosen
// values; deleted again at the end of the scope.
class RegistryScope {
 public:
  explicit RegistryScope(const std::string& testName);
  ~RegistryScope();
  RegistryScope(const RegistryScope&) = delete;
  RegistryScope& operator=(const RegistryScope&) = delete;

  void set(const std::string& valueName, DWORD value);
  // Hands the root to the monitor as the spooler does; FALSE when it refuses it.
  bool initialize();
  LPWSTR root() { return &root_[0]; }

 private:
  WideString root_;
};

// A monitor initialised on a registry root of the test's own, with ports opened
// through its function table (or the entry points while the table lacks them) over
// the virtual printers; ports still open are closed at the end of the test.
class PortTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Settings are written to the registry; the monitor reads them when it starts
  // and again at every port open.
  void setting(const std::string& name, DWORD value) { registry_->set(name, value); }
  void start();

  // The record, or NULL with the open's last error kept for the caller.
  INIPORT* open(const std::string& portName, MONITOR lower = sim::lowerMonitor(),
                const std::string& printerName = "Ports Test Printer");
  BOOL close(INIPORT* pIniPort);

  // The virtual printer behind a port name (each test uses names of its own), fresh
  // when the test first names it, so that a repeated run starts from the same printer.
  sim::Printer& printer(const std::string& portName);

  // The function table the monitor handed out (NULL before start).
  LPMONITOREX table() const { return table_; }

 private:
  std::unique_ptr<RegistryScope> registry_;
  std::set<std::string> printersUsed_;  // port names in upper case, as the printers match them
  LPMONITOREX table_ = nullptr;
  std::vector<INIPORT*> open_;
};
