#include "flash_test_support.h"

#include <chrono>

#include "flash/flash_progress.h"
#include "flash/flash_update.h"
#include "entry/monitor_entry.h"
#include "port/port_entry_points.h"
#include "pipe/pipe_commands.h"
#include "tests/support/pipe_client.h"

void FlashTest::SetUp() {
  ASSERT_TRUE(pipe.connected());
  MonitorTest::SetUp();
  // Each port opens with the heartbeat off, so that no status request of the status
  // thread reaches a printer a test has scripted before the update quiets it.
  setting("EnableHeartBeat", 0);
  ASSERT_TRUE(start());
  flashProgressHook(&FlashTest::record, this);
}

void FlashTest::TearDown() {
  release();
  for (INIPORT* pIniPort : openPorts()) waitForFlashThread(pIniPort);
  MonitorTest::TearDown();
  flashProgressHook(nullptr, nullptr);
  for (const std::string& file : files_) DeleteFileA(file.c_str());
}

INIPORT* FlashTest::open(const std::string& portName, const std::string& model) {
  sim::Printer& simPrinter = MonitorTest::printer(portName);
  simPrinter.reset();
  simPrinter.setModel(model);
  INIPORT* pIniPort = openAs(portName, "Flash Test " + portName);
  if (pIniPort == nullptr) {
    ADD_FAILURE() << "cannot open " << portName;
    return nullptr;
  }
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

ctl::Response FlashTest::request(INIPORT* pIniPort, BYTE code, const std::vector<BYTE>& payload) {
  std::string portName;
  for (const WCHAR* p = pIniPort->pszPortName; *p != 0; ++p) portName.push_back(static_cast<char>(*p));
  return pipeRequest(portName, code, payload, 60000);
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
