// The status query: ask the printer for one reply, read it, keep it where the rest
// of the monitor looks for it and interpret it. When the printer does not answer,
// the off-line fake reply is interpreted in its place.
#pragma once

#include "platform/win32_api.h"

struct INIPORT;

// A heartbeat query (specific FALSE) reads whatever the printer offers, or asks a
// serial printer for a short status; a specific query sends the ESC I request.
// TRUE when a reply was read and interpreted.
BOOL ReadCommand(INIPORT* pIniPort, BOOL specific, const BYTE* request, DWORD requestLength);
BOOL ReadCommandParallelUSB(INIPORT* pIniPort, BOOL specific, const BYTE* request, DWORD requestLength);
BOOL SerialReadCommand(INIPORT* pIniPort, BOOL specific, const BYTE* request, DWORD requestLength);

// Writes the 5-byte off-line reply into a reply buffer and returns its length.
DWORD qxMakeFakeStatus(INIPORT* pIniPort, LPBYTE buffer);

// Records the kind of a specific request in StatusTypeText for the event log.
void getStatusType(INIPORT* pIniPort, const BYTE* request, DWORD requestLength);

// Traces the time since the previous query and, with the event log on and no
// document printing, logs gaps of 7 seconds or more.
void logTimeSinceRefresh(INIPORT* pIniPort);
