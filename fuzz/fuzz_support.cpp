#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "entry/monitor_entry.h"
#include "platform/clock.h"
#include "platform/debug_output.h"
#include "port/debug_trace.h"
#include "port/monitor_state.h"
#include "port/port_entry_points.h"
#include "port/settings.h"

namespace fuzz {

// ------------------------------------------------------------------ input

uint8_t Input::byte() { return pos_ < size_ ? data_[pos_++] : 0; }

uint16_t Input::word() {
  const uint16_t high = byte();
  return static_cast<uint16_t>((high << 8) | byte());
}

std::vector<BYTE> Input::bytes(size_t count) {
  if (count > left()) count = left();
  std::vector<BYTE> out(data_ + pos_, data_ + pos_ + count);
  pos_ += count;
  return out;
}

std::vector<BYTE> Input::rest() { return bytes(left()); }

std::string Input::text() {
  std::string out;
  while (pos_ < size_) {
    const char c = static_cast<char>(data_[pos_++]);
    if (c == '\0') break;
    out.push_back(c);
  }
  return out;
}

// ---------------------------------------------------------------- monitor

namespace {

// Every line is formatted and handed over; the fuzzer checks that none overruns.
void dropLine(LPCSTR line, void*) {
  if (strlen(line) >= 4096) fail("trace line without its end");
}

std::u16string g_root;

}  // namespace

std::u16string widen(const std::string& text) {
  std::u16string wide;
  for (unsigned char c : text) wide.push_back(static_cast<char16_t>(c));
  return wide;
}

void fail(const char* what) {
  fprintf(stderr, "fuzz check failed: %s\n", what);
  abort();
}

LPCWSTR startMonitor(const char* target, const std::vector<RegistryValue>& values) {
  // In memory where the machine offers it: the event log writes through to disk.
  char folder[] = "/dev/shm/qxlm-fuzz-XXXXXX";
  char fallback[] = "/tmp/qxlm-fuzz-XXXXXX";
  const char* made = mkdtemp(folder);
  if (made == nullptr) made = mkdtemp(fallback);
  if (made == nullptr) fail("no temporary folder");
  setenv("QXLM_WINDOWS_DIR", made, 1);

  ProcessAttach(nullptr);
  clockSetScale(1e-6);
  debugOutputCapture(&dropLine, nullptr);

  g_root = widen(std::string("SOFTWARE\\qxlm-fuzz\\") + target);
  setSetting(g_root.c_str(), "EnableDiags", DIAG_ALL_RAW | DIAG_INFO | DIAG_ERRORS | DIAG_PRINTER_PREFIX);
  setSetting(g_root.c_str(), "EnableHeartBeat", 0);
  for (const RegistryValue& value : values) setSetting(g_root.c_str(), value.name, value.value);
  if (InitializePrintMonitor(&g_root[0]) == nullptr) fail("the monitor did not start");
  return g_root.c_str();
}

void setSetting(LPCWSTR root, const char* name, DWORD value) {
  HKEY hKey = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, root, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_SET_VALUE,
                      nullptr, &hKey, nullptr) != ERROR_SUCCESS) {
    fail("settings key");
  }
  const std::u16string wide = widen(name);
  RegSetValueExW(hKey, wide.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(hKey);
  readMonitorSettings(root);
}

// ----------------------------------------------------------- lower port

namespace {

std::mutex g_scriptLock;
std::vector<ScriptedRead> g_script;
size_t g_next = 0;
BYTE g_lowerPort;  // its address is the lower port's handle

BOOL WINAPI scriptedOpenPort(LPWSTR, PHANDLE pHandle) {
  *pHandle = &g_lowerPort;
  return TRUE;
}

BOOL WINAPI scriptedStartDoc(HANDLE, LPWSTR, DWORD, DWORD, LPBYTE) { return TRUE; }

BOOL WINAPI scriptedWrite(HANDLE, LPBYTE, DWORD cbBuf, LPDWORD pcbWritten) {
  *pcbWritten = cbBuf;
  return TRUE;
}

BOOL WINAPI scriptedRead(HANDLE, LPBYTE pBuffer, DWORD cbBuffer, LPDWORD pcbRead) {
  ScriptedRead read;
  {
    std::lock_guard<std::mutex> guard(g_scriptLock);
    if (g_next < g_script.size()) read = g_script[g_next++];
  }
  if (read.error != 0) {
    if (pcbRead != nullptr) *pcbRead = 0;
    SetLastError(read.error);
    return FALSE;
  }
  const DWORD count = read.bytes.size() < cbBuffer ? static_cast<DWORD>(read.bytes.size()) : cbBuffer;
  if (count != 0) memcpy(pBuffer, read.bytes.data(), count);
  if (pcbRead != nullptr) *pcbRead = read.overstate ? static_cast<DWORD>(read.bytes.size()) : count;
  return TRUE;
}

BOOL WINAPI scriptedEndDoc(HANDLE) { return TRUE; }
BOOL WINAPI scriptedClose(HANDLE) { return TRUE; }

BOOL WINAPI scriptedPrinterData(HANDLE, DWORD, LPWSTR, LPWSTR, DWORD, LPWSTR, DWORD, LPDWORD pcbReturned) {
  if (pcbReturned != nullptr) *pcbReturned = 0;
  return TRUE;
}

BOOL WINAPI scriptedTimeOuts(HANDLE, LPCOMMTIMEOUTS, DWORD) { return TRUE; }

}  // namespace

void scriptReads(std::vector<ScriptedRead> reads) {
  std::lock_guard<std::mutex> guard(g_scriptLock);
  g_script = std::move(reads);
  g_next = 0;
}

std::vector<ScriptedRead> readScript(Input& input, size_t maxReads) {
  std::vector<ScriptedRead> reads;
  size_t count = input.byte() % (maxReads + 1);
  while (count-- > 0 && !input.empty()) {
    ScriptedRead read;
    const BYTE kind = input.byte();
    const size_t length = input.word() % 2049;
    switch (kind & 3) {
      case 0:
        break;
      case 1:
        read.overstate = true;
        break;
      case 2:
        read.error = ERROR_CRC;
        break;
      default:
        read.error = ERROR_TIMEOUT;
        break;
    }
    if (read.error == 0) read.bytes = input.bytes(length);
    reads.push_back(std::move(read));
  }
  return reads;
}

MONITOR scriptedLowerMonitor() {
  MONITOR table = {};
  table.pfnOpenPort = &scriptedOpenPort;
  table.pfnStartDocPort = &scriptedStartDoc;
  table.pfnWritePort = &scriptedWrite;
  table.pfnReadPort = &scriptedRead;
  table.pfnEndDocPort = &scriptedEndDoc;
  table.pfnClosePort = &scriptedClose;
  table.pfnGetPrinterDataFromPort = &scriptedPrinterData;
  table.pfnSetPortTimeOuts = &scriptedTimeOuts;
  return table;
}

INIPORT* openScriptedPort(const char* portName, const char* printerName) {
  std::u16string port = widen(portName);
  std::u16string printer = widen(printerName);
  MONITOR lower = scriptedLowerMonitor();
  HANDLE hPort = nullptr;
  if (!MonOpenPort(&port[0], &printer[0], &hPort, &lower)) {
    fail("the scripted port did not open");
  }
  return static_cast<INIPORT*>(hPort);
}

}  // namespace fuzz
