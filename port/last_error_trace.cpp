// The trace of a failed platform call: the caller's text, the system's message for
// the thread's last error, and the error number.
#include <cstdio>
#include <cstring>

#include "port/debug_trace.h"
#include "port/error_text.h"
#include "port/settings.h"

namespace {

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
    SystemMessageText(code, text, static_cast<int>(sizeof text));
    joinLine(line, prefix, text);
    DebugTraceRaw(line);
  }

  char number[64];
  snprintf(number, sizeof number, "Last Error number is %d", static_cast<int>(code));
  joinLine(line, prefix, number);
  DebugTrace(pIniPort, TRACE_ERROR, line);

  SetLastError(code);  // tracing leaves the caller's error as it found it
}
