// One lock per log file, whichever port writes it: the ports of a pooled printer,
// and printers whose names make the same file name, write one file. A lock is made
// when a writer first asks for it and goes when no writer holds or waits for it.
#include <cstring>

#include "log/event_log.h"
#include "log/log_lock.h"
#include "port/port_record.h"

struct LogFileLock {
  LogFileLock* next;
  CRITICAL_SECTION lock;
  LONG users;  // writers holding or waiting for lock
  char path[LOG_PATH_SIZE];
};

namespace {

// An open log handle and the lock its writer holds until the handle is closed.
struct OpenLog {
  OpenLog* next;
  HANDLE hLogFile;
  LogFileLock* fileLock;
};

// Guards the two lists; held only for a moment, never while waiting for a file.
CRITICAL_SECTION g_lists;
LogFileLock* g_fileLocks = nullptr;
OpenLog* g_openLogs = nullptr;

char foldCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Under g_lists.
LogFileLock* findOrAdd(LPCSTR path) {
  for (LogFileLock* entry = g_fileLocks; entry != nullptr; entry = entry->next) {
    if (SameLogFile(entry->path, path)) return entry;
  }
  LogFileLock* entry = static_cast<LogFileLock*>(AllocSplMem(sizeof(LogFileLock)));
  if (entry == nullptr) return nullptr;
  InitializeCriticalSection(&entry->lock);
  memcpy(entry->path, path, strnlen(path, sizeof entry->path - 1));
  entry->next = g_fileLocks;
  g_fileLocks = entry;
  return entry;
}

// Under g_lists.
void removeIfUnused(LogFileLock* entry) {
  if (entry->users != 0) return;
  for (LogFileLock** link = &g_fileLocks; *link != nullptr; link = &(*link)->next) {
    if (*link == entry) {
      *link = entry->next;
      break;
    }
  }
  DeleteCriticalSection(&entry->lock);
  FreeSplMem(entry);
}

}  // namespace

BOOL SameLogFile(LPCSTR a, LPCSTR b) {
  for (; *a != '\0' && foldCase(*a) == foldCase(*b); ++a, ++b) {
  }
  return foldCase(*a) == foldCase(*b);
}

void InitializeLogFileLocks(void) { InitializeCriticalSection(&g_lists); }

LogFileLock* EnterLogFileLock(LPCSTR path) {
  EnterCriticalSection(&g_lists);
  LogFileLock* entry = findOrAdd(path);
  if (entry != nullptr) ++entry->users;
  LeaveCriticalSection(&g_lists);
  if (entry != nullptr) EnterCriticalSection(&entry->lock);
  return entry;
}

void LeaveLogFileLock(LogFileLock* fileLock) {
  LeaveCriticalSection(&fileLock->lock);
  EnterCriticalSection(&g_lists);
  --fileLock->users;
  removeIfUnused(fileLock);
  LeaveCriticalSection(&g_lists);
}

BOOL KeepLogFileLock(HANDLE hLogFile, LogFileLock* fileLock) {
  OpenLog* open = static_cast<OpenLog*>(AllocSplMem(sizeof(OpenLog)));
  if (open == nullptr) return FALSE;
  open->hLogFile = hLogFile;
  open->fileLock = fileLock;
  EnterCriticalSection(&g_lists);
  open->next = g_openLogs;
  g_openLogs = open;
  LeaveCriticalSection(&g_lists);
  return TRUE;
}

LogFileLock* TakeLogFileLock(HANDLE hLogFile) {
  LogFileLock* fileLock = nullptr;
  EnterCriticalSection(&g_lists);
  for (OpenLog** link = &g_openLogs; *link != nullptr; link = &(*link)->next) {
    OpenLog* open = *link;
    if (open->hLogFile == hLogFile) {
      *link = open->next;
      fileLock = open->fileLock;
      FreeSplMem(open);
      break;
    }
  }
  LeaveCriticalSection(&g_lists);
  return fileLock;
}
