#include "link/status_copies.h"

#include <cstring>

#include "link/printer_reply.h"
#include "platform/clock.h"

HANDLE lockLastStatus(INIPORT* pIniPort) {
  const HANDLE ownStatusData = pIniPort->status.OwnStatusData;
  if (ownStatusData != nullptr) clockWait(ownStatusData, INFINITE);
  return ownStatusData;
}

void unlockLastStatus(HANDLE ownStatusData) {
  if (ownStatusData != nullptr) ReleaseMutex(ownStatusData);
}

void setLastStatusLength(INIPORT* pIniPort, DWORD length) {
  const HANDLE lock = lockLastStatus(pIniPort);
  pIniPort->status.LastStatusLength = length;
  unlockLastStatus(lock);
}

void keepRealTimeReply(INIPORT* pIniPort) {
  const HANDLE lock = lockLastStatus(pIniPort);
  DWORD length = pIniPort->status.LastStatusLength;
  if (length > LAST_STATUS_SIZE) length = LAST_STATUS_SIZE;
  if (isSNECReply(pIniPort->status.LastStatus[0])) {
    if (pIniPort->status.LowPaper) {
      pIniPort->status.LastStatus[4] |= LOW_PAPER;
    } else {
      pIniPort->status.LastStatus[4] &= static_cast<BYTE>(~LOW_PAPER);
    }
  }
  memcpy(pIniPort->status.RTStatusReply, pIniPort->status.LastStatus, length);
  pIniPort->status.RTStatusReplyLength = length;
  unlockLastStatus(lock);
}

void snecStatusBytes(INIPORT* pIniPort, BYTE* byte1, BYTE* byte2) {
  EnterCriticalSection(&pIniPort->link.StatusCopyLock);
  *byte1 = pIniPort->link.SNECStatus[3];
  *byte2 = pIniPort->link.SNECStatus[4];
  LeaveCriticalSection(&pIniPort->link.StatusCopyLock);
}

DWORD snecRepliesKept(INIPORT* pIniPort) {
  EnterCriticalSection(&pIniPort->link.StatusCopyLock);
  const DWORD kept = pIniPort->link.SNECRepliesKept;
  LeaveCriticalSection(&pIniPort->link.StatusCopyLock);
  return kept;
}
