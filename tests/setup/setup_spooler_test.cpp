// qxlm-setup.exe against the print provider of the system it runs on (Wine's own under
// the Windows build's tests): no recording spooler is linked here. The programs run
// from a folder of their own, as from the unpacked archive.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32_api.h"
#include "port/settings_table.h"

namespace {

typedef std::wstring Wide;

const wchar_t kMonitor[] = L"QX Language Monitor";
const wchar_t kMonitorKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\QX Language Monitor";
const wchar_t kDriver[] = L"QX Setup Test Driver";
const wchar_t kPrinter[] = L"QX Setup Test Printer";

struct SetupRun {
  DWORD exitCode = 0xFFFFFFFF;
  std::string output;  // standard output and error together
};

Wide tempFolder(const wchar_t* leaf) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const Wide folder = Wide(temp) + leaf;
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder + L"\\";
}

Wide systemDll() {
  wchar_t folder[MAX_PATH];
  GetSystemDirectoryW(folder, MAX_PATH);
  return Wide(folder) + L"\\qxlm.dll";
}

// A folder holding qxlm-setup.exe, qxlm-ctl.exe and a qxlm.dll; a non-zero extra byte makes the
// DLL a different file of the same version.
Wide stage(const wchar_t* leaf, bool changedDll) {
  const Wide folder = tempFolder(leaf);
  EXPECT_TRUE(CopyFileW(QXLM_SETUP_EXE, (folder + L"qxlm-setup.exe").c_str(), FALSE));
  EXPECT_TRUE(CopyFileW(QXLM_CTL_EXE, (folder + L"qxlm-ctl.exe").c_str(), FALSE));
  const Wide dll = folder + L"qxlm.dll";
  EXPECT_TRUE(CopyFileW(QXLM_MONITOR_DLL, dll.c_str(), FALSE));
  if (changedDll) {
    HANDLE h = CreateFileW(dll.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD written = 0;
    WriteFile(h, "\n", 1, &written, nullptr);
    CloseHandle(h);
  }
  return folder;
}

SetupRun runSetup(const Wide& folder, const Wide& arguments) {
  SetupRun run;
  const Wide outputPath = folder + L"output.txt";
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE output = CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = output;
  startup.hStdError = output;
  PROCESS_INFORMATION process = {};
  Wide commandLine = L"\"" + folder + L"qxlm-setup.exe\" " + arguments;
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &startup,
                      &process)) {
    ADD_FAILURE() << "qxlm-setup.exe did not start, error " << GetLastError();
    CloseHandle(output);
    return run;
  }
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 180000));
  GetExitCodeProcess(process.hProcess, &run.exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  CloseHandle(output);

  HANDLE h = CreateFileW(outputPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  char block[4096];
  DWORD got = 0;
  while (ReadFile(h, block, sizeof block, &got, nullptr) && got != 0) run.output.append(block, got);
  CloseHandle(h);
  return run;
}

bool says(const SetupRun& run, const std::string& text) { return run.output.find(text) != std::string::npos; }

// The monitors the spooler lists: name and DLL.
std::vector<std::pair<Wide, Wide>> monitors() {
  std::vector<std::pair<Wide, Wide>> list;
  DWORD needed = 0, count = 0;
  EnumMonitorsW(nullptr, 2, nullptr, 0, &needed, &count);
  std::vector<BYTE> buffer(needed);
  if (needed == 0 || !EnumMonitorsW(nullptr, 2, buffer.data(), needed, &needed, &count)) return list;
  const MONITOR_INFO_2W* info = reinterpret_cast<const MONITOR_INFO_2W*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) list.emplace_back(info[i].pName, info[i].pDLLName);
  return list;
}

bool registered() {
  for (const auto& monitor : monitors()) {
    if (monitor.first == kMonitor) return true;
  }
  return false;
}

// The settings the monitor's key holds as 4-byte values.
unsigned storedSettings() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMonitorKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  unsigned stored = 0;
  for (const SettingEntry& entry : kSettingTable) {
    DWORD value = 0, size = sizeof value;
    stored +=
        RegQueryValueExW(key, entry.name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
                size == sizeof value
            ? 1
            : 0;
  }
  RegCloseKey(key);
  return stored;
}

