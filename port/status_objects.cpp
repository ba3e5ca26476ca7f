// The status objects of a port: created by its first status thread, closed with the record.
#include "port/status_objects.h"

#include "port/debug_trace.h"
#include "port/port_record.h"

namespace {

struct StatusObject {
  Relaxed<HANDLE>& (*field)(INIPORT& port);
  BOOL isMutex;
  BOOL manualReset;
  BOOL heartbeatGate;  // starts reset while a document is in progress
  LPCSTR missingTrace;
};

#define STATUS_OBJECT(member) [](INIPORT& port) -> Relaxed<HANDLE>& { return port.member; }

const StatusObject kStatusObjects[] = {
    {STATUS_OBJECT(status.DoneReading), FALSE, TRUE, FALSE,
     "UstatusThread - ERROR - !pIniPort->DoneReading.. goto StopThread"},
    {STATUS_OBJECT(status.heartbeatRun), FALSE, TRUE, TRUE,
     "UstatusThread - ERROR - !pIniPort->heartbeatRun.. goto StopThread"},
    {STATUS_OBJECT(status.RTStatusComplete), FALSE, FALSE, FALSE,
     "UstatusThread - ERROR - !pIniPort->RTStatusComplete.. goto StopThread"},
    {STATUS_OBJECT(status.OwnStatusData), TRUE, FALSE, FALSE,
     "UstatusThread - ERROR - !pIniPort->OwnStatusData.. goto StopThread"},
    {STATUS_OBJECT(status.StatusNotInProgress), TRUE, FALSE, FALSE,
     "UstatusThread - ERROR - !pIniPort->StatusNotInProgress.. goto StopThread"},
    {STATUS_OBJECT(pipe.hPipeDoingStatus), TRUE, FALSE, FALSE,
     "UstatusThread - ERROR - !pIniPort->hPipeDoingStatus.. goto StopThread"},
};

#undef STATUS_OBJECT

}  // namespace

BOOL createStatusObjects(INIPORT* pIniPort) {
  for (const StatusObject& object : kStatusObjects) {
    Relaxed<HANDLE>& field = object.field(*pIniPort);
    if (field != nullptr) continue;
    HANDLE handle;
    if (object.isMutex) {
      handle = CreateMutexW(nullptr, FALSE, nullptr);
    } else if (object.heartbeatGate) {
      // A document started before the first thread ran keeps the heartbeat parked.
      handle = CreateEventW(nullptr, TRUE, (pIniPort->flags & PP_IN_DOC) == 0, nullptr);
    } else {
      handle = CreateEventW(nullptr, object.manualReset, TRUE, nullptr);
    }
    if (handle == nullptr) {
      DebugTrace(pIniPort, TRACE_ERROR, object.missingTrace);
      return FALSE;
    }
    field = handle;
  }
  SetEvent(pIniPort->status.DoneReading);
  return TRUE;
}

void reapStatusThread(INIPORT* pIniPort) {
  const HANDLE thread = pIniPort->status.hStatusThread.exchange(nullptr);
  if (thread != nullptr) CloseHandle(thread);
}

void CloseStatusObjects(INIPORT* pIniPort) {
  reapStatusThread(pIniPort);
  for (const StatusObject& object : kStatusObjects) {
    const HANDLE handle = object.field(*pIniPort).exchange(nullptr);
    if (handle != nullptr) CloseHandle(handle);
  }
  pIniPort->status.WakeUp = nullptr;
  const HANDLE wakeUp = pIniPort->status.WakeUpEvent.exchange(nullptr);
  if (wakeUp != nullptr) CloseHandle(wakeUp);
}
