#include <cstdio>
#include <cstring>

#include "log/event_log.h"
#include "port/debug_trace.h"
#include "port/port_record.h"

namespace {

#define COMPUTER_NAME_SIZE 273
// Long enough to tell printers apart, short enough that the whole path stays within
// what every file call takes.
#define PRINTER_FILE_NAME_SIZE 101

BOOL standsInFileName(unsigned char c) {
  if (c < 0x20) return FALSE;
  switch (c) {
    case '\\': case '/': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
      return FALSE;
    default:
      return TRUE;
  }
}

// Narrowed from the wide name rather than taken from PrinterName: a unit whose low
// byte is 0 would end the narrow copy early, and here it becomes "_" like any other
// character that cannot stand in a file name.
void printerFileName(const INIPORT* pIniPort, LPSTR out, size_t size) {
  size_t i = 0;
  for (; i + 1 < size && pIniPort->PrinterNameW[i] != 0; ++i) {
    const unsigned char c = static_cast<unsigned char>(pIniPort->PrinterNameW[i] & 0xFF);
    out[i] = standsInFileName(c) ? static_cast<char>(c) : '_';
  }
  out[i] = '\0';
}

BOOL sameLetters(LPCSTR a, LPCSTR b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    const char upper = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 'a' + 'A') : a[i];
    if (upper != b[i]) return FALSE;
  }
  return TRUE;
}

// A file name whose part before its first dot is a device's ("NUL.x_PC.log",
// "com1.a_PC.log") opens the device: a printer name that would make one gets a
// "_" in front.
BOOL namesADevice(LPCSTR name) {
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "COM", "LPT", "CONIN$", "CONOUT$"};
  size_t length = strcspn(name, ".");
  if (name[length] != '.') return FALSE;  // "_computer.log" follows the name
  while (length > 0 && name[length - 1] == ' ') --length;
  for (const char* device : kDevices) {
    const size_t n = strlen(device);
    const BOOL numbered = strcmp(device, "COM") == 0 || strcmp(device, "LPT") == 0;
    if (length != n + (numbered ? 1 : 0) || !sameLetters(name, device, n)) continue;
    if (!numbered || (name[n] >= '0' && name[n] <= '9')) return TRUE;
  }
  return FALSE;
}

void traceComputerNameError(INIPORT* pIniPort) {
  const DWORD code = GetLastError();
  char text[ERROR_TEXT_SIZE];
  GetErrorText(code, text);
  DebugTraceRawF("DRWlogger - Can't get Computer Name%s\r\n", text);
  DebugTraceF(pIniPort, TRACE_ERROR, "DRWlogger - Can't get Computer Name Last Error number is %u",
              static_cast<unsigned>(code));
}

}  // namespace

BOOL BuildLogFilePath(INIPORT* pIniPort, LPSTR path, size_t size) {
  char computer[COMPUTER_NAME_SIZE];
  DWORD computerSize = sizeof computer;
  if (!GetComputerNameA(computer, &computerSize)) {
    traceComputerNameError(pIniPort);
    return FALSE;
  }
  DebugTraceF(pIniPort, TRACE_INFO, "DRWlogger - Computer name = %s", computer);

  char windows[LOG_PATH_SIZE];
  const UINT windowsLength = GetWindowsDirectoryA(windows, sizeof windows);
  if (windowsLength == 0 || windowsLength >= sizeof windows) {
    DebugTraceF(pIniPort, TRACE_ERROR, "DRWlogger - No Windows directory, error %u",
                static_cast<unsigned>(GetLastError()));
    return FALSE;
  }

  char printer[PRINTER_FILE_NAME_SIZE + 1];
  printer[0] = '_';
  printerFileName(pIniPort, printer + 1, sizeof printer - 1);
  const LPCSTR name = namesADevice(printer + 1) ? printer : printer + 1;
  // A path longer than the buffer is cut; it still names this printer's own file.
  snprintf(path, size, "%s\\Temp\\%s_%s.log", windows, name, computer);
  return TRUE;
}