void setSetting(const wchar_t* name, const DWORD* value) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMonitorKey, 0, KEY_SET_VALUE, &key));
  if (value != nullptr) {
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(value), sizeof *value);
  } else {
    RegDeleteValueW(key, name);
  }
  RegCloseKey(key);
}

Wide printerMonitor() {
  HANDLE h = nullptr;
  Wide name = kPrinter;
  if (!OpenPrinterW(&name[0], &h, nullptr)) return L"(no printer)";
  DWORD needed = 0;
  GetPrinterDriverW(h, nullptr, 3, nullptr, 0, &needed);
  std::vector<BYTE> buffer(needed);
  Wide monitor = L"(no driver)";
  if (needed != 0 && GetPrinterDriverW(h, nullptr, 3, buffer.data(), needed, &needed)) {
    const DRIVER_INFO_3W* driver = reinterpret_cast<const DRIVER_INFO_3W*>(buffer.data());
    monitor = driver->pMonitorName != nullptr ? driver->pMonitorName : L"";
  }
  ClosePrinter(h);
  return monitor;
}

// A printer whose driver is a vendor's, with placeholder files: the spooler keeps the
// driver's entry, which is all attach and detach change.
void addPrinterWithDriver() {
  wchar_t directory[MAX_PATH];
  DWORD needed = 0;
  ASSERT_TRUE(
      GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(directory), sizeof directory, &needed));
  Wide files[3] = {L"qxtestdrv.dll", L"qxtestdrv.gpd", L"qxtestui.dll"};
  for (const Wide& file : files) {
    HANDLE h =
        CreateFileW((Wide(directory) + L"\\" + file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(h);
  }
  DRIVER_INFO_3W driver = {};
  Wide name = kDriver;
  driver.cVersion = 3;
  driver.pName = &name[0];
  driver.pDriverPath = &files[0][0];
  driver.pDataFile = &files[1][0];
  driver.pConfigFile = &files[2][0];
  ASSERT_TRUE(AddPrinterDriverExW(nullptr, 3, reinterpret_cast<BYTE*>(&driver), APD_COPY_NEW_FILES)) << GetLastError();
  PRINTER_INFO_2W printer = {};
  Wide printerName = kPrinter, port = L"LPT1:", processor = L"WinPrint", datatype = L"RAW";
  printer.pPrinterName = &printerName[0];
  printer.pDriverName = &name[0];
  printer.pPortName = &port[0];
  printer.pPrintProcessor = &processor[0];
  printer.pDatatype = &datatype[0];
  HANDLE h = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&printer));
  ASSERT_NE(nullptr, h) << GetLastError();
  ClosePrinter(h);
}

void removePrinterWithDriver() {
  HANDLE h = nullptr;
  Wide name = kPrinter;
  PRINTER_DEFAULTSW all = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  if (OpenPrinterW(&name[0], &h, &all)) {
    DeletePrinter(h);
    ClosePrinter(h);
  }
  Wide driver = kDriver;
  DeletePrinterDriverW(nullptr, nullptr, &driver[0]);
}

const wchar_t kWatcher[] = L"qxlm-watch";
const wchar_t kEventSources[] = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";

// The watcher service's state and configuration; false when it is not installed.
struct WatcherService {
  DWORD state = 0;
  DWORD startType = 0;
  Wide account;
  Wide commandLine;
};
bool watcherService(WatcherService* watcher) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE service = manager != nullptr ? OpenServiceW(manager, kWatcher, SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS)
                                         : nullptr;
  bool found = false;
  if (service != nullptr) {
    SERVICE_STATUS status = {};
    QueryServiceStatus(service, &status);
    watcher->state = status.dwCurrentState;
    DWORD size = 0;
    QueryServiceConfigW(service, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    QUERY_SERVICE_CONFIGW* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    found = size != 0 && QueryServiceConfigW(service, config, size, &size);
    if (found) {
      watcher->startType = config->dwStartType;
      watcher->account = config->lpServiceStartName != nullptr ? config->lpServiceStartName : L"";
      watcher->commandLine = config->lpBinaryPathName != nullptr ? config->lpBinaryPathName : L"";
    }
    CloseServiceHandle(service);
  }
  if (manager != nullptr) CloseServiceHandle(manager);
  return found;
}

