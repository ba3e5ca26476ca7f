#include "ports_test_support.h"

#include <gtest/gtest.h>

#include <cctype>

#include "entry/monitor_entry.h"
#include "platform/clock.h"
#include "platform/debug_output.h"
#include "port/monitor_state.h"
#include "port/port_entry_points.h"
#include "port/settings.h"

WideString widen(const std::string& text) {
  WideString wide;
  for (char c : text) wide.push_back(static_cast<WCHAR>(static_cast<unsigned char>(c)));
  return wide;
}

INIPORT* createRecord(LPCWSTR pPortName) {
  EnterCriticalSection(&SplSem);
  INIPORT* pIniPort = CreatePortEntry(pPortName);
  LeaveCriticalSection(&SplSem);
  return pIniPort;
}

void removeRecord(INIPORT* pIniPort) {
  EnterCriticalSection(&SplSem);
  RemovePortEntry(pIniPort);
  LeaveCriticalSection(&SplSem);
}

TraceCapture::TraceCapture(DWORD diags) : savedDiags_(Settings.EnableDiags) {
  debugOutputCapture(&TraceCapture::sink, this);
  Settings.EnableDiags = diags;
}

TraceCapture::~TraceCapture() {
  Settings.EnableDiags = savedDiags_;
  debugOutputCapture(nullptr, nullptr);
}

void TraceCapture::sink(LPCSTR line, void* context) {
  TraceCapture* self = static_cast<TraceCapture*>(context);
  std::lock_guard<std::mutex> lock(self->mutex_);
  self->lines_.emplace_back(line);
}

bool TraceCapture::contains(const std::string& text) const { return count(text) != 0; }

size_t TraceCapture::count(const std::string& text) const {
  std::lock_guard<std::mutex> lock(mutex_);
  size_t n = 0;
  for (const std::string& line : lines_) {
    if (line.find(text) != std::string::npos) ++n;
  }
  return n;
}

void TraceCapture::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.clear();
}

RegistryScope::RegistryScope(const std::string& testName)
    : root_(widen("SOFTWARE\\qxlm-tests\\ports\\" + testName)) {
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, root_.c_str());
}

RegistryScope::~RegistryScope() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, root_.c_str()); }

void RegistryScope::set(const std::string& valueName, DWORD value) {
  HKEY hKey = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, root_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_SET_VALUE,
                      nullptr, &hKey, nullptr) != ERROR_SUCCESS) {
    ADD_FAILURE() << "cannot create the test's registry key";
    return;
  }
  const WideString name = widen(valueName);
  EXPECT_EQ(RegSetValueExW(hKey, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value),
            ERROR_SUCCESS)
      << valueName;
  RegCloseKey(hKey);
}

bool RegistryScope::initialize() { return InitializePrintMonitor(root()) != nullptr; }


void PortTest::SetUp() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  registry_.reset(new RegistryScope(std::string(info->test_suite_name()) + "." + info->name()));
  // Every open starts the port's status thread, whose queries and the close's wait
  // for it take the protocol's pauses; no test here measures them, so they pass a
  // hundred times faster.
  clockSetScale(0.01);
}

void PortTest::TearDown() {
  while (!open_.empty()) close(open_.back());
  registry_.reset();
  clockSetScale(1.0);
}

void PortTest::start() {
  table_ = InitializePrintMonitor(registry_->root());
  ASSERT_NE(table_, nullptr);
}

INIPORT* PortTest::open(const std::string& portName, MONITOR lower, const std::string& printerName) {
  if (table_ == nullptr) start();
  printer(portName);
  WideString port = widen(portName);
  WideString printer = widen(printerName);
  const auto openPortEx = table_->Monitor.pfnOpenPortEx != nullptr ? table_->Monitor.pfnOpenPortEx : &MonOpenPort;
  HANDLE hPort = nullptr;
  if (!openPortEx(&port[0], &printer[0], &hPort, &lower)) return nullptr;
  INIPORT* pIniPort = static_cast<INIPORT*>(hPort);
  open_.push_back(pIniPort);
  return pIniPort;
}

BOOL PortTest::close(INIPORT* pIniPort) {
  const auto closePort = table_ != nullptr && table_->Monitor.pfnClosePort != nullptr ? table_->Monitor.pfnClosePort
                                                                                       : &MonClosePort;
  const BOOL closed = closePort(pIniPort);
  if (closed) {
    for (auto it = open_.begin(); it != open_.end(); ++it) {
      if (*it == pIniPort) {
        open_.erase(it);
        break;
      }
    }
  }
  return closed;
}

sim::Printer& PortTest::printer(const std::string& portName) {
  std::string key = portName;
  for (char& c : key) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  sim::Printer& device = sim::printer(portName);
  if (printersUsed_.insert(key).second) device.reset();
  return device;
}
