#include "pipe/memory_query.h"

#include <cstring>

#include "pipe/pipe_server.h"
#include "platform/clock.h"
#include "port/debug_trace.h"
#include "port/port_record.h"
#include "status/status_thread.h"

namespace {

// The longest wait for the port held by a document or another query.
const DWORD kPortWait = 5000;

BOOL statusThreadRunning(INIPORT* pIniPort) {
  return (pIniPort->flags & PP_RUN_THREAD) != 0 && pIniPort->status.WakeUp != nullptr && pIniPort->status.DoneReading != nullptr;
}

// Two fresh reads by the status thread, each given at most 5 seconds.
void readStatusTwice(INIPORT* pIniPort) {
  for (int pass = 0; pass < 2; ++pass) {
    ResetEvent(pIniPort->status.DoneReading);
    SetEvent(pIniPort->status.WakeUp);
    clockWait(pIniPort->status.DoneReading, 5000);
  }
}

}  // namespace

BOOL queryPrinterMemory(INIPORT* pIniPort, Relaxed<DWORD>& value, LPWSTR lpOutBuffer, DWORD cbOutBuffer,
                        LPDWORD lpcbReturned) {
  // The status thread is started before the port is taken, since its start takes the
  // port itself; neither wait is without limit, as a document may hold the port.
  BOOL started = FALSE;
  if ((pIniPort->flags & PP_RUN_THREAD) == 0) startUstatusThread(pIniPort, kPortWait, &started);
  if (started) CreatePipeThread(pIniPort);
  if (clockWait(pIniPort->PortFree, kPortWait) != WAIT_OBJECT_0) {
    DebugTrace(pIniPort, TRACE_ERROR, "MonGetPrinterDataFromPort - port busy");
    if (lpcbReturned != nullptr) *lpcbReturned = sizeof(DWORD);
    SetLastError(ERROR_BUSY);
    return FALSE;
  }
  DebugTrace(pIniPort, TRACE_INFO,
             (pIniPort->flags & PP_IS_PJL) != 0 ? "MonGetPrinterDataFromPort - port is PP_IS_PJL"
                                                : "MonGetPrinterDataFromPort - port is not PP_IS_PJL");

  value = 0;
  // Only the status thread reads the printer; without one the value stays unknown.
  if (statusThreadRunning(pIniPort)) readStatusTwice(pIniPort);
  // A thread started for this query leaves again, unless a document has started
  // meanwhile and keeps it.
  if (started) StopUstatusThread(pIniPort, FALSE);

  if (lpcbReturned != nullptr) *lpcbReturned = sizeof(DWORD);
  const DWORD answer = value;
  BOOL bRet = FALSE;
  if (lpOutBuffer != nullptr && cbOutBuffer >= sizeof(DWORD) && answer != 0) {
    memcpy(lpOutBuffer, &answer, sizeof answer);
    bRet = TRUE;
  }

  if (bRet) {
    DebugTrace(pIniPort, TRACE_INFO, "MonGetPrinterDataFromPort - bRet = TRUE");
  } else {
    DebugTrace(pIniPort, TRACE_ERROR, "MonGetPrinterDataFromPort - bRet = FALSE");
    SetLastError(ERROR_INVALID_PARAMETER);
  }
  SetEvent(pIniPort->PortFree);
  return bRet;
}
