#include "link/status_copies.h"

#include <cstring>

#include "link/printer_reply.h"
#include "platform/clock.h"

HANDLE lockLastStatus(INIPORT* pIniPort) {
  const HANDLE ownStatusData = pIniPort->OwnStatusData;
  if (ownStatusData != nullptr) clockWait(ownStatusData, INFINITE);
  return ownStatusData;
}

void unlockLastStatus(HANDLE ownStatusData) {
  if (ownStatusData != nullptr) ReleaseMutex(ownStatusData);
}

void setLastStatusLength(INIPORT* pIniPort, DWORD length) {
  const HANDLE lock = lockLastStatus(pIniPort);
  pIniPort->LastStatusLength = length;
  unlockLastStatus(lock);
}

void keepRealTimeReply(INIPORT* pIniPort) {
  const HANDLE lock = lockLastStatus(pIniPort);
  DWORD length = pIniPort->LastStatusLength;
  if (length > LAST_STATUS_SIZE) length = LAST_STATUS_SIZE;
  if (isSNECReply(pIniPort->LastStatus[0])) {
    if (pIniPort->LowPaper) {
      pIniPort->LastStatus[4] |= LOW_PAPER;
    } else {
      pIniPort->LastStatus[4] &= static_cast<BYTE>(~LOW_PAPER);
    }
  }
  memcpy(pIniPort->RTStatusReply, pIniPort->LastStatus, length);
  pIniPort->RTStatusReplyLength = length;
  unlockLastStatus(lock);
}

void snecStatusBytes(INIPORT* pIniPort, BYTE* byte1, BYTE* byte2) {
  EnterCriticalSection(&pIniPort->StatusCopyLock);
  *byte1 = pIniPort->SNECStatus[3];
  *byte2 = pIniPort->SNECStatus[4];
  LeaveCriticalSection(&pIniPort->StatusCopyLock);
}

DWORD snecRepliesKept(INIPORT* pIniPort) {
  EnterCriticalSection(&pIniPort->StatusCopyLock);
  const DWORD kept = pIniPort->SNECRepliesKept;
  LeaveCriticalSection(&pIniPort->StatusCopyLock);
  return kept;
}
