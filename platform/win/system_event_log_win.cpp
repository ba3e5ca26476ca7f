// The shipped DLL's event records: the Application log, source "qxlm".
#include "platform/system_event_log.h"

BOOL systemEventReport(WORD type, DWORD eventId, LPCWSTR text) {
  HANDLE source = RegisterEventSourceW(nullptr, L"qxlm");
  if (source == nullptr) return FALSE;
  LPCWSTR strings[1] = {text};
  const BOOL ok = ReportEventW(source, type, 0, eventId, nullptr, 1, 0, strings, nullptr);
  DeregisterEventSource(source);
  return ok;
}
