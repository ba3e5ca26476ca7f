#include "flash_test_support.h"

#include <chrono>

#include "ctl_client.h"
#include "entry/monitor_entry.h"
#include "flash/flash_progress.h"
#include "flash/flash_update.h"
#include "pipe/pipe_commands.h"
#include "platform/clock.h"
#include "port/port_entry_points.h"
#include "sim/lower_monitor.h"

namespace {

std::basic_string<WCHAR> widen(const std::string& text) { return std::basic_string<WCHAR>(text.begin(), text.end()); }

}  // namespace

void FlashTest::SetUp() {
  ASSERT_TRUE(pipe.connected());
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  registryRoot_ = widen(std::string("SOFTWARE\\qxlm-tests\\flash\\") + info->test_suite_name() + "." + info->name());
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, registryRoot_.c_str());
  // Each port opens with the heartbeat off, so that no status request of the status
  // thread reaches a printer a test has scripted before the update quiets it.
  HKEY hKey = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, registryRoot_.c_str(), 0, nullptr,
                                           REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &hKey, nullptr));
  const DWORD off = 0;
  const std::basic_string<WCHAR> name = widen("EnableHeartBeat");
  EXPECT_EQ(ERROR_SUCCESS,
            RegSetValueExW(hKey, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&off), sizeof off));
  RegCloseKey(hKey);
  table_ = InitializePrintMonitor(&registryRoot_[0]);
  ASSERT_NE(nullptr, table_);
  clockSetScale(0.01);
  flashProgressHook(&FlashTest::record, this);
}

void FlashTest::TearDown() {
  release();
  for (INIPORT* pIniPort : ports_) {
    waitForFlashThread(pIniPort);
    MonClosePort(pIniPort);
  }
  flashProgressHook(nullptr, nullptr);
  clockSetScale(1.0);
  for (const std::string& file : files_) DeleteFileA(file.c_str());
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, registryRoot_.c_str());
}

INIPORT* FlashTest::open(const std::string& portName, const std::string& model) {
  sim::Printer& simPrinter = sim::printer(portName);
  simPrinter.reset();
  simPrinter.setModel(model);
  std::basic_string<WCHAR> port = widen(portName);
  std::basic_string<WCHAR> printerName = widen("Flash Test " + portName);
  MONITOR lower = sim::lowerMonitor();
  HANDLE hPort = nullptr;
  if (!MonOpenPort(&port[0], &printerName[0], &hPort, &lower)) {
    ADD_FAILURE() << "cannot open " << portName;
    return nullptr;
  }
  INIPORT* pIniPort = static_cast<INIPORT*>(hPort);
  ports_.push_back(pIniPort);
  BYTE reply[1024];
  DWORD count = 0;
  EXPECT_TRUE(PJLMonReadPort(pIniPort, reply, sizeof reply, &count));
  simPrinter.clearRecords();
  return pIniPort;
}

sim::Printer& FlashTest::printer(INIPORT* pIniPort) { return sim::printer(pIniPort->pszPortName); }

std::vector<BYTE> FlashTest::fileBytes(size_t size) {
  std::vector<BYTE> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<BYTE>(i * 7 + i / 251);
  return bytes;
}

std::string FlashTest::makeFile(const std::string& name, size_t size) {
  const std::vector<BYTE> bytes = fileBytes(size);
  HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(INVALID_HANDLE_VALUE, h) << name;
  DWORD written = 0;
  EXPECT_TRUE(size == 0 || WriteFile(h, bytes.data(), static_cast<DWORD>(size), &written, nullptr));
  EXPECT_EQ(size, written);
  CloseHandle(h);
  files_.push_back(name);
  return name;
}

DWORD FlashTest::program(INIPORT* pIniPort, const std::string& path, BOOL withChecks) {
  return program(pIniPort, path, withChecks, pipe.serverEnd());
}

DWORD FlashTest::program(INIPORT* pIniPort, const std::string& path, BOOL withChecks, HANDLE hClientPipe) {
  std::vector<char> name(path.begin(), path.end());
  name.push_back('\0');
  char response[FLASH_RESPONSE_SIZE] = "";
  const DWORD result = qxProgramFlash(name.data(), pIniPort, response, withChecks, sizeof response, hClientPipe);
  lastResponse = response;
  return result;
}

