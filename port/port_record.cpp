// Creation and removal of the per-port record and its place in the port list.
#include <cstring>
#include <new>

#include "port/debug_trace.h"
#include "port/monitor_state.h"
#include "port/port_record.h"
#include "port/status_objects.h"

namespace {

const char kInitialFlashProgress[] = "3,0,0,P,NONE";

// Releasing what an unfinished creation obtained must not hide why it failed.
void closeKeepingLastError(HANDLE h) {
  const DWORD error = GetLastError();
  CloseHandle(h);
  SetLastError(error);
}

void destroyRecord(INIPORT* pIniPort) {
  pIniPort->signature = 0;  // a stale handle no longer passes the signature check
  pIniPort->~INIPORT();
  FreeSplMem(pIniPort);
}

}  // namespace

INIPORT* portRecordFromHandle(HANDLE hPort) {
  INIPORT* pIniPort = static_cast<INIPORT*>(hPort);
  if (pIniPort == nullptr || pIniPort->signature != PJ_SIGNATURE) return nullptr;
  return pIniPort;
}

INIPORT* CreatePortEntry(LPCWSTR pPortName) {
  const HANDLE portFree = CreateEventW(nullptr, FALSE, TRUE, nullptr);
  if (portFree == nullptr) {
    DebugTraceRaw("CreatePortEntry - Create Event failed\r\n");
    return nullptr;
  }

  void* block = AllocSplMem(static_cast<DWORD>(sizeof(INIPORT)));
  if (block == nullptr) {
    closeKeepingLastError(portFree);
    return nullptr;
  }
  // The block is zero-filled; value-initialising keeps every plain field zero and
  // constructs the atomic ones.
  INIPORT* pIniPort = new (block) INIPORT();

  pIniPort->pszPortName = AllocSplStr(pPortName);
  if (pIniPort->pszPortName == nullptr) {
    const DWORD error = GetLastError();
    destroyRecord(pIniPort);
    CloseHandle(portFree);
    SetLastError(error);
    return nullptr;
  }

  InitializeCriticalSection(&pIniPort->link.StatusCopyLock);
  InitializeCriticalSection(&pIniPort->flash.FlashLock);
  InitializeCriticalSection(&pIniPort->LogLock);
  InitializeCriticalSection(&pIniPort->doc.OutcomeLock);
  InitializeCriticalSection(&pIniPort->link.LinkLock);

  pIniPort->signature = PJ_SIGNATURE;
  pIniPort->PortFree = portFree;
  pIniPort->status.LastStatusLength = 0;
  pIniPort->status.RTStatusRequest = FALSE;
  pIniPort->flash.FlashInProgress = FALSE;
  memcpy(pIniPort->flash.FlashProgress, kInitialFlashProgress, sizeof kInitialFlashProgress);

  pIniPort->pNext = portListHead;
  portListHead = pIniPort;
  return pIniPort;
}

void RemovePortEntry(INIPORT* pIniPort) {
  EnterCriticalSection(&SplSem);

  INIPORT** ppLink = &portListHead;
  while (*ppLink != nullptr && *ppLink != pIniPort) ppLink = &(*ppLink)->pNext;
  if (*ppLink == nullptr) {
    LeaveCriticalSection(&SplSem);
    return;
  }
  *ppLink = pIniPort->pNext;

  CloseHandle(pIniPort->PortFree);
  pIniPort->PortFree = nullptr;
  // The status objects live as long as the record; its status thread has ended.
  CloseStatusObjects(pIniPort);

  // Jobs still listed are dropped without telling the spooler: the port is going away.
  INIJOB* pIniJob = pIniPort->pIniJob;
  pIniPort->pIniJob = nullptr;
  while (pIniJob != nullptr) {
    INIJOB* pNext = pIniJob->pNext;
    FreeIniJob(pIniPort, pIniJob);
    pIniJob = pNext;
  }

  LeaveCriticalSection(&SplSem);

  DeleteCriticalSection(&pIniPort->link.StatusCopyLock);
  DeleteCriticalSection(&pIniPort->flash.FlashLock);
  DeleteCriticalSection(&pIniPort->LogLock);
  DeleteCriticalSection(&pIniPort->doc.OutcomeLock);
  DeleteCriticalSection(&pIniPort->link.LinkLock);
  FreeSplMem(pIniPort->flash.pszFlashFileName);
  FreeSplMem(pIniPort->pszPortName);
  destroyRecord(pIniPort);
}
