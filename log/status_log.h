// Helpers shared by the log writers that report printer conditions.
#pragma once

#include "platform/win32_api.h"

struct INIPORT;

// One printer condition of the bitwise status and its entry.
struct LogCondition {
  DWORD bits;  // all of them must be set
  LPCSTR text;
  LPCSTR code;
};

// Writes "text + suffix" with the code of each condition present in statusWord.
void writeConditionEntries(INIPORT* pIniPort, HANDLE hLogFile, LPCSTR dateTime, DWORD statusWord,
                           const LogCondition* conditions, size_t count, LPCSTR suffix);

// Writes text followed by suffix as one entry.
void writeEntryWithSuffix(INIPORT* pIniPort, HANDLE hLogFile, LPCSTR dateTime, LPCSTR text, LPCSTR suffix,
                          LPCSTR code);
