#include "log/status_log.h"

#include <cstdio>

#include "log/event_log.h"

void writeEntryWithSuffix(INIPORT* pIniPort, HANDLE hLogFile, LPCSTR dateTime, LPCSTR text, LPCSTR suffix,
                          LPCSTR code) {
  char entry[LOG_LINE_SIZE];
  snprintf(entry, sizeof entry, "%s%s", text, suffix);
  WriteLogEntry(pIniPort, hLogFile, entry, dateTime, code);
}

void writeConditionEntries(INIPORT* pIniPort, HANDLE hLogFile, LPCSTR dateTime, DWORD statusWord,
                           const LogCondition* conditions, size_t count, LPCSTR suffix) {
  for (size_t i = 0; i < count; ++i) {
    if ((statusWord & conditions[i].bits) == conditions[i].bits) {
      writeEntryWithSuffix(pIniPort, hLogFile, dateTime, conditions[i].text, suffix, conditions[i].code);
    }
  }
}