// The delays of the service's restart actions, in milliseconds.
std::vector<DWORD> watcherRestartDelays() {
  std::vector<DWORD> delays;
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE service = manager != nullptr ? OpenServiceW(manager, kWatcher, SERVICE_QUERY_CONFIG) : nullptr;
  DWORD size = 0;
  if (service != nullptr) QueryServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (size != 0 && QueryServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, buffer.data(), size, &size)) {
    const SERVICE_FAILURE_ACTIONSW* failure = reinterpret_cast<const SERVICE_FAILURE_ACTIONSW*>(buffer.data());
    for (DWORD i = 0; i < failure->cActions; ++i) {
      if (failure->lpsaActions[i].Type == SC_ACTION_RESTART) delays.push_back(failure->lpsaActions[i].Delay);
    }
  }
  if (service != nullptr) CloseServiceHandle(service);
  if (manager != nullptr) CloseServiceHandle(manager);
  return delays;
}

bool waitForWatcherState(DWORD state) {
  WatcherService watcher;
  for (int i = 0; i < 600 && (!watcherService(&watcher) || watcher.state != state); ++i) Sleep(100);
  return watcher.state == state;
}

// The message file an event source names, or "(none)".
Wide eventMessageFile(const Wide& source) {
  wchar_t file[MAX_PATH] = L"(none)";
  DWORD size = sizeof file;
  RegGetValueW(HKEY_LOCAL_MACHINE, (Wide(kEventSources) + source).c_str(), L"EventMessageFile", RRF_RT_REG_SZ, nullptr,
               file, &size);
  return file;
}

Wide programFiles() {
  wchar_t folder[MAX_PATH];
  ExpandEnvironmentStringsW(L"%ProgramFiles%", folder, MAX_PATH);
  return folder;
}

bool fileShows(const Wide& path, const std::string& text) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  std::string content;
  char block[4096];
  DWORD got = 0;
  while (ReadFile(h, block, sizeof block, &got, nullptr) && got != 0) content.append(block, got);
  CloseHandle(h);
  return content.find(text) != std::string::npos;
}

void removeWatcher() {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE service = manager != nullptr ? OpenServiceW(manager, kWatcher, SERVICE_ALL_ACCESS) : nullptr;
  if (service != nullptr) {
    SERVICE_STATUS status = {};
    ControlService(service, SERVICE_CONTROL_STOP, &status);
    waitForWatcherState(SERVICE_STOPPED);
    DeleteService(service);
    CloseServiceHandle(service);
  }
  if (manager != nullptr) CloseServiceHandle(manager);
  for (const wchar_t* source : {L"qxlm", L"qxlm-watch"}) {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (Wide(kEventSources) + source).c_str());
  }
}

// Each test starts from a spooler without the monitor, its DLL, the test printer or
// the watcher service.
class SetupSpooler : public ::testing::Test {
 protected:
  void SetUp() override { clean(); }
  void TearDown() override { clean(); }

  static void clean() {
    removePrinterWithDriver();
    Wide name = kMonitor;
    DeleteMonitorW(nullptr, nullptr, &name[0]);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kMonitorKey);
    DeleteFileW(systemDll().c_str());
    removeWatcher();
  }
};

