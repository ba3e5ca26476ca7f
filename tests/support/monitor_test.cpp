#include "tests/support/monitor_test.h"

#include <algorithm>
#include <cctype>

#include "log/event_log.h"
#include "entry/monitor_entry.h"
#include "port/port_entry_points.h"
#include "platform/clock.h"
#include "tests/support/test_files.h"

void MonitorTest::SetUp() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  key_.reset(new TestKey(area_ + "\\" + info->test_suite_name() + "." + info->name()));
  clockSetScale(clockScale_);
  spooler().reset();
}

void MonitorTest::TearDown() {
  clockSetScale(0.01);
  while (!open_.empty()) close(open_.back());
  for (const std::string& path : logs_) {
    deleteLogFile(path);
    deleteLogFile(path + "bak");
  }
  key_.reset();
  clockSetScale(1.0);
  spooler().reset();
}

bool MonitorTest::registryValue(const std::string& name, DWORD* value) const {
  return key_->query(name, nullptr, value) != FALSE;
}

bool MonitorTest::start() {
  table_ = InitializePrintMonitor(key_->root());
  EXPECT_NE(nullptr, table_);
  return table_ != nullptr;
}

INIPORT* MonitorTest::openAs(const std::string& portName, const std::string& printerName, MONITOR lower) {
  if (table_ == nullptr && !start()) return nullptr;
  printer(portName);
  WideString port = widen(portName);
  WideString printerWide = widen(printerName);
  // The table's own entries where it has them, as the spooler calls them.
  const auto openPortEx = table_->Monitor.pfnOpenPortEx != nullptr ? table_->Monitor.pfnOpenPortEx : &MonOpenPort;
  HANDLE hPort = nullptr;
  if (!openPortEx(&port[0], &printerWide[0], &hPort, &lower)) return nullptr;
  INIPORT* pIniPort = static_cast<INIPORT*>(hPort);
  open_.push_back(pIniPort);
  const std::string log = logPath(pIniPort);
  if (!log.empty()) logs_.push_back(log);
  return pIniPort;
}

BOOL MonitorTest::close(INIPORT* pIniPort) {
  open_.erase(std::remove(open_.begin(), open_.end(), pIniPort), open_.end());
  const auto closePort = table_ != nullptr && table_->Monitor.pfnClosePort != nullptr ? table_->Monitor.pfnClosePort
                                                                                       : &MonClosePort;
  return closePort(pIniPort);
}

sim::Printer& MonitorTest::printer(const std::string& portName) {
  std::string key = portName;
  for (char& c : key) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  sim::Printer& device = sim::printer(portName);
  if (printersUsed_.insert(key).second) device.reset();
  return device;
}

std::string MonitorTest::logPath(INIPORT* pIniPort) {
  char path[LOG_PATH_SIZE];
  return BuildLogFilePath(pIniPort, path, sizeof path) ? std::string(path) : std::string();
}
