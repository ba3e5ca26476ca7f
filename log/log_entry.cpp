#include <cstdio>
#include <cstring>

#include "log/event_log.h"
#include "port/debug_trace.h"
#include "port/port_record.h"
#include "port/settings.h"

namespace {

// The length of the longest start of text that fits in room bytes without splitting
// a double-byte character of the code page.
size_t fittingLength(LPCSTR text, size_t room) {
  size_t length = 0;
  while (text[length] != '\0') {
    const size_t step = (IsDBCSLeadByte(static_cast<BYTE>(text[length])) && text[length + 1] != '\0') ? 2 : 1;
    if (length + step > room) break;
    length += step;
  }
  return length;
}

}  // namespace

void GetLogDateTime(LPSTR text, size_t size) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char time[LOG_DATE_TIME_SIZE];
  if (GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_FORCE24HOURFORMAT, &now, "hh':'mm':'ss", time, sizeof time) == 0) {
    snprintf(time, sizeof time, "%2.2d:%2.2d:%2.2d", now.wHour, now.wMinute, now.wSecond);
  }
  snprintf(text, size, "\"%d/%2.2d/%2.2d\",\"%s\",", now.wYear, now.wMonth, now.wDay, time);
}

void WriteLogEntry(INIPORT* pIniPort, HANDLE hLogFile, LPCSTR text, LPCSTR dateTime, LPCSTR code) {
  static const char kTail[] = "\"\r\n";
  const size_t tailLength = sizeof kTail - 1;
  char line[LOG_LINE_SIZE];
  const int written = snprintf(line, sizeof line - tailLength, "\"%s\",%s\"", code, dateTime);
  size_t length = written < 0 ? 0 : strlen(line);
  // An over-long text is cut so that the line still ends in its quote and line end.
  const size_t room = sizeof line - 1 - tailLength - length;
  const size_t textLength = fittingLength(text, room);
  if (text[textLength] != '\0') {
    DebugTraceF(pIniPort, TRACE_INFO, "WriteLogEntry - Entry %s cut to %u characters", code,
                static_cast<unsigned>(textLength));
  }
  // Bytes from the printer may be in the text: a control character would break the
  // one-line-per-entry structure that readers of the log rely on.
  for (size_t i = 0; i < textLength; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    line[length + i] = (c < 0x20 || c == 0x7F) ? '?' : static_cast<char>(c);
  }
  length += textLength;
  memcpy(line + length, kTail, tailLength);
  length += tailLength;

  // Both offsets all ones: the line goes to the end of the file as it is then, in
  // one write, wherever this handle's file pointer stands.
  OVERLAPPED atEnd = {};
  atEnd.Offset = 0xFFFFFFFFu;
  atEnd.OffsetHigh = 0xFFFFFFFFu;
  DWORD done = 0;
  WriteFile(hLogFile, line, static_cast<DWORD>(length), &done, &atEnd);
}

BOOL TextLogFile(INIPORT* pIniPort, LPCSTR text, LPCSTR code, DWORD logClass) {
  if (Settings.DRWenable == 0 || (logClass & Settings.DRWdebugMask) == 0) return TRUE;

  EnterCriticalSection(&pIniPort->LogLock);
  HANDLE hLogFile = INVALID_HANDLE_VALUE;
  const BOOL opened = OpenLogFile(pIniPort, &hLogFile);
  if (opened) {
    char dateTime[LOG_DATE_TIME_SIZE];
    GetLogDateTime(dateTime, sizeof dateTime);
    WriteLogEntry(pIniPort, hLogFile, text, dateTime, code);
    CloseLogFile(&hLogFile);
  } else {
    DebugTrace(pIniPort, TRACE_ERROR, "TextLogFile - Could not open log file");
  }
  LeaveCriticalSection(&pIniPort->LogLock);
  return opened;
}
