// The event log's printer requests, made by the status thread once its query is
// over, so that no query's caller ever receives a reply meant for the log and no
// query's reply is taken by the log.
#pragma once

#include <cstddef>

#include "platform/win32_api.h"

struct INIPORT;

// Makes the requests the log asked for since the last call (requestSerialNumber,
// requestHeadTemperature) and writes their lines.
void runLogPrinterRequests(INIPORT* pIniPort);
// One diagnostic request and its reply, outside any document.
BOOL DRGetSpecificStatus(INIPORT* pIniPort, LPBYTE reply, DWORD size, LPDWORD count, const BYTE* request,
                         DWORD requestLength);
// The number in a serial-number reply: "A", "09", two length digits and that many
// characters (fewer when the reply is shorter); empty for any other reply.
void serialNumberFromReply(const BYTE* reply, DWORD count, LPSTR number, size_t size);
