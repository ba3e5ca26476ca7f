#include <cstdio>

#include "diag/debug_trace.h"
#include "diag/event_log.h"
#include "monitor/port_record.h"

namespace {

#define COMPUTER_NAME_SIZE 273
#define PRINTER_FILE_NAME_SIZE 512

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

  char printer[PRINTER_FILE_NAME_SIZE];
  printerFileName(pIniPort, printer, sizeof printer);
  // A path longer than the buffer is cut; it still names this printer's own file.
  snprintf(path, size, "%s\\Temp\\%s_%s.log", windows, printer, computer);
  return TRUE;
}
