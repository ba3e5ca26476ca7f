#include "flash_test_support.h"

#include "flash/flash_progress.h"
#include "flash/flash_update.h"
#include "monitor/monitor_entry.h"
#include "monitor/port_entry_points.h"
#include "platform/clock.h"
#include "sim/lower_monitor.h"

namespace {

std::basic_string<WCHAR> widen(const std::string& text) { return std::basic_string<WCHAR>(text.begin(), text.end()); }

}  // namespace

void FlashTest::SetUp() {
  ASSERT_TRUE(pipe.connected());
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  registryRoot_ = widen(std::string("SOFTWARE\\qxlm-tests\\flash\\") + info->test_suite_name() + "." + info->name());
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, registryRoot_.c_str());
  ASSERT_NE(nullptr, InitializePrintMonitor(&registryRoot_[0]));
  clockSetScale(0.01);
  flashProgressHook(&FlashTest::record, this);
}

void FlashTest::TearDown() {
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

void FlashTest::record(INIPORT* pIniPort, LPCSTR text, void* context) {
  FlashTest* self = static_cast<FlashTest*>(context);
  std::lock_guard<std::mutex> lock(self->progressLock_);
  self->progress_[pIniPort].emplace_back(text);
}
