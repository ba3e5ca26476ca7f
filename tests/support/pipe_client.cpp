#include "tests/support/pipe_client.h"

#include <gtest/gtest.h>

#include <sstream>

#include "ctl_run.h"
#include "pipe/pipe_commands.h"

namespace {

const DWORD kPipeLimitMs = 10000;

}  // namespace

ctl::Outcome connectWhenOpen(ctl::PipeClient& client, const std::string& portName, ctl::Identity identity) {
  const DWORD start = GetTickCount();
  ctl::Outcome outcome;
  while ((outcome = client.open(portName, 30000, identity)) == ctl::Outcome::NoSuchPort &&
         GetTickCount() - start < kPipeLimitMs) {
    Sleep(5);
  }
  return outcome;
}

HANDLE rawClientWhenOpen(const std::string& portName) {
  const std::basic_string<WCHAR> name = ctl::pipeNameFor(portName);
  const DWORD start = GetTickCount();
  for (;;) {
    HANDLE h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_NOT_FOUND || GetTickCount() - start >= kPipeLimitMs) {
      return h;
    }
    Sleep(5);
  }
}

ctl::Response pipeRequest(const std::string& portName, BYTE code, const std::vector<BYTE>& payload,
                          DWORD responseMs) {
  ctl::Response response;
  ctl::PipeClient client;
  const ctl::Identity identity = code == PROGRAM_FLASH ? ctl::Identity::Lend : ctl::Identity::IdentifyOnly;
  EXPECT_EQ(ctl::Outcome::Ok, connectWhenOpen(client, portName, identity)) << "error " << client.lastError();
  EXPECT_EQ(ctl::Outcome::Ok, client.send(ctl::buildRequest(code, payload), responseMs, &response))
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
