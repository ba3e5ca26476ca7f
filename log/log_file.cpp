// The event log's file. It lives in a folder where every local user may create
// files, under a name anyone can predict, and the monitor writes it as SYSTEM: it
// writes only to a file whose one name is the log's (a link planted at the name is
// removed, never written through), trims it in place through the handle it has
// checked, and lets one writer at a time at it, whichever port that writer serves.
// Its opens, deletes and renames wait a bounded time only (log_file_call.h): a line
// that cannot wait for a file another user holds is not written.
#include <cstdio>
#include <cstring>

#include "log/event_log.h"
#include "log/log_file_call.h"
#include "log/log_lock.h"
#include "platform/file_owner.h"
#include "port/debug_trace.h"
#include "port/port_record.h"
#include "port/settings.h"

namespace {

#define LOG_COPY_BLOCK 16384
// How far past the cut point a line end is looked for: far beyond the longest line
// the monitor writes, so that only a file that is not a log at all is cut mid-line.
#define LOG_LINE_SEARCH_LIMIT 65536

enum FileKind { OWN_FILE, LINKED_FILE, UNKNOWN_FILE };

// A file of the log's own has no other name than this one and is no reparse point:
// a hard link or a symbolic link may lead to any file SYSTEM can write.
FileKind kindOf(HANDLE hFile) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(hFile, &info)) return UNKNOWN_FILE;
  const BOOL plain = (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0;
  return plain && info.nNumberOfLinks == 1 ? OWN_FILE : LINKED_FILE;
}

// hFile when it is a file of its own; otherwise closed, and INVALID_HANDLE_VALUE.
HANDLE keepOwnFile(HANDLE hFile, FileKind* kind) {
  *kind = hFile == INVALID_HANDLE_VALUE ? UNKNOWN_FILE : kindOf(hFile);
  if (*kind == OWN_FILE) return hFile;
  if (hFile != INVALID_HANDLE_VALUE) CloseHandle(hFile);
  return INVALID_HANDLE_VALUE;
}

// A file another user made at the log's name (before the monitor did, to read,
// forge or hold the log) is moved aside, never written; the new log says so.
BOOL moveForeignFileAside(INIPORT* pIniPort, LPCSTR path) {
  if (fileOwnedBySelf(path)) return TRUE;
  char aside[LOG_PATH_SIZE + 8];
  snprintf(aside, sizeof aside, "%s.foreign", path);
  const BOOL moved = LogFileMove(path, aside);
  const DWORD error = GetLastError();
  char text[2 * LOG_PATH_SIZE + 128];  // the log line cuts it to fit
  if (moved) {
    snprintf(text, sizeof text, "DRWlogger - %s was not the monitor's own file, moved to %s", path, aside);
  } else {
    snprintf(text, sizeof text, "DRWlogger - %s is not the monitor's own file and could not be moved, error %u", path,
             static_cast<unsigned>(error));
  }
  DebugTrace(pIniPort, TRACE_ERROR, text);
  // The new file takes the line first; the entry being written follows it.
  if (moved) TextLogFile(pIniPort, text, "0032", DRW_ERRORS);
  return moved;
}

// The file at path, opened only when it is a file of its own. A link found there
// is taken for a planted one: its name is removed (the file it leads to stays as it
// is) and a new file is made in its place, never opened through an existing one.
HANDLE openOwnFile(INIPORT* pIniPort, LPCSTR path) {
  if (!moveForeignFileAside(pIniPort, path)) return INVALID_HANDLE_VALUE;
  FileKind kind = UNKNOWN_FILE;
  HANDLE hFile = keepOwnFile(LogFileOpen(path, OPEN_ALWAYS), &kind);
  if (kind != LINKED_FILE) return hFile;
  DebugTraceF(pIniPort, TRACE_ERROR, "DRWlogger - %s is a link to another file, its name is removed", path);
  if (!LogFileDelete(path)) {
    DebugTraceF(pIniPort, TRACE_ERROR, "DRWlogger - Could not remove %s, error %u", path,
                static_cast<unsigned>(GetLastError()));
    return INVALID_HANDLE_VALUE;
  }
  return keepOwnFile(LogFileOpen(path, CREATE_NEW), &kind);
}

