// The firmware update tests' fixture: the shared monitor fixture on a sped-up
// clock, firmware files, a pipe client, and every progress line each port shows,
// in order.
#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "ctl_packet.h"
#include "tests/support/client_pipe.h"
#include "tests/support/monitor_test.h"

class FlashTest : public MonitorTest {
 protected:
  FlashTest() : MonitorTest("flash", 0.01) {}
  void SetUp() override;
  void TearDown() override;

  // Opens the port as the spooler does, on a fresh virtual printer of the given
  // model, and reads its status once, as the status thread would have by then.
  INIPORT* open(const std::string& portName, const std::string& model = "TK-600");
  static sim::Printer& printer(INIPORT* pIniPort);
  // The monitor's table, as the spooler calls it.
  const MONITOR& monitor() const { return table()->Monitor; }

  // One request on the port's own pipe, as a client program sends it.
  ctl::Response request(INIPORT* pIniPort, BYTE code, const std::vector<BYTE>& payload = {});
  ctl::Response requestFlash(INIPORT* pIniPort, const std::string& path, BOOL withChecks);

  // Holds the port's update when it writes a progress line that begins with prefix,
  // until release(). waitHeld tells whether the hold was reached (within 60 s).
  void holdAt(INIPORT* pIniPort, const std::string& prefix);
  bool waitHeld();
  void release();

  // A file of size bytes (a counting pattern) in the working directory, removed at
  // the end of the test; its path as a client would pass it.
  std::string makeFile(const std::string& name, size_t size);
  static std::vector<BYTE> fileBytes(size_t size);

  DWORD program(INIPORT* pIniPort, const std::string& path, BOOL withChecks);
  DWORD program(INIPORT* pIniPort, const std::string& path, BOOL withChecks, HANDLE hClientPipe);
  // An update that must be accepted, to the end of its thread.
  void programAndWait(INIPORT* pIniPort, const std::string& path, BOOL withChecks);
  void programAndWait(INIPORT* pIniPort, const std::string& path, BOOL withChecks, HANDLE hClientPipe);

  // Every progress text written for the port, in order.
  std::vector<std::string> progress(INIPORT* pIniPort);
  static std::string currentProgress(INIPORT* pIniPort);
  // Whether the port is free for a document now (given back at once if it was).
  static bool portFree(INIPORT* pIniPort);

  std::string lastResponse;
  ClientPipe pipe;

 private:
  static void record(INIPORT* pIniPort, LPCSTR text, void* context);

  std::vector<std::string> files_;
  std::mutex progressLock_;
  std::map<INIPORT*, std::vector<std::string>> progress_;
  std::condition_variable holdChanged_;
  INIPORT* holdPort_ = nullptr;
  std::string holdPrefix_;
  bool held_ = false;
};
