#include "pipe_test_support.h"

#include <sstream>

#include "ctl_run.h"
#include "entry/monitor_entry.h"
#include "platform/debug_output.h"
#include "port/port_entry_points.h"
#include "sim/lower_monitor.h"

WideString widenText(const std::string& text) {
  WideString wide;
  for (unsigned char c : text) wide.push_back(static_cast<WCHAR>(c));
  return wide;
}

TraceLines::TraceLines() { debugOutputCapture(&TraceLines::sink, this); }

TraceLines::~TraceLines() { debugOutputCapture(nullptr, nullptr); }

void TraceLines::sink(LPCSTR line, void* context) {
  TraceLines* self = static_cast<TraceLines*>(context);
  std::lock_guard<std::mutex> lock(self->mutex_);
  self->lines_.emplace_back(line);
}

size_t TraceLines::count(const std::string& text) const {
  std::lock_guard<std::mutex> lock(mutex_);
  size_t n = 0;
  for (const std::string& line : lines_) n += line.find(text) != std::string::npos ? 1 : 0;
  return n;
}

void PipePortTest::SetUp() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  root_ = widenText(std::string("SOFTWARE\\qxlm-tests\\pipe\\") + info->test_suite_name() + "." + info->name());
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, root_.c_str());
  setting("EnableHeartBeat", 0);  // the printer hears only what a test asks for
}

void PipePortTest::TearDown() {
  while (!open_.empty()) close(open_.back());
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, root_.c_str());
}

void PipePortTest::setting(const std::string& name, DWORD value) {
  HKEY hKey = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, root_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           KEY_READ | KEY_SET_VALUE, nullptr, &hKey, nullptr));
  const WideString wide = widenText(name);
  EXPECT_EQ(ERROR_SUCCESS,
            RegSetValueExW(hKey, wide.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value));
  RegCloseKey(hKey);
}

bool PipePortTest::registryValue(const std::string& name, DWORD* value) const {
  HKEY hKey = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, root_.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS) return false;
  const WideString wide = widenText(name);
  DWORD size = sizeof *value;
  const LONG result = RegQueryValueExW(hKey, wide.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(hKey);
  return result == ERROR_SUCCESS;
}

std::string PipePortTest::portName(const std::string& tag) const {
  return "USBPIPE" + std::to_string(static_cast<unsigned>(GetCurrentProcessId())) + tag;
}

bool PipePortTest::start() {
  table_ = InitializePrintMonitor(&root_[0]);
  return table_ != nullptr;
}

INIPORT* PipePortTest::open(const std::string& portName, const std::string& printerName) {
  if (table_ == nullptr && !start()) return nullptr;
  WideString port = widenText(portName);
  WideString printer = widenText(printerName);
  MONITOR lower = sim::lowerMonitor();
  HANDLE hPort = nullptr;
  // The table's own entries where it has them, as the spooler calls them.
  const auto openPortEx = table_->Monitor.pfnOpenPortEx != nullptr ? table_->Monitor.pfnOpenPortEx : &MonOpenPort;
  if (!openPortEx(&port[0], &printer[0], &hPort, &lower)) return nullptr;
  open_.push_back(static_cast<INIPORT*>(hPort));
  return static_cast<INIPORT*>(hPort);
}

BOOL PipePortTest::close(INIPORT* pIniPort) {
  const auto closePort = table_->Monitor.pfnClosePort != nullptr ? table_->Monitor.pfnClosePort : &MonClosePort;
  const BOOL closed = closePort(pIniPort);
  for (auto it = open_.begin(); it != open_.end(); ++it) {
    if (*it == pIniPort) {
      open_.erase(it);
      break;
    }
  }
  return closed;
}

sim::Printer& PipePortTest::printer(const std::string& portName) { return sim::printer(portName); }

ctl::Outcome connectWhenOpen(ctl::PipeClient& client, const std::string& portName) {
  const DWORD start = GetTickCount();
  ctl::Outcome outcome;
  while ((outcome = client.open(portName, 10000)) == ctl::Outcome::NoSuchPort && GetTickCount() - start < 10000) {
    Sleep(5);
  }
  return outcome;
}

bool statusThreadReady(INIPORT* pIniPort) {
  const DWORD start = GetTickCount();
  while (!(pIniPort->flags & PP_STATUS_LOOP)) {
    if (GetTickCount() - start >= 10000) return false;
    Sleep(5);
  }
  return true;
}

HANDLE rawClientWhenOpen(const std::string& portName) {
  const WideString name = ctl::pipeNameFor(portName);
  const DWORD start = GetTickCount();
  for (;;) {
    HANDLE h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_NOT_FOUND || GetTickCount() - start >= 10000) {
      return h;
    }
    Sleep(5);
  }
}

ctl::Response PipePortTest::request(const std::string& portName, BYTE code, const std::vector<BYTE>& payload) {
  ctl::Response response;
  ctl::PipeClient client;
  EXPECT_EQ(ctl::Outcome::Ok, connectWhenOpen(client, portName)) << "error " << client.lastError();
  EXPECT_EQ(ctl::Outcome::Ok, client.send(ctl::buildRequest(code, payload), 30000, &response))
      << "error " << client.lastError();
  return response;
}

CtlRun ctlRun(const std::vector<std::string>& args, bool terminal) {
  std::ostringstream out, err;
  const ctl::Console console{out, err, terminal};
  CtlRun run;
  run.exit = ctl::runCtl(args, console);
  run.out = out.str();
  run.err = err.str();
  return run;
}
