// Status interpretation: one reply (or the off-line fake reply) becomes the port
// status the spooler shows, the printer-timeout and purge flags and event-log
// entries; the low-paper sensor is debounced into the port's LowPaper flag.
#pragma once

#include "platform/win32_api.h"

struct INIPORT;

// May set MANUAL_DESELECT in byte 3 of the caller's reply (a printer that is only
// "not ready" is shown off line).
void ProcessQXStatusString(INIPORT* pIniPort, LPBYTE reply, DWORD length);

// status is byte 3 * 256 + byte 4 of the latest S, N, E or C reply; only its
// LOW_PAPER bit counts. Two agreeing readings change the flag either way.
void processLMLowPaper(INIPORT* pIniPort, DWORD status);

// Feeds the debounce with a reply read by the query just made: only an S, N, E or C
// reply that carries its status bytes is a reading; anything else counts for nothing.
void lowPaperReading(INIPORT* pIniPort, const BYTE* reply, DWORD count);
