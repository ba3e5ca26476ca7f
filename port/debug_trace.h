// The debug trace: text lines to the debugger output, filtered by "EnableDiags".
#pragma once

#include "platform/win32_api.h"

struct INIPORT;

#define TRACE_ERROR 0
#define TRACE_INFO 1

#define DIAG_ALL_RAW 0x00000001u
#define DIAG_INFO 0x00000002u
#define DIAG_ERRORS 0x00000004u
#define DIAG_PRINTER_PREFIX 0x80000000u

#define TRACE_LINE_SIZE 1024

// The level trace: emitted as "EnableDiags" says, with the printer name in front
// under DIAG_PRINTER_PREFIX.
void DebugTrace(INIPORT* pIniPort, int level, LPCSTR text);

// The level trace with printf formatting. Nothing is formatted when the line
// would not be emitted, so traces cost one test on the hot paths.
void DebugTraceF(INIPORT* pIniPort, int level, LPCSTR format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

// The direct trace: the text unchanged whenever "EnableDiags" is non-zero.
void DebugTraceRaw(LPCSTR text);
void DebugTraceRawF(LPCSTR format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Whether a level trace of this level would be emitted now.
BOOL DebugTraceEnabled(int level);

// Traces the calling thread's last error after prefix, with the system's text for
// it; the last error stays as it was.
void traceLastError(INIPORT* pIniPort, LPCSTR prefix);

// Narrows a UTF-16 text by keeping the low byte of each unit; always terminated.
void narrowCopy(LPSTR out, size_t outSize, LPCWSTR in);
