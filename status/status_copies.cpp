#include "status/status_copies.h"

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

void snecStatusBytes(INIPORT* pIniPort, BYTE* byte1, BYTE* byte2) {
  EnterCriticalSection(&pIniPort->StatusCopyLock);
  *byte1 = pIniPort->SNECStatus[3];
  *byte2 = pIniPort->SNECStatus[4];
  LeaveCriticalSection(&pIniPort->StatusCopyLock);
}
