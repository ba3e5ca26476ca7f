// The diagnostic event log: one text file per printer and computer, one line per
// event, written when "DRWenable" is set and the event's class is in "DRWdebugMask".
#pragma once

#include "platform/win32_api.h"

struct INIPORT;

#define DRW_ERRORS 0x01u
#define DRW_PORTS 0x02u
#define DRW_POLL 0x04u
#define DRW_DOCUMENTS 0x08u
#define DRW_PIPE 0x10u
#define DRW_WATCHDOG 0x20u

#define LOG_LINE_SIZE 1024
#define ERROR_TEXT_SIZE 1024
#define QX_ERROR_ZERO_BYTES_READ 80000u

BOOL TextLogFile(INIPORT* pIniPort, LPCSTR text, LPCSTR code, DWORD logClass);
BOOL ErrorLogFile(INIPORT* pIniPort, DWORD statusWord, BOOL stateChanged);
void DRWlogger(INIPORT* pIniPort, DWORD statusWord, DWORD logClass);
BOOL DRGetSpecificStatus(INIPORT* pIniPort, LPBYTE reply, DWORD size, LPDWORD count, const BYTE* request,
                         DWORD requestLength);

void BuildStateText(INIPORT* pIniPort, LPSTR text, size_t size);
void GetErrorText(DWORD code, LPSTR text);

BOOL OpenLogFile(INIPORT* pIniPort);
BOOL CompressLogFile(INIPORT* pIniPort, LPCSTR path);
void WriteLogEntry(INIPORT* pIniPort, LPCSTR text, LPCSTR dateTime, LPCSTR code);
void GetLogDateTime(LPSTR text, size_t size);

// The log file's path for a port: Windows directory, "\Temp\", the printer name
// (characters that cannot stand in a file name replaced by "_"), "_", the computer
// name, ".log". FALSE when the computer name cannot be read.
BOOL BuildLogFilePath(INIPORT* pIniPort, LPSTR path, size_t size);
