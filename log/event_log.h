// The diagnostic event log: one text file per printer and computer, one line per
// event, written when "DRWenable" is set and the event's class is in "DRWdebugMask".
//
// A writer call holds the port's LogLock from the open to the close of the file and
// keeps the handle in a local variable; the open also takes the lock of the file,
// which every port writing that file shares. Both locks are re-entrant, so a writer
// may run inside another on the same thread; each call then works on its own handle
// and closes only that. No writer talks to the printer: what the log asks of the
// printer waits for the status thread (runLogPrinterRequests).
#pragma once

#include <cstddef>

#include "platform/win32_api.h"
#include "port/error_text.h"

struct INIPORT;

#define DRW_ERRORS 0x01u
#define DRW_PORTS 0x02u
#define DRW_POLL 0x04u
#define DRW_DOCUMENTS 0x08u
#define DRW_PIPE 0x10u
#define DRW_WATCHDOG 0x20u

#define LOG_LINE_SIZE 1024
#define LOG_PATH_SIZE 1024
#define LOG_DATE_TIME_SIZE 64
#define LOG_STATE_TEXT_SIZE 32

// TRUE when nothing was to be written ("DRWenable" 0, class not selected) or the
// entry was written; FALSE when the file could not be opened.
BOOL TextLogFile(INIPORT* pIniPort, LPCSTR text, LPCSTR code, DWORD logClass);
BOOL ErrorLogFile(INIPORT* pIniPort, DWORD statusWord, BOOL stateChanged);
void DRWlogger(INIPORT* pIniPort, DWORD statusWord, DWORD logClass);

// The event log's own printer requests, asked for while a reply is interpreted and
// made by the status thread after each query (status/log_printer_requests.h): the
// serial number line ("0021") and the head temperature line of a state report
// ("0020", with the state text of the report that asked for it).
void requestSerialNumber(INIPORT* pIniPort);
void requestHeadTemperature(INIPORT* pIniPort);
// HeadTempWanted: this bit, the interrupted state << 8 and the state.
#define HEAD_TEMP_WANTED 0x10000u

// The printer's activity as text, beginning with a space (" Heart Beat", ...).
void BuildStateText(INIPORT* pIniPort, LPSTR text, size_t size);
// The same for a state and the state a stale reply interrupted.
void StateTextFor(INIPORT* pIniPort, BYTE state, BYTE savedState, LPSTR text, size_t size);

// Opens the port's log (created when missing) and trims it when it has grown past
// "DRWMaxFileSize". The caller holds LogLock; the file's own lock is held until
// CloseLogFile. A link planted at the log's name is removed, never written through.
BOOL OpenLogFile(INIPORT* pIniPort, HANDLE* phLogFile);
// Keeps the whole lines of the last "DRWMinFileSize" bytes, moved to the start of the
// file through *phLogFile, and a copy of them in the backup file where one can be made.
BOOL CompressLogFile(INIPORT* pIniPort, LPCSTR path, HANDLE* phLogFile);
void CloseLogFile(HANDLE* phLogFile);
// Appends one line in one write at the end of the file, with control characters of
// the text replaced and the text cut so that the line fits LOG_LINE_SIZE - 1 bytes.
void WriteLogEntry(INIPORT* pIniPort, HANDLE hLogFile, LPCSTR text, LPCSTR dateTime, LPCSTR code);
// The date and time fields of a line with their separators: "2017/01/04","14:05:09",
void GetLogDateTime(LPSTR text, size_t size);

// The log file's path for a port: Windows directory, "\Temp\", the printer name
// (characters that cannot stand in a file name replaced by "_"), "_", the computer
// name, ".log". FALSE when the computer name cannot be read.
BOOL BuildLogFilePath(INIPORT* pIniPort, LPSTR path, size_t size);
