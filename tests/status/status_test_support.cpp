#include "status_test_support.h"

#include "entry/monitor_entry.h"
#include "log/event_log.h"
#include "platform/clock.h"
#include "port/monitor_state.h"
#include "port/port_entry_points.h"
#include "port/settings.h"
#include "status/status_query.h"
#include "status/status_thread.h"
#include "tests/test_files.h"

WideString widen(const std::string& text) {
  WideString wide;
  for (char c : text) wide.push_back(static_cast<WCHAR>(static_cast<unsigned char>(c)));
  return wide;
}

Bytes shortReply(char letter, BYTE status1, BYTE status2) {
  return {static_cast<BYTE>(letter), '0', '0', status1, status2};
}

void StatusTest::SetUp() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  testName_ = std::string(info->test_suite_name()) + "." + info->name();
  root_ = widen("SOFTWARE\\qxlm-tests\\status\\" + testName_);
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, root_.c_str());
  clockSetScale(1.0);
  ASSERT_NE(InitializePrintMonitor(&root_[0]), nullptr);
  spooler().reset();
}

void StatusTest::TearDown() {
  // Closing takes the protocol's pauses, which no test here measures.
  clockSetScale(0.01);
  while (!open_.empty()) closePort(open_.back());
  for (const std::string& path : logs_) {
    deleteLogFile(path);
    deleteLogFile(path + "bak");
  }
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, root_.c_str());
  clockSetScale(1.0);
  spooler().reset();
}

void StatusTest::setting(const std::string& name, DWORD value) {
  HKEY hKey = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, root_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_READ | KEY_SET_VALUE, nullptr, &hKey, nullptr),
            ERROR_SUCCESS);
  const WideString wideName = widen(name);
  EXPECT_EQ(RegSetValueExW(hKey, wideName.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value),
            ERROR_SUCCESS);
  RegCloseKey(hKey);
  readMonitorSettings(&root_[0]);
}

std::string StatusTest::portName(const std::string& kind) {
  // Ports and printers are process-wide: the test's name keeps them apart. Test
  // names hold no upper-case "USB" or "COM" of their own.
  return kind + std::to_string(++ports_) + ":" + testName_;
}

INIPORT* StatusTest::openPort(const std::string& kind) {
  WideString port = widen(portName(kind));
  WideString printerName = widen("Status " + testName_ + " " + std::to_string(ports_));
  MONITOR lower = sim::lowerMonitor();
  sim::printer(port.c_str()).reset();
  HANDLE hPort = nullptr;
  if (!MonOpenPort(&port[0], &printerName[0], &hPort, &lower)) {
    ADD_FAILURE() << "MonOpenPort failed with " << GetLastError();
    return nullptr;
  }
  INIPORT* pIniPort = static_cast<INIPORT*>(hPort);
  open_.push_back(pIniPort);
  char path[LOG_PATH_SIZE];
  if (BuildLogFilePath(pIniPort, path, sizeof path)) {
    deleteLogFile(path);
    logs_.push_back(path);
  }
  return pIniPort;
}

INIPORT* StatusTest::quietPort(const std::string& kind) {
  // The thread makes no query before it is stopped.
  setting("EnableHeartBeat", 0);
  INIPORT* pIniPort = openPort(kind);
  setting("EnableHeartBeat", 1);
  if (pIniPort == nullptr) return nullptr;
  StopUstatusThread(pIniPort, FALSE);
  EXPECT_EQ(nullptr, pIniPort->WakeUp.load());
  printer(pIniPort).clearRecords();
  spooler().reset();
  return pIniPort;
}

INIPORT* StatusTest::talkingPort(const std::string& kind) {
  INIPORT* pIniPort = quietPort(kind);
  if (pIniPort == nullptr) return nullptr;
  ReadCommand(pIniPort, FALSE, nullptr, 0);
  EXPECT_TRUE(pIniPort->goodCommWithPrinter.load());
  printer(pIniPort).clearRecords();
  spooler().reset();
  return pIniPort;
}

BOOL StatusTest::closePort(INIPORT* pIniPort) {
  for (auto it = open_.begin(); it != open_.end(); ++it) {
    if (*it == pIniPort) {
      open_.erase(it);
      break;
    }
  }
  return MonClosePort(pIniPort);
}

std::vector<sim::SpoolerRecord> StatusTest::setPorts(INIPORT* pIniPort) const {
  std::vector<sim::SpoolerRecord> records;
  for (const sim::SpoolerRecord& record : sim::spooler().calls(sim::SpoolerCall::SetPort)) {
    if (record.name == pIniPort->PortNameA) records.push_back(record);
  }
  return records;
}

DWORD StatusTest::postedStatus(INIPORT* pIniPort) const {
  const auto status = sim::spooler().lastPortStatus(pIniPort->PortNameA);
  return status ? status->status : 99;
}

DWORD StatusTest::postedSeverity(INIPORT* pIniPort) const {
  const auto status = sim::spooler().lastPortStatus(pIniPort->PortNameA);
  return status ? status->severity : 99;
}

std::vector<std::string> StatusTest::logLines(INIPORT* pIniPort) const {
  char path[LOG_PATH_SIZE];
  std::vector<std::string> lines;
  if (!BuildLogFilePath(pIniPort, path, sizeof path)) return lines;
  const std::string data = readLogFile(path);
  size_t start = 0;
  while (start < data.size()) {
    const size_t end = data.find("\r\n", start);
    if (end == std::string::npos) break;
    lines.push_back(data.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

size_t StatusTest::logCount(INIPORT* pIniPort, const std::string& text) const {
  size_t n = 0;
  for (const std::string& line : logLines(pIniPort)) n += line.find(text) != std::string::npos;
  return n;
}
