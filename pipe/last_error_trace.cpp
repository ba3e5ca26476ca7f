// The trace of a failed platform call: the caller's text, the system's message for
// the thread's last error, and the error number.
#include <cstdio>
#include <cstring>

#include "diag/debug_trace.h"
#include "monitor/settings.h"
#include "pipe/device_control.h"

namespace {

// The system's text for an error code in the ANSI code page; empty when there is none.
void systemErrorText(DWORD code, LPSTR text, int size) {
  text[0] = '\0';
  LPWSTR pMessage = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      0x0400, reinterpret_cast<LPWSTR>(&pMessage), 0, nullptr);
  if (length != 0 && pMessage != nullptr) {
    if (WideCharToMultiByte(CP_ACP, 0, pMessage, -1, text, size, nullptr, nullptr) == 0) text[0] = '\0';
  }
  if (pMessage != nullptr) LocalFree(pMessage);
}

// prefix followed by tail in one line of TRACE_LINE_SIZE bytes; a long prefix is cut
// so that the tail, which says what happened, always survives.
void joinLine(LPSTR line, LPCSTR prefix, LPCSTR tail) {
  const size_t tailLength = strlen(tail);
  const size_t room = tailLength < TRACE_LINE_SIZE - 1 ? TRACE_LINE_SIZE - 1 - tailLength : 0;
  snprintf(line, TRACE_LINE_SIZE, "%.*s%s", static_cast<int>(room), prefix, tail);
}

}  // namespace

void traceLastError(INIPORT* pIniPort, LPCSTR prefix) {
  const DWORD code = GetLastError();
  if (prefix == nullptr) prefix = "";
  char line[TRACE_LINE_SIZE];

  if (Settings.EnableDiags != 0) {
    char text[1024];
    systemErrorText(code, text, static_cast<int>(sizeof text));
    joinLine(line, prefix, text);
    DebugTraceRaw(line);
  }

  char number[64];
  snprintf(number, sizeof number, "Last Error number is %d", static_cast<int>(code));
  joinLine(line, prefix, number);
  DebugTrace(pIniPort, TRACE_ERROR, line);

  SetLastError(code);  // tracing leaves the caller's error as it found it
}