TEST_F(SetupSpooler, InstallRegistersTheMonitorThatTheSpoolerStartsAndTwiceIsHarmless) {
  const Wide folder = stage(L"qxlm-setup-install", false);
  const SetupRun first = runSetup(folder, L"install");
  EXPECT_EQ(0u, first.exitCode) << first.output;
  EXPECT_TRUE(says(first, "Registered the monitor \"QX Language Monitor\"")) << first.output;
  bool listed = false;
  for (const auto& monitor : monitors()) listed |= monitor.first == kMonitor && monitor.second == L"qxlm.dll";
  EXPECT_TRUE(listed);
  EXPECT_TRUE(GetFileAttributesW(systemDll().c_str()) != INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(SETTING_COUNT, storedSettings());

  // The spooler's loader starts every registered monitor to list ports: the monitor's
  // InitializePrintMonitor answers and writes back the setting taken away.
  setSetting(L"LPmode", nullptr);
  ASSERT_EQ(SETTING_COUNT - 1, storedSettings());
  DWORD needed = 0, count = 0;
  EnumPortsW(nullptr, 1, nullptr, 0, &needed, &count);
  EXPECT_EQ(SETTING_COUNT, storedSettings());

  const SetupRun second = runSetup(folder, L"install");
  EXPECT_EQ(0u, second.exitCode) << second.output;
  EXPECT_TRUE(says(second, "is up to date (version " QXLM_VERSION ".0)")) << second.output;
  EXPECT_TRUE(says(second, "is already registered")) << second.output;
  EXPECT_TRUE(registered());
}

TEST_F(SetupSpooler, StatusShowsTheVersionTheUsersAndEachSettingAgainstItsDefault) {
  const Wide folder = stage(L"qxlm-setup-status", false);
  const SetupRun notYet = runSetup(folder, L"status");
  EXPECT_EQ(4u, notYet.exitCode) << notYet.output;
  EXPECT_TRUE(says(notYet, "not registered")) << notYet.output;

  ASSERT_EQ(0u, runSetup(folder, L"install").exitCode);
  addPrinterWithDriver();
  ASSERT_EQ(0u, runSetup(folder, L"attach \"QX Setup Test Printer\"").exitCode);
  const DWORD rate = 2000;
  setSetting(L"HeartBeatRate", &rate);
  const SetupRun status = runSetup(folder, L"status");
  EXPECT_EQ(0u, status.exitCode) << status.output;
  for (const char* line :
       {"Monitor \"QX Language Monitor\": registered", ", version " QXLM_VERSION ".0",
        "Drivers that name it: \"QX Setup Test Driver\"", "Printers that use them: \"QX Setup Test Printer\"",
        "HeartBeatRate = 2000 (default 5000)", "USBPacketSize = 4096 (default)"}) {
    EXPECT_TRUE(says(status, line)) << line << "\n" << status.output;
  }
}

TEST_F(SetupSpooler, UninstallIsRefusedWhileADriverNamesTheMonitor) {
  const Wide folder = stage(L"qxlm-setup-uninstall", false);
  ASSERT_EQ(0u, runSetup(folder, L"install").exitCode);
  addPrinterWithDriver();

  const SetupRun attached = runSetup(folder, L"attach \"QX Setup Test Printer\"");
  EXPECT_EQ(0u, attached.exitCode) << attached.output;
  EXPECT_EQ(Wide(kMonitor), printerMonitor());
  const SetupRun refused = runSetup(folder, L"uninstall");
  EXPECT_EQ(5u, refused.exitCode) << refused.output;
  EXPECT_TRUE(says(refused, "\"QX Setup Test Driver\", used by \"QX Setup Test Printer\"")) << refused.output;
  EXPECT_TRUE(registered());

  const SetupRun detached = runSetup(folder, L"detach \"QX Setup Test Printer\"");
  EXPECT_EQ(0u, detached.exitCode) << detached.output;
  EXPECT_EQ(Wide(), printerMonitor());
  const SetupRun removed = runSetup(folder, L"uninstall");
  EXPECT_EQ(0u, removed.exitCode) << removed.output;
  EXPECT_FALSE(registered());
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(systemDll().c_str()));
  EXPECT_EQ(0u, storedSettings());
}

TEST_F(SetupSpooler, UnknownNamesAndBadCommandLinesAreRefusedWithTheirExitCodes) {
  const Wide folder = stage(L"qxlm-setup-errors", false);
  EXPECT_EQ(4u, runSetup(folder, L"uninstall").exitCode);
  EXPECT_EQ(4u, runSetup(folder, L"attach \"QX Setup Test Printer\"").exitCode);  // not installed yet
  ASSERT_EQ(0u, runSetup(folder, L"install").exitCode);
  const SetupRun noPrinter = runSetup(folder, L"attach \"No Such Printer\"");
  EXPECT_EQ(4u, noPrinter.exitCode) << noPrinter.output;
  EXPECT_TRUE(says(noPrinter, "(error 1801)")) << noPrinter.output;
  // A name that another DLL's monitor holds is not taken over.
  const SetupRun taken = runSetup(folder, L"install --name \"Local Port\"");
  EXPECT_EQ(5u, taken.exitCode) << taken.output;
  EXPECT_EQ(1u, runSetup(folder, L"attach").exitCode);
  EXPECT_EQ(1u, runSetup(folder, L"reinstall").exitCode);
}

