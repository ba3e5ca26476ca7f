// The Windows service: the service control manager's dispatcher, its control
// handler and the event log; from a console the foreground loop, ended by Ctrl-C.
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "ctl_command_line.h"
#include "ctl_service.h"

namespace ctl {
namespace {

// A wide literal of a macro's text.
#define CTL_WIDE(text) WSTR(text)

// Event ids of the program's message table (1 information, 2 warning, 3 error),
// each "%1".
const DWORD kEventInformation = 1;
const DWORD kEventError = 3;
// What the service control manager is told a stop may take: a round that is under
// way asks each port once more.
const DWORD kStopWaitHintMs = 30000;

std::atomic<bool> stopRequested{false};
SERVICE_STATUS_HANDLE statusHandle = nullptr;
const FleetInvocation* serviceInvocation = nullptr;
int serviceExit = EXIT_OK;

std::vector<WCHAR> wide(const std::string& text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  std::vector<WCHAR> result(length > 0 ? length : 1, 0);
  if (length > 0) MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, result.data(), length);
  return result;
}

// Each line written becomes one event of the given type.
class EventLogLines : public std::streambuf {
 public:
  EventLogLines(HANDLE source, WORD type, DWORD id) : source_(source), type_(type), id_(id) {}
  ~EventLogLines() override { sync(); }

 protected:
  int_type overflow(int_type c) override {
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    if (c == '\n') {
      report();
    } else {
      line_ += static_cast<char>(c);
    }
    return c;
  }
  int sync() override {
    if (!line_.empty()) report();
    return 0;
  }

 private:
  void report() {
    if (source_ != nullptr) {
      std::vector<WCHAR> text = wide(line_);
      LPCWSTR strings[] = {text.data()};
      ReportEventW(source_, type_, 0, id_, nullptr, 1, 0, strings, nullptr);
    }
    line_.clear();
  }

  HANDLE source_;
  WORD type_;
  DWORD id_;
  std::string line_;
};

void setStatus(DWORD state, DWORD exitCode = NO_ERROR) {
  SERVICE_STATUS status = {};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
  // A failure the recovery actions restart: the service's own exit code.
  status.dwWin32ExitCode = exitCode == NO_ERROR ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
  status.dwServiceSpecificExitCode = exitCode;
  status.dwWaitHint = state == SERVICE_STOP_PENDING ? kStopWaitHintMs : 0;
  SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI onControl(DWORD control, DWORD, LPVOID, LPVOID) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
      setStatus(SERVICE_STOP_PENDING);
      stopRequested.store(true, std::memory_order_relaxed);
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

void WINAPI serviceMain(DWORD, LPWSTR*) {
  statusHandle = RegisterServiceCtrlHandlerExW(CTL_WIDE(CTL_WATCH_SERVICE_NAME), onControl, nullptr);
  if (statusHandle == nullptr) return;
  HANDLE source = RegisterEventSourceW(nullptr, CTL_WIDE(CTL_WATCH_SERVICE_NAME));
  setStatus(SERVICE_RUNNING);
  {
    EventLogLines outLines(source, EVENTLOG_INFORMATION_TYPE, kEventInformation);
    EventLogLines errLines(source, EVENTLOG_ERROR_TYPE, kEventError);
    std::ostream out(&outLines);
    std::ostream err(&errLines);
    const Console console{out, err, false};
    serviceExit = serveWatch(*serviceInvocation, console, stopRequested);
  }
  if (source != nullptr) DeregisterEventSource(source);
  setStatus(SERVICE_STOPPED, static_cast<DWORD>(serviceExit));
}

BOOL WINAPI onConsoleControl(DWORD) {
  stopRequested.store(true, std::memory_order_relaxed);
  return TRUE;
}

}  // namespace

int runService(const FleetInvocation& inv, const Console& console) {
  serviceInvocation = &inv;
  WCHAR name[] = CTL_WIDE(CTL_WATCH_SERVICE_NAME);
  SERVICE_TABLE_ENTRYW table[] = {{name, serviceMain}, {nullptr, nullptr}};
  if (StartServiceCtrlDispatcherW(table)) return serviceExit;
  if (GetLastError() != ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
    console.err << "qxlm-ctl: the service control manager refused the service (error " << GetLastError() << ")\n";
    return EXIT_FAILED;
  }
  SetConsoleCtrlHandler(onConsoleControl, TRUE);
  return serveWatch(inv, console, stopRequested);
}

}  // namespace ctl