void FlashTest::programAndWait(INIPORT* pIniPort, const std::string& path, BOOL withChecks) {
  programAndWait(pIniPort, path, withChecks, pipe.serverEnd());
}

void FlashTest::programAndWait(INIPORT* pIniPort, const std::string& path, BOOL withChecks, HANDLE hClientPipe) {
  ASSERT_EQ(0u, program(pIniPort, path, withChecks, hClientPipe));
  waitForFlashThread(pIniPort);
}

std::vector<std::string> FlashTest::progress(INIPORT* pIniPort) {
  std::lock_guard<std::mutex> lock(progressLock_);
  return progress_[pIniPort];
}

std::string FlashTest::currentProgress(INIPORT* pIniPort) {
  char text[FLASH_PROGRESS_SIZE];
  copyFlashProgress(pIniPort, text, sizeof text);
  return text;
}

bool FlashTest::portFree(INIPORT* pIniPort) {
  if (WaitForSingleObject(pIniPort->PortFree, 0) != WAIT_OBJECT_0) return false;
  SetEvent(pIniPort->PortFree);
  return true;
}

BOOL FlashTest::close(INIPORT* pIniPort) {
  for (auto it = ports_.begin(); it != ports_.end(); ++it) {
    if (*it == pIniPort) {
      ports_.erase(it);
      break;
    }
  }
  return monitor().pfnClosePort(pIniPort);
}

ctl::Response FlashTest::request(INIPORT* pIniPort, BYTE code, const std::vector<BYTE>& payload) {
  std::string portName;
  for (const WCHAR* p = pIniPort->pszPortName; *p != 0; ++p) portName.push_back(static_cast<char>(*p));
  ctl::Response response;
  ctl::PipeClient client;
  // The pipe thread makes the pipe just after the port opens.
  ctl::Outcome opened = ctl::Outcome::NoSuchPort;
  // An update is the one request for which the client lends its identity, as qxlm-ctl does.
  const ctl::Identity identity = code == PROGRAM_FLASH ? ctl::Identity::Lend : ctl::Identity::IdentifyOnly;
  for (int tries = 0; tries < 2000 && (opened = client.open(portName, 30000, identity)) == ctl::Outcome::NoSuchPort;
       ++tries) {
    Sleep(5);
  }
  EXPECT_EQ(ctl::Outcome::Ok, opened) << "error " << client.lastError();
  EXPECT_EQ(ctl::Outcome::Ok, client.send(ctl::buildRequest(code, payload), 60000, &response))
      << "error " << client.lastError();
  return response;
}

ctl::Response FlashTest::requestFlash(INIPORT* pIniPort, const std::string& path, BOOL withChecks) {
  std::vector<BYTE> payload(1 + path.size());
  payload[0] = static_cast<BYTE>(withChecks ? 'T' : 'N');
  for (size_t i = 0; i < path.size(); ++i) payload[1 + i] = static_cast<BYTE>(path[i]);
  return request(pIniPort, PROGRAM_FLASH, payload);
}

void FlashTest::holdAt(INIPORT* pIniPort, const std::string& prefix) {
  std::lock_guard<std::mutex> lock(progressLock_);
  holdPort_ = pIniPort;
  holdPrefix_ = prefix;
  held_ = false;
}

bool FlashTest::waitHeld() {
  std::unique_lock<std::mutex> lock(progressLock_);
  return holdChanged_.wait_for(lock, std::chrono::seconds(60), [this] { return held_; });
}

void FlashTest::release() {
  std::lock_guard<std::mutex> lock(progressLock_);
  holdPort_ = nullptr;
  holdChanged_.notify_all();
}

void FlashTest::record(INIPORT* pIniPort, LPCSTR text, void* context) {
  FlashTest* self = static_cast<FlashTest*>(context);
  std::unique_lock<std::mutex> lock(self->progressLock_);
  self->progress_[pIniPort].emplace_back(text);
  if (pIniPort != self->holdPort_ || self->held_ || std::string(text).rfind(self->holdPrefix_, 0) != 0) return;
  self->held_ = true;
  self->holdChanged_.notify_all();
  self->holdChanged_.wait(lock, [self] { return self->holdPort_ == nullptr; });
}
