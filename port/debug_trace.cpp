#include "port/debug_trace.h"

#include <cstdarg>
#include <cstdio>

#include "platform/debug_output.h"
#include "port/port_record.h"
#include "port/settings.h"

namespace {

BOOL levelSelected(DWORD diags, int level) {
  if (diags & DIAG_ALL_RAW) return TRUE;
  const BOOL info = (diags & DIAG_INFO) != 0;
  const BOOL errors = (diags & DIAG_ERRORS) != 0;
  if (info && errors) return TRUE;
  if (info) return level == TRACE_INFO;
  if (errors) return level == TRACE_ERROR;
  return FALSE;
}

// Appends text at `length`, as much as fits with the terminator; the new length.
size_t appendCut(LPSTR buffer, size_t size, size_t length, LPCSTR text) {
  while (length + 1 < size && *text != '\0') buffer[length++] = *text++;
  buffer[length] = '\0';
  return length;
}

void emit(INIPORT* pIniPort, DWORD diags, LPCSTR text) {
  if ((diags & DIAG_ALL_RAW) || !(diags & DIAG_PRINTER_PREFIX) || pIniPort == nullptr) {
    debugOutput(text);
    return;
  }
  // A joined line longer than the buffer keeps its first 1,023 characters.
  char line[TRACE_LINE_SIZE];
  size_t length = appendCut(line, sizeof line, 0, pIniPort->PrinterName);
  length = appendCut(line, sizeof line, length, " - ");
  appendCut(line, sizeof line, length, text);
  debugOutput(line);
}

}  // namespace

BOOL DebugTraceEnabled(int level) { return levelSelected(Settings.EnableDiags, level); }

void DebugTrace(INIPORT* pIniPort, int level, LPCSTR text) {
  const DWORD diags = Settings.EnableDiags;
  if (!levelSelected(diags, level)) return;
  emit(pIniPort, diags, text);
}

void DebugTraceF(INIPORT* pIniPort, int level, LPCSTR format, ...) {
  const DWORD diags = Settings.EnableDiags;
  if (!levelSelected(diags, level)) return;
  char text[TRACE_LINE_SIZE];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  emit(pIniPort, diags, text);
}

void DebugTraceRaw(LPCSTR text) {
  if (Settings.EnableDiags != 0) debugOutput(text);
}

void DebugTraceRawF(LPCSTR format, ...) {
  if (Settings.EnableDiags == 0) return;
  char text[TRACE_LINE_SIZE];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  debugOutput(text);
}

void narrowCopy(LPSTR out, size_t outSize, LPCWSTR in) {
  if (outSize == 0) return;
  size_t i = 0;
  if (in != nullptr) {
    for (; i + 1 < outSize && in[i] != 0; ++i) out[i] = static_cast<char>(in[i] & 0xFF);
  }
  out[i] = '\0';
}