// A new backup file, made only where the old one could be removed. The log is
// trimmed without one when it cannot be made (a viewer may hold the old one open).
HANDLE createBackup(INIPORT* pIniPort, LPCSTR backup) {
  HANDLE hBackup = INVALID_HANDLE_VALUE;
  if (LogFileDelete(backup) || GetLastError() == ERROR_FILE_NOT_FOUND) {
    FileKind kind = UNKNOWN_FILE;
    hBackup = keepOwnFile(LogFileOpen(backup, CREATE_NEW), &kind);
  }
  if (hBackup == INVALID_HANDLE_VALUE) {
    DebugTraceF(pIniPort, TRACE_ERROR, "DRWlogger - Could not create backup file %s, error %u", backup,
                static_cast<unsigned>(GetLastError()));
  }
  return hBackup;
}

BOOL fileSize(HANDLE hFile, ULONGLONG* size) {
  DWORD high = 0;
  SetLastError(NO_ERROR);
  const DWORD low = GetFileSize(hFile, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return FALSE;
  *size = (static_cast<ULONGLONG>(high) << 32) | low;
  return TRUE;
}

BOOL seekTo(HANDLE hFile, ULONGLONG offset) {
  LONG high = static_cast<LONG>(offset >> 32);
  SetLastError(NO_ERROR);
  const DWORD low = SetFilePointer(hFile, static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
  return low != INVALID_SET_FILE_POINTER || GetLastError() == NO_ERROR;
}

BOOL writeAll(HANDLE hFile, const char* data, DWORD size) {
  DWORD written = 0;
  return WriteFile(hFile, data, size, &written, nullptr) && written == size;
}

// The offset just after the first line feed at or after `from`. When none comes
// within the search limit, `from` itself: a partial first line is better than a
// log that can never be trimmed again.
ULONGLONG nextLineStart(INIPORT* pIniPort, HANDLE hLogFile, ULONGLONG from) {
  if (!seekTo(hLogFile, from)) return from;
  char block[LOG_COPY_BLOCK];
  DWORD searched = 0;
  while (searched < LOG_LINE_SEARCH_LIMIT) {
    DWORD got = 0;
    if (!ReadFile(hLogFile, block, sizeof block, &got, nullptr) || got == 0) break;
    const void* lineFeed = memchr(block, '\n', got);
    if (lineFeed != nullptr) {
      const DWORD skipped = searched + static_cast<DWORD>(static_cast<const char*>(lineFeed) - block);
      DebugTraceF(pIniPort, TRACE_INFO, "DRWlogger - Skipped %u bytes to the next line", static_cast<unsigned>(skipped));
      return from + skipped + 1;
    }
    searched += got;
  }
  DebugTraceF(pIniPort, TRACE_INFO, "DRWlogger - No line end within %u bytes, cut inside a line",
              static_cast<unsigned>(searched));
  return from;
}

// Moves everything from keepFrom to the end of the log to its start, copying it to
// the backup on the way; *kept is the length moved. Nothing after keepFrom is
// overwritten before it has been read, as the writing trails the reading. A backup
// that cannot take a block is dropped, as a partial one would mislead.
BOOL moveTail(INIPORT* pIniPort, HANDLE hLogFile, ULONGLONG keepFrom, HANDLE* phBackup, LPCSTR backup,
              ULONGLONG* kept) {
  char block[LOG_COPY_BLOCK];
  ULONGLONG from = keepFrom;
  *kept = 0;
  for (;;) {
    DWORD got = 0;
    if (!seekTo(hLogFile, from) || !ReadFile(hLogFile, block, sizeof block, &got, nullptr)) {
      DebugTraceF(pIniPort, TRACE_ERROR, "DRWlogger - Read failed, error %u", static_cast<unsigned>(GetLastError()));
      return FALSE;
    }
    if (got == 0) return TRUE;
    if (*phBackup != INVALID_HANDLE_VALUE && !writeAll(*phBackup, block, got)) {
      DebugTraceF(pIniPort, TRACE_ERROR, "DRWlogger - Backup write failed, error %u",
                  static_cast<unsigned>(GetLastError()));
      CloseHandle(*phBackup);
      *phBackup = INVALID_HANDLE_VALUE;
      LogFileDelete(backup);
    }
    if (!seekTo(hLogFile, *kept) || !writeAll(hLogFile, block, got)) {
      DebugTraceF(pIniPort, TRACE_ERROR, "DRWlogger - Write failed, error %u", static_cast<unsigned>(GetLastError()));
      return FALSE;
    }
    from += got;
    *kept += got;
  }
}

void closeAndRelease(HANDLE* phLogFile, LogFileLock* fileLock) {
  if (*phLogFile != INVALID_HANDLE_VALUE) CloseHandle(*phLogFile);
  *phLogFile = INVALID_HANDLE_VALUE;
  LeaveLogFileLock(fileLock);
}

}  // namespace

void CloseLogFile(HANDLE* phLogFile) {
  if (*phLogFile == INVALID_HANDLE_VALUE) return;
  LogFileLock* fileLock = TakeLogFileLock(*phLogFile);
  CloseHandle(*phLogFile);
  *phLogFile = INVALID_HANDLE_VALUE;
  if (fileLock != nullptr) LeaveLogFileLock(fileLock);
}

BOOL CompressLogFile(INIPORT* pIniPort, LPCSTR path, HANDLE* phLogFile) {
  char backup[LOG_PATH_SIZE + 3];
  snprintf(backup, sizeof backup, "%sbak", path);

  ULONGLONG size = 0;
  if (!fileSize(*phLogFile, &size)) return FALSE;
  const DWORD minSize = Settings.DRWMinFileSize;
  const LONGLONG skip = static_cast<LONGLONG>(size) - static_cast<LONGLONG>(minSize);
  DebugTraceF(pIniPort, TRACE_INFO, "DRWlogger - max = %u, min = %u, skip = %lld\r\n",
              static_cast<unsigned>(Settings.DRWMaxFileSize), static_cast<unsigned>(minSize),
              static_cast<long long>(skip));

  const ULONGLONG keepFrom = nextLineStart(pIniPort, *phLogFile, skip > 0 ? static_cast<ULONGLONG>(skip) : 0);

  HANDLE hBackup = createBackup(pIniPort, backup);
  ULONGLONG kept = 0;
  const BOOL moved = moveTail(pIniPort, *phLogFile, keepFrom, &hBackup, backup, &kept);
  if (hBackup != INVALID_HANDLE_VALUE) CloseHandle(hBackup);
  if (!moved || !seekTo(*phLogFile, kept) || !SetEndOfFile(*phLogFile)) {
    DebugTraceF(pIniPort, TRACE_ERROR, "DRWlogger - Copy failed, error %u", static_cast<unsigned>(GetLastError()));
    return FALSE;
  }
  DebugTrace(pIniPort, TRACE_INFO, "DRWlogger - Copy worked");
  return TRUE;
}

BOOL OpenLogFile(INIPORT* pIniPort, HANDLE* phLogFile) {
  *phLogFile = INVALID_HANDLE_VALUE;
  char path[LOG_PATH_SIZE];
  if (!BuildLogFilePath(pIniPort, path, sizeof path)) return FALSE;
  DebugTraceF(pIniPort, TRACE_INFO, "DRWlogger - Open File = %s", path);

  LogFileLock* fileLock = EnterLogFileLock(path);
  if (fileLock == nullptr) {
    DebugTrace(pIniPort, TRACE_ERROR, "DRWlogger - no memory for the log file's lock");
    return FALSE;
  }
  *phLogFile = openOwnFile(pIniPort, path);
  if (*phLogFile == INVALID_HANDLE_VALUE) {
    DebugTraceF(pIniPort, TRACE_ERROR, "DRWlogger - Could not open log file %s", path);
    closeAndRelease(phLogFile, fileLock);
    return FALSE;
  }
  ULONGLONG size = 0;
  if (!fileSize(*phLogFile, &size)) {
    DebugTrace(pIniPort, TRACE_ERROR, "DRWlogger - Invalid file size");
    closeAndRelease(phLogFile, fileLock);
    return FALSE;
  }
  if ((size > Settings.DRWMaxFileSize && !CompressLogFile(pIniPort, path, phLogFile)) ||
      !KeepLogFileLock(*phLogFile, fileLock)) {
    closeAndRelease(phLogFile, fileLock);
    return FALSE;
  }
  return TRUE;
}
