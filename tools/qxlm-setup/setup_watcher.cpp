#include "setup_watcher.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "setup_event_sources.h"

namespace setup {
namespace {

// A wide literal of a macro's text.
#define SETUP_WIDE(text) WSTR(text)

const WCHAR kServiceName[] = SETUP_WIDE(SETUP_WATCHER_SERVICE);
const WCHAR kDisplayName[] = WSTR("QX Language Monitor watcher");
const WCHAR kDescription[] =
    WSTR("Keeps the QX language monitor's ports in a Prometheus metrics file for the Windows exporter's text-file "
         "collector, and logs their changes.");
const WCHAR kAccount[] = WSTR("NT AUTHORITY\\LocalService");
// Restarts after a failure: at once-ish, then slower; the count starts again after
// a day without one.
const DWORD kRestartDelaysMs[] = {10000, 60000, 300000};
const DWORD kFailureResetSeconds = 86400;
const DWORD kStateWaitMs = 30000;
const DWORD kStatePollMs = 250;

class ServiceHandle {
 public:
  explicit ServiceHandle(SC_HANDLE handle = nullptr) : handle_(handle) {}
  ~ServiceHandle() {
    if (handle_ != nullptr) CloseServiceHandle(handle_);
  }
  ServiceHandle(const ServiceHandle&) = delete;
  ServiceHandle& operator=(const ServiceHandle&) = delete;
  void reset(SC_HANDLE handle) {
    if (handle_ != nullptr) CloseServiceHandle(handle_);
    handle_ = handle;
  }
  SC_HANDLE get() const { return handle_; }

 private:
  SC_HANDLE handle_;
};

Wide expanded(const Wide& text) {
  WCHAR buffer[MAX_PATH * 2];
  const DWORD length = ExpandEnvironmentStringsW(text.c_str(), buffer, MAX_PATH * 2);
  return length == 0 || length > MAX_PATH * 2 ? text : Wide(buffer);
}

Wide programFolder() { return expanded(toWide("%ProgramFiles%\\qxlm")); }
Wide installedProgram() { return programFolder() + toWide("\\" SETUP_WATCHER_EXE); }

Wide withoutTrailingSeparators(Wide path) {
  while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

DWORD currentState(SC_HANDLE service) {
  SERVICE_STATUS status = {};
  return QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
}

bool waitForState(SC_HANDLE service, DWORD state) {
  for (DWORD waited = 0; waited < kStateWaitMs; waited += kStatePollMs) {
    if (currentState(service) == state) return true;
    Sleep(kStatePollMs);
  }
  return currentState(service) == state;
}

// The process a running service lives in, opened to wait on; null when none runs.
HANDLE serviceProcess(SC_HANDLE service) {
  SERVICE_STATUS_PROCESS status = {};
  DWORD needed = 0;
  if (!QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                            &needed) ||
      status.dwProcessId == 0) {
    return nullptr;
  }
  return OpenProcess(SYNCHRONIZE, FALSE, status.dwProcessId);
}

// Stops a running service and waits until its process has gone: a service reports
// stopped before its process exits, and until then the program's file is in use.
DWORD stopService(SC_HANDLE service) {
  if (currentState(service) == SERVICE_STOPPED) return ERROR_SUCCESS;
  const HANDLE process = serviceProcess(service);
  SERVICE_STATUS status = {};
  DWORD error = ERROR_SUCCESS;
  if (!ControlService(service, SERVICE_CONTROL_STOP, &status) && GetLastError() != ERROR_SERVICE_NOT_ACTIVE) {
    error = GetLastError();
  } else if (!waitForState(service, SERVICE_STOPPED) ||
             (process != nullptr && WaitForSingleObject(process, kStateWaitMs) != WAIT_OBJECT_0)) {
    error = ERROR_SERVICE_REQUEST_TIMEOUT;
  }
  if (process != nullptr) CloseHandle(process);
  return error;
}

// LocalService may create, replace and remove files in the folder; the program
// renames a temporary file over the metrics file.
DWORD letLocalServiceWrite(const Wide& folder) {
  PACL oldAcl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD error = GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                      &oldAcl, nullptr, &descriptor);
  if (error != ERROR_SUCCESS) return error;
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD sidSize = sizeof sid;
  if (!CreateWellKnownSid(WinLocalServiceSid, nullptr, sid, &sidSize)) {
    error = GetLastError();
    LocalFree(descriptor);
    return error;
  }
  EXPLICIT_ACCESSW access = {};
  access.grfAccessPermissions = FILE_GENERIC_READ | FILE_GENERIC_WRITE | DELETE;
  access.grfAccessMode = GRANT_ACCESS;
  access.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
  access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
  access.Trustee.ptstrName = reinterpret_cast<LPWSTR>(sid);
  PACL newAcl = nullptr;
  error = SetEntriesInAclW(1, &access, oldAcl, &newAcl);
  if (error == ERROR_SUCCESS) {
    Wide path = folder;
    error = SetNamedSecurityInfoW(&path[0], SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, newAcl,
                                  nullptr);
    LocalFree(newAcl);
  }
  LocalFree(descriptor);
  return error;
}

DWORD createFolder(const Wide& folder) {
  std::error_code code;
  std::filesystem::create_directories(std::filesystem::path(folder), code);
  return code ? static_cast<DWORD>(code.value()) : ERROR_SUCCESS;
}

// The description and the recovery actions. Some service managers keep neither
// (Wine's keeps no recovery actions): the service runs all the same, so this warns.
void describe(SC_HANDLE service, const Console& console) {
  SERVICE_DESCRIPTIONW description = {const_cast<LPWSTR>(kDescription)};
  ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &description);
  SC_ACTION actions[3];
  for (int i = 0; i < 3; ++i) actions[i] = {SC_ACTION_RESTART, kRestartDelaysMs[i]};
  SERVICE_FAILURE_ACTIONSW failure = {};
  failure.dwResetPeriod = kFailureResetSeconds;
  failure.cActions = 3;
  failure.lpsaActions = actions;
  // Also when the program ends with an error of its own, not only when it crashes.
  SERVICE_FAILURE_ACTIONS_FLAG onErrors = {TRUE};
  const bool kept = ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, &failure) &&
                    ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &onErrors);
  if (!kept) {
    const DWORD error = GetLastError();
    console.err << "qxlm-setup: warning: the service manager did not keep the recovery actions (error " << error
                << "); the watcher is not restarted after a failure.\n";
  } else {
    console.out << "Recovery: restart after 10 s, 60 s, then 300 s.\n";
  }
}

