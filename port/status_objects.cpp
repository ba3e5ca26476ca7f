// The status objects of a port: created by its first status thread, closed with the record.
#include "port/status_objects.h"

#include "port/debug_trace.h"
#include "port/port_record.h"

namespace {

struct StatusObject {
  Relaxed<HANDLE> INIPORT::*field;
  BOOL isMutex;
  BOOL manualReset;
  LPCSTR missingTrace;
};

const StatusObject kStatusObjects[] = {
    {&INIPORT::DoneReading, FALSE, TRUE, "UstatusThread - ERROR - !pIniPort->DoneReading.. goto StopThread"},
    {&INIPORT::heartbeatRun, FALSE, TRUE, "UstatusThread - ERROR - !pIniPort->heartbeatRun.. goto StopThread"},
    {&INIPORT::RTStatusComplete, FALSE, FALSE, "UstatusThread - ERROR - !pIniPort->RTStatusComplete.. goto StopThread"},
    {&INIPORT::OwnStatusData, TRUE, FALSE, "UstatusThread - ERROR - !pIniPort->OwnStatusData.. goto StopThread"},
    {&INIPORT::StatusNotInProgress, TRUE, FALSE,
     "UstatusThread - ERROR - !pIniPort->StatusNotInProgress.. goto StopThread"},
    {&INIPORT::hPipeDoingStatus, TRUE, FALSE, "UstatusThread - ERROR - !pIniPort->hPipeDoingStatus.. goto StopThread"},
};

}  // namespace

BOOL createStatusObjects(INIPORT* pIniPort) {
  for (const StatusObject& object : kStatusObjects) {
    Relaxed<HANDLE>& field = pIniPort->*object.field;
    if (field != nullptr) continue;
    HANDLE handle;
    if (object.isMutex) {
      handle = CreateMutexW(nullptr, FALSE, nullptr);
    } else if (object.field == &INIPORT::heartbeatRun) {
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
  SetEvent(pIniPort->DoneReading);
  return TRUE;
}

void reapStatusThread(INIPORT* pIniPort) {
  const HANDLE thread = pIniPort->hStatusThread.exchange(nullptr);
  if (thread != nullptr) CloseHandle(thread);
}

void CloseStatusObjects(INIPORT* pIniPort) {
  reapStatusThread(pIniPort);
  for (const StatusObject& object : kStatusObjects) {
    const HANDLE handle = (pIniPort->*object.field).exchange(nullptr);
    if (handle != nullptr) CloseHandle(handle);
  }
  pIniPort->WakeUp = nullptr;
  const HANDLE wakeUp = pIniPort->WakeUpEvent.exchange(nullptr);
  if (wakeUp != nullptr) CloseHandle(wakeUp);
}
