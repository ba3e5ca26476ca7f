#include "status_test_support.h"

#include "entry/monitor_entry.h"
#include "log/event_log.h"
#include "platform/clock.h"
#include "port/monitor_state.h"
#include "port/port_entry_points.h"
#include "port/settings.h"
#include "status/status_query.h"
#include "status/status_thread.h"
#include "tests/support/test_files.h"

Bytes shortReply(char letter, BYTE status1, BYTE status2) {
  return {static_cast<BYTE>(letter), '0', '0', status1, status2};
}

void StatusTest::SetUp() {
  MonitorTest::SetUp();
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  testName_ = std::string(info->test_suite_name()) + "." + info->name();
  ASSERT_TRUE(start());
}

void StatusTest::setting(const std::string& name, DWORD value) {
  MonitorTest::setting(name, value);
  readMonitorSettings(registryRoot());
}

std::string StatusTest::portName(const std::string& kind) {
  // Ports and printers are process-wide: the test's name keeps them apart. Test
  // names hold no upper-case "USB" or "COM" of their own.
  return kind + std::to_string(++ports_) + ":" + testName_;
}

INIPORT* StatusTest::openPort(const std::string& kind) {
  const std::string port = portName(kind);
  INIPORT* pIniPort = openAs(port, "Status " + testName_ + " " + std::to_string(ports_));
  if (pIniPort == nullptr) {
    ADD_FAILURE() << "the open of " << port << " failed with " << GetLastError();
    return nullptr;
  }
  const std::string log = logPath(pIniPort);
  if (!log.empty()) deleteLogFile(log);
  return pIniPort;
}

INIPORT* StatusTest::quietPort(const std::string& kind) {
  // The thread makes no query before it is stopped.
  setting("EnableHeartBeat", 0);
  INIPORT* pIniPort = openPort(kind);
  setting("EnableHeartBeat", 1);
  if (pIniPort == nullptr) return nullptr;
  StopUstatusThread(pIniPort, FALSE);
  EXPECT_EQ(nullptr, pIniPort->status.WakeUp.load());
  printer(pIniPort).clearRecords();
  spooler().reset();
  return pIniPort;
}

INIPORT* StatusTest::talkingPort(const std::string& kind) {
  INIPORT* pIniPort = quietPort(kind);
  if (pIniPort == nullptr) return nullptr;
  ReadCommand(pIniPort, FALSE, nullptr, 0);
  EXPECT_TRUE(pIniPort->link.goodCommWithPrinter.load());
  printer(pIniPort).clearRecords();
  spooler().reset();
  return pIniPort;
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
  std::vector<std::string> lines;
  const std::string path = logPath(pIniPort);
  if (path.empty()) return lines;
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