// The metrics file named in the service's command line, empty when none is.
Wide metricsFileOf(SC_HANDLE service) {
  DWORD size = 0;
  QueryServiceConfigW(service, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  QUERY_SERVICE_CONFIGW* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
  if (size == 0 || !QueryServiceConfigW(service, config, size, &size) || config->lpBinaryPathName == nullptr) {
    return Wide();
  }
  const Wide commandLine = config->lpBinaryPathName;
  const Wide option = toWide("--metrics \"");
  const size_t start = commandLine.find(option);
  if (start == Wide::npos) return Wide();
  const size_t end = commandLine.find('"', start + option.size());
  return end == Wide::npos ? Wide() : commandLine.substr(start + option.size(), end - start - option.size());
}

}  // namespace

int installWatcher(const Invocation& invocation, const Console& console) {
  const Wide source = besideProgram(toWide(SETUP_WATCHER_EXE));
  if (!fileExists(source)) {
    console.err << "qxlm-setup: " << toUtf8(source) << " is missing: --watcher takes it from the folder of "
                << "qxlm-setup.exe.\n";
    return EXIT_FAILED;
  }
  const Wide folder = withoutTrailingSeparators(
      expanded(toWide(invocation.metricsFolder.empty() ? SETUP_DEFAULT_METRICS_FOLDER : invocation.metricsFolder)));
  const Wide metrics = folder + toWide("\\" SETUP_METRICS_FILE);

  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (manager.get() == nullptr) return reportFailure(console.err, "Opening the service control manager", GetLastError());
  ServiceHandle service(OpenServiceW(manager.get(), kServiceName, SERVICE_ALL_ACCESS));
  // The running program holds its file: stop it before the copy.
  DWORD error = service.get() != nullptr ? stopService(service.get()) : ERROR_SUCCESS;
  if (error != ERROR_SUCCESS) return reportFailure(console.err, "Stopping the service " SETUP_WATCHER_SERVICE, error);

  const Wide program = installedProgram();
  if ((error = createFolder(programFolder())) != ERROR_SUCCESS) {
    return reportFailure(console.err, "Creating " + toUtf8(programFolder()), error);
  }
  if (!CopyFileW(source.c_str(), program.c_str(), FALSE)) {
    return reportFailure(console.err, "Copying " SETUP_WATCHER_EXE " to " + toUtf8(program), GetLastError());
  }
  console.out << "Copied " << toUtf8(program) << ".\n";

  if ((error = createFolder(folder)) != ERROR_SUCCESS) return reportFailure(console.err, "Creating " + toUtf8(folder), error);
  if ((error = letLocalServiceWrite(folder)) != ERROR_SUCCESS) {
    return reportFailure(console.err, "Letting LocalService write to " + toUtf8(folder), error);
  }
  console.out << "Metrics: " << toUtf8(metrics) << " (LocalService may write the folder).\n";

  const Wide commandLine = toWide("\"") + program + toWide("\" service --metrics \"") + metrics + toWide("\"");
  if (service.get() == nullptr) {
    service.reset(CreateServiceW(manager.get(), kServiceName, kDisplayName, SERVICE_ALL_ACCESS,
                                 SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                 commandLine.c_str(), nullptr, nullptr, nullptr, kAccount, WSTR("")));
    if (service.get() == nullptr) {
      return reportFailure(console.err, "Creating the service " SETUP_WATCHER_SERVICE, GetLastError());
    }
    console.out << "Created the service " SETUP_WATCHER_SERVICE " (automatic start, LocalService).\n";
  } else {
    if (!ChangeServiceConfigW(service.get(), SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                              commandLine.c_str(), nullptr, nullptr, nullptr, kAccount, WSTR(""), kDisplayName)) {
      return reportFailure(console.err, "Changing the service " SETUP_WATCHER_SERVICE, GetLastError());
    }
    console.out << "Updated the service " SETUP_WATCHER_SERVICE " (automatic start, LocalService).\n";
  }
  describe(service.get(), console);

  if ((error = registerEventSource(toWide(SETUP_WATCHER_SERVICE), program)) != ERROR_SUCCESS) {
    return reportFailure(console.err, "Registering the event source " SETUP_WATCHER_SERVICE, error);
  }
  if (!StartServiceW(service.get(), 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING) {
    return reportFailure(console.err, "Starting the service " SETUP_WATCHER_SERVICE, GetLastError());
  }
  if (!waitForState(service.get(), SERVICE_RUNNING)) {
    return reportFailure(console.err, "Starting the service " SETUP_WATCHER_SERVICE, ERROR_SERVICE_REQUEST_TIMEOUT);
  }
  console.out << "Started the service " SETUP_WATCHER_SERVICE ".\n";
  return EXIT_OK;
}

int removeWatcher(const Console& console) {
  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (manager.get() == nullptr) return reportFailure(console.err, "Opening the service control manager", GetLastError());
  ServiceHandle service(OpenServiceW(manager.get(), kServiceName, SERVICE_ALL_ACCESS));
  if (service.get() == nullptr) {
    if (GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST) {
      return reportFailure(console.err, "Opening the service " SETUP_WATCHER_SERVICE, GetLastError());
    }
  } else {
    DWORD error = stopService(service.get());
    if (error != ERROR_SUCCESS) return reportFailure(console.err, "Stopping the service " SETUP_WATCHER_SERVICE, error);
    // A metrics file left behind would show its last values to the collector for ever.
    const Wide metrics = metricsFileOf(service.get());
    if (!metrics.empty() && DeleteFileW(metrics.c_str())) console.out << "Removed " << toUtf8(metrics) << ".\n";
    if (!DeleteService(service.get()) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE) {
      return reportFailure(console.err, "Deleting the service " SETUP_WATCHER_SERVICE, GetLastError());
    }
    console.out << "Removed the service " SETUP_WATCHER_SERVICE ".\n";
  }
  const Wide program = installedProgram();
  if (fileExists(program)) {
    if (!DeleteFileW(program.c_str()) && !MoveFileExW(program.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
      return reportFailure(console.err, "Removing " + toUtf8(program), GetLastError());
    }
    RemoveDirectoryW(programFolder().c_str());
    console.out << "Removed " << toUtf8(program) << ".\n";
  }
  const DWORD error = removeEventSource(toWide(SETUP_WATCHER_SERVICE));
  if (error != ERROR_SUCCESS) return reportFailure(console.err, "Removing the event source " SETUP_WATCHER_SERVICE, error);
  return EXIT_OK;
}

}  // namespace setup
