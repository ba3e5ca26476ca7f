// The port's copies of the printer's replies and the locks that guard them:
// LastStatus under the OwnStatusData mutex (once the status thread has created it),
// SNECStatus, SavedStatus and WDVersion under StatusCopyLock.
#pragma once

#include "port/port_record.h"

// Takes OwnStatusData when it exists; returns the handle to give to unlockLastStatus.
HANDLE lockLastStatus(INIPORT* pIniPort);
void unlockLastStatus(HANDLE ownStatusData);

void setLastStatusLength(INIPORT* pIniPort, DWORD length);

// Keeps the reply just read for the pipe's live request, with the low-paper bit as
// the monitor debounced it (LastStatus gets the same bit).
void keepRealTimeReply(INIPORT* pIniPort);


// Status bytes 1 and 2 (reply bytes 3 and 4) of the latest S, N, E or C reply.
void snecStatusBytes(INIPORT* pIniPort, BYTE* byte1, BYTE* byte2);
// How many S, N, E or C replies have been kept: a read that did not change it brought
// no status of its own (a reply garbled or of another type).
DWORD snecRepliesKept(INIPORT* pIniPort);
