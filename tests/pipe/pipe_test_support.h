// Helpers of the pipe tests: a monitor on a registry root of the test's own, ports
// opened over the virtual printers, requests sent through the real pipe of a port
// with qxlm-ctl's client, and a capture of the debug trace.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ctl_client.h"
#include "platform/win32_api.h"
#include "port/port_record.h"
#include "sim/printer.h"

typedef std::basic_string<WCHAR> WideString;
WideString widenText(const std::string& text);

// Every debug trace line while it lives ("EnableDiags" comes from the registry).
class TraceLines {
 public:
  TraceLines();
  ~TraceLines();
  TraceLines(const TraceLines&) = delete;
  TraceLines& operator=(const TraceLines&) = delete;
  size_t count(const std::string& text) const;

 private:
  static void sink(LPCSTR line, void* context);
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

// Connect as soon as the port's pipe exists: its pipe thread creates it just after
// the port opens. The raw client is in byte read mode, as CreateFile leaves it.
ctl::Outcome connectWhenOpen(ctl::PipeClient& client, const std::string& portName);
HANDLE rawClientWhenOpen(const std::string& portName);

// Waits until the port's status thread is in its loop, its objects made.
bool statusThreadReady(INIPORT* pIniPort);

// One run of qxlm-ctl's command line in this process.
struct CtlRun {
  int exit = -1;
  std::string out;
  std::string err;
};
CtlRun ctlRun(const std::vector<std::string>& args, bool terminal = false);

class PipePortTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the monitor on the test's registry root, as the spooler does.
  bool start();
  // A registry setting, read by the monitor when it starts and at each port open.
  void setting(const std::string& name, DWORD value);
  bool registryValue(const std::string& name, DWORD* value) const;

  // A port name of this test and process: pipe names are machine-wide.
  std::string portName(const std::string& tag) const;
  INIPORT* open(const std::string& portName, const std::string& printerName = "Pipe Test Printer");
  BOOL close(INIPORT* pIniPort);
  static sim::Printer& printer(const std::string& portName);

  // One request on a connection of its own; fails the test when no response comes.
  ctl::Response request(const std::string& portName, BYTE code, const std::vector<BYTE>& payload = {});

 private:
  WideString root_;
  LPMONITOREX table_ = nullptr;
  std::vector<INIPORT*> open_;
};
