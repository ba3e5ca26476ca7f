// A port's status objects (DoneReading, heartbeatRun, RTStatusComplete, OwnStatusData,
// StatusNotInProgress, hPipeDoingStatus and WakeUp's event): created by the first
// status thread of the port and kept until the record is removed, so no thread ever
// uses a closed handle.
#pragma once

#include "platform/win32_api.h"

struct INIPORT;

// Creates the objects a previous thread of the port has not created yet. Those that
// exist keep their state, except DoneReading, which starts set: no query runs yet.
BOOL createStatusObjects(INIPORT* pIniPort);
// Takes the handle of a status thread that has ended.
void reapStatusThread(INIPORT* pIniPort);
// Closes the status objects of a record whose status thread has ended; each once.
void CloseStatusObjects(INIPORT* pIniPort);
