#include <cstdio>
#include <cstring>

#include "diag/debug_trace.h"
#include "diag/event_log.h"
#include "monitor/port_record.h"
#include "monitor/settings.h"

namespace {

#define LOG_COPY_BLOCK 16384
// How far past the cut point a line end is looked for: far beyond the longest line
// the monitor writes, so that only a file that is not a log at all is cut mid-line.
#define LOG_LINE_SEARCH_LIMIT 65536

HANDLE openLog(LPCSTR path, DWORD disposition) {
  return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
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

BOOL copyRest(INIPORT* pIniPort, HANDLE hFrom, ULONGLONG offset, HANDLE hTo) {
  if (!seekTo(hFrom, offset)) return FALSE;
  char block[LOG_COPY_BLOCK];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(hFrom, block, sizeof block, &got, nullptr)) {
      DebugTraceF(pIniPort, TRACE_ERROR, "DRWlogger - Read failed, error %u", static_cast<unsigned>(GetLastError()));
      return FALSE;
    }
    if (got == 0) return TRUE;
    DWORD written = 0;
    if (!WriteFile(hTo, block, got, &written, nullptr) || written != got) {
      DebugTraceF(pIniPort, TRACE_ERROR, "DRWlogger - Backup write failed, error %u",
                  static_cast<unsigned>(GetLastError()));
      return FALSE;
    }
  }
}

}  // namespace

void CloseLogFile(HANDLE* phLogFile) {
  if (*phLogFile != INVALID_HANDLE_VALUE) CloseHandle(*phLogFile);
  *phLogFile = INVALID_HANDLE_VALUE;
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

  DeleteFileA(backup);
  HANDLE hBackup = openLog(backup, CREATE_ALWAYS);
  if (hBackup == INVALID_HANDLE_VALUE) {
    DebugTraceF(pIniPort, TRACE_ERROR, "DRWlogger - Could not create backup file %s", backup);
    return FALSE;
  }
  const BOOL copied = copyRest(pIniPort, *phLogFile, keepFrom, hBackup);
  CloseHandle(hBackup);
  // A backup that lacks part of the kept lines must not replace the log.
  if (!copied) return FALSE;
  CloseLogFile(phLogFile);

  if (!CopyFileA(backup, path, FALSE)) {
    DebugTrace(pIniPort, TRACE_ERROR, "DRWlogger - Copy failed");
    return FALSE;
  }
  DebugTrace(pIniPort, TRACE_INFO, "DRWlogger - Copy worked");
  *phLogFile = openLog(path, OPEN_ALWAYS);
  return *phLogFile != INVALID_HANDLE_VALUE;
}

BOOL OpenLogFile(INIPORT* pIniPort, HANDLE* phLogFile) {
  *phLogFile = INVALID_HANDLE_VALUE;
  char path[LOG_PATH_SIZE];
  if (!BuildLogFilePath(pIniPort, path, sizeof path)) return FALSE;
  DebugTraceF(pIniPort, TRACE_INFO, "DRWlogger - Open File = %s", path);

  *phLogFile = openLog(path, OPEN_ALWAYS);
  if (*phLogFile == INVALID_HANDLE_VALUE) {
    DebugTraceF(pIniPort, TRACE_ERROR, "DRWlogger - Could not open log file %s", path);
    return FALSE;
  }
  ULONGLONG size = 0;
  if (!fileSize(*phLogFile, &size)) {
    DebugTrace(pIniPort, TRACE_ERROR, "DRWlogger - Invalid file size");
    CloseLogFile(phLogFile);
    return FALSE;
  }
  if (size > Settings.DRWMaxFileSize && !CompressLogFile(pIniPort, path, phLogFile)) {
    CloseLogFile(phLogFile);
    return FALSE;
  }
  SetFilePointer(*phLogFile, 0, nullptr, FILE_END);
  return TRUE;
}
