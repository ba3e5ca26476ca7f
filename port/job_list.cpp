// The port's job list: documents started on the port and not yet reported finished
// to the spooler, newest first, under SplSem.
#include <cstring>
#include <new>

#include "platform/spooler.h"
#include "port/debug_trace.h"
#include "port/monitor_state.h"
#include "port/port_record.h"
#include "port/port_status.h"

namespace {

const char kJobsBanner[] = "displayJobs - ***************************************";

// Sends the command to every job of a detached chain, newest first, and frees them.
void completeChain(INIPORT* pIniPort, INIJOB* pIniJob, DWORD Command) {
  while (pIniJob != nullptr) {
    INIJOB* pNext = pIniJob->pNext;
    SendLastPageEjectedForIniJob(pIniPort, pIniJob, Command);
    FreeIniJob(pIniPort, pIniJob);
    pIniJob = pNext;
  }
}

}  // namespace

INIJOB* AllocIniJob(LPCWSTR pPrinterName) {
  if (pPrinterName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const size_t cbName = (static_cast<size_t>(lstrlenW(pPrinterName)) + 1) * sizeof(WCHAR);
  void* block = AllocSplMem(static_cast<DWORD>(sizeof(INIJOB) + cbName));
  if (block == nullptr) return nullptr;
  INIJOB* pIniJob = new (block) INIJOB();
  // The name lives right after the record, so one free releases both.
  pIniJob->pPrinterName = reinterpret_cast<LPWSTR>(pIniJob + 1);
  memcpy(pIniJob->pPrinterName, pPrinterName, cbName);
  return pIniJob;
}

void FreeIniJob(INIPORT* pIniPort, INIJOB* pIniJob) {
  if (pIniJob->hPrinter != nullptr) {
    if (spoolerClosePrinter(pIniJob->hPrinter)) {
      DebugTrace(pIniPort, TRACE_INFO, "FreeIniJob - ClosePrinter closed okay");
    } else {
      DebugTrace(pIniPort, TRACE_ERROR, "FreeIniJob - ClosePrinter close failure");
    }
  }
  pIniJob->~INIJOB();
  FreeSplMem(pIniJob);
}

void SendLastPageEjectedForIniJob(INIPORT* pIniPort, INIJOB* pIniJob, DWORD Command) {
  if (spoolerSetJob(pIniJob->hPrinter, pIniJob->JobId, 0, nullptr, Command)) {
    DebugTrace(pIniPort, TRACE_INFO, "SendLastPageEjectedForIniJob - SetJob PASSED");
  } else {
    DebugTrace(pIniPort, TRACE_ERROR, "SendLastPageEjectedForIniJob - SetJob failed");
  }
}

void completeIniJobs(INIPORT* pIniPort, DWORD JobId, DWORD Command) {
  EnterCriticalSection(&SplSem);
  if (JobId == static_cast<DWORD>(-1)) {
    INIJOB* pAll = pIniPort->pIniJob;
    pIniPort->pIniJob = nullptr;
    completeChain(pIniPort, pAll, Command);
  } else {
    // The oldest job with this id: it and every older job are finished together.
    INIJOB** ppCut = nullptr;
    for (INIJOB** ppLink = &pIniPort->pIniJob; *ppLink != nullptr; ppLink = &(*ppLink)->pNext) {
      if ((*ppLink)->JobId == JobId) ppCut = ppLink;
    }
    if (ppCut != nullptr) {
      INIJOB* pOlder = *ppCut;
      *ppCut = nullptr;
      completeChain(pIniPort, pOlder, Command);
    }
  }
  LeaveCriticalSection(&SplSem);
}

void ClearPrinterStatusAndIniJobs(INIPORT* pIniPort) {
  pIniPort->status.OfflineAtStart = FALSE;  // the port shows no status from here on
  if (pIniPort->status.PrinterStatus != 0) {
    pIniPort->status.PrinterStatus = 0;
    if (postSpoolerPortStatus(pIniPort, 0, 0)) {
      DebugTrace(pIniPort, TRACE_INFO, "ClearPrinterStatusAndIniJobs - SetPort cleared the port status");
    } else {
      DebugTrace(pIniPort, TRACE_ERROR, "ClearPrinterStatusAndIniJobs - SetPort failed to clear the port status");
    }
  }
  // A job still listed never reached its end of document: it is not reported
  // printed, and its record says why. A document under way settles its own job.
  EnterCriticalSection(&SplSem);
  if (pIniPort->flags & PP_IN_DOC) {
    LeaveCriticalSection(&SplSem);
    return;
  }
  INIJOB* pIniJob = pIniPort->pIniJob;
  pIniPort->pIniJob = nullptr;
  while (pIniJob != nullptr) {
    INIJOB* pNext = pIniJob->pNext;
    recordJobDropped(pIniPort, pIniJob->JobId);
    FreeIniJob(pIniPort, pIniJob);
    pIniJob = pNext;
  }
  LeaveCriticalSection(&SplSem);
}

void displayJobs(INIPORT* pIniPort) {
  if (!DebugTraceEnabled(TRACE_INFO)) return;
  DebugTrace(pIniPort, TRACE_INFO, kJobsBanner);
  EnterCriticalSection(&SplSem);
  int number = 0;
  for (INIJOB* pIniJob = pIniPort->pIniJob; pIniJob != nullptr; pIniJob = pIniJob->pNext) {
    DebugTraceF(pIniPort, TRACE_INFO, "displayJobs - job %d, ID = %d,  Tick = %d", ++number,
                static_cast<int>(pIniJob->JobId), static_cast<int>(pIniJob->EndTick));
  }
  LeaveCriticalSection(&SplSem);
  if (number == 0) DebugTrace(pIniPort, TRACE_INFO, "displayJobs - No jobs!!!!");
  DebugTrace(pIniPort, TRACE_INFO, kJobsBanner);
}