TEST_F(SetupSpooler, ACopyTheSpoolerHoldsIsNeitherReplacedNorDeletedAtOnce) {
  ASSERT_EQ(0u, runSetup(stage(L"qxlm-setup-held", false), L"install").exitCode);
  HMODULE held = LoadLibraryW(systemDll().c_str());  // as the spooler's process holds it
  ASSERT_NE(nullptr, held);

  const SetupRun newer = runSetup(stage(L"qxlm-setup-held-new", true), L"install");
  EXPECT_EQ(7u, newer.exitCode) << newer.output;
  EXPECT_TRUE(says(newer, "is in use by the print spooler and was not replaced")) << newer.output;
  EXPECT_TRUE(says(newer, "net stop spooler")) << newer.output;

  const SetupRun removed = runSetup(stage(L"qxlm-setup-held", false), L"uninstall");
  EXPECT_EQ(0u, removed.exitCode) << removed.output;
  EXPECT_TRUE(says(removed, "Windows removes it at the next restart")) << removed.output;
  EXPECT_FALSE(registered());

  // The removal waits for a restart that this prefix never has: undo it here.
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0, KEY_SET_VALUE,
                    &key) == ERROR_SUCCESS) {
    RegDeleteValueW(key, L"PendingFileRenameOperations");
    RegCloseKey(key);
  }
  FreeLibrary(held);
}

TEST_F(SetupSpooler, TheWatcherServiceRunsAsLocalServiceWritesTheMetricsAndGoesWithUninstall) {
  const Wide folder = stage(L"qxlm-setup-watcher", false);
  const Wide metricsFolder = tempFolder(L"qxlm-setup-metrics") + L"textfile_inputs";
  const Wide metrics = metricsFolder + L"\\qxlm.prom";
  DeleteFileW(metrics.c_str());
  const Wide program = programFiles() + L"\\qxlm\\qxlm-ctl.exe";
  const SetupRun installed = runSetup(folder, L"install --watcher --metrics-folder \"" + metricsFolder + L"\"");
  EXPECT_EQ(0u, installed.exitCode) << installed.output;
  EXPECT_TRUE(says(installed, "Started the service qxlm-watch.")) << installed.output;

  WatcherService watcher;
  ASSERT_TRUE(watcherService(&watcher));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), watcher.state);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_AUTO_START), watcher.startType);
  EXPECT_EQ(Wide(L"NT AUTHORITY\\LocalService"), watcher.account);
  EXPECT_EQ(L"\"" + program + L"\" service --metrics \"" + metrics + L"\"", watcher.commandLine);
  EXPECT_EQ(systemDll(), eventMessageFile(L"qxlm"));
  EXPECT_EQ(program, eventMessageFile(L"qxlm-watch"));
  // Wine's service manager keeps no recovery actions, and setup says so.
  if (says(installed, "Recovery: restart after")) {
    EXPECT_EQ((std::vector<DWORD>{10000, 60000, 300000}), watcherRestartDelays());
  } else {
    EXPECT_TRUE(says(installed, "warning: the service manager did not keep the recovery actions")) << installed.output;
  }
  // Wine lists no pipes, so the service watches no port there; the file still comes.
  bool written = false;
  for (int i = 0; i < 600 && !(written = fileShows(metrics, "# TYPE qxlm_port_up gauge\n")); ++i) Sleep(100);
  EXPECT_TRUE(written);

  // Again: the running service is stopped, updated and started.
  const SetupRun again = runSetup(folder, L"install --watcher --metrics-folder \"" + metricsFolder + L"\"");
  EXPECT_EQ(0u, again.exitCode) << again.output;
  EXPECT_TRUE(says(again, "Updated the service qxlm-watch")) << again.output;
  EXPECT_TRUE(waitForWatcherState(SERVICE_RUNNING));

  const SetupRun removed = runSetup(folder, L"uninstall");
  EXPECT_EQ(0u, removed.exitCode) << removed.output;
  EXPECT_TRUE(says(removed, "Removed the service qxlm-watch.")) << removed.output;
  EXPECT_FALSE(watcherService(&watcher));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(program.c_str()));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(metrics.c_str()));
  EXPECT_EQ(Wide(L"(none)"), eventMessageFile(L"qxlm"));
  EXPECT_EQ(Wide(L"(none)"), eventMessageFile(L"qxlm-watch"));
}

}  // namespace
