// The port's status thread: heartbeat queries while no document prints, and the
// real-time requests that pipe clients place. Its synchronisation objects
// (DoneReading, heartbeatRun, RTStatusComplete, OwnStatusData, StatusNotInProgress,
// hPipeDoingStatus and WakeUp's event) are created by the first thread of the port
// and live until the record is removed, so no thread ever uses a closed handle.
#pragma once

#include "platform/win32_api.h"

struct INIPORT;

// Starts the status thread unless one runs; waits for PortFree without limit. The
// new thread gives PortFree back once its objects exist and PP_IS_PJL is set, and
// the call returns after that.
BOOL CreateUstatusThread(INIPORT* pIniPort);

// The same with a limit on the wait for PortFree (FALSE when it runs out); *started
// tells whether this call started the thread.
BOOL startUstatusThread(INIPORT* pIniPort, DWORD portFreeWait, BOOL* started);

DWORD WINAPI UstatusThread(LPVOID pParameter);

// Stops the status thread and waits for it. forClose: the port is closing, its
// document is over (PP_IN_DOC cleared) and the thread is released from its rest on
// heartbeatRun; the call returns once the thread has ended. Otherwise it also
// returns when the thread stays because a document has started meanwhile.
void StopUstatusThread(INIPORT* pIniPort, BOOL forClose);

