#include "status/status_thread.h"

#include "link/device_control.h"
#include "link/link_lock.h"
#include "link/status_copies.h"
#include "log/event_log.h"
#include "platform/clock.h"
#include "port/debug_trace.h"
#include "port/monitor_state.h"
#include "port/port_record.h"
#include "port/port_status.h"
#include "port/settings.h"
#include "port/status_objects.h"
#include "status/log_printer_requests.h"
#include "status/status_query.h"

namespace {

void postOffline(INIPORT* pIniPort) {
  pIniPort->status.OfflineAtStart = TRUE;
  pIniPort->status.PrinterStatus = PORT_STATUS_OFFLINE;
  if (postSpoolerPortStatus(pIniPort, PORT_STATUS_OFFLINE, PORT_STATUS_TYPE_ERROR)) {
    DebugTrace(pIniPort, TRACE_INFO, "UstatusThread - Call MAKE OFFLINE to SetPort passed");
  } else {
    DebugTrace(pIniPort, TRACE_ERROR, "UstatusThread - Call MAKE OFFLINE to SetPort failed");
  }
}

// The top of each pass: the thread goes on while it is to run, and never leaves in
// the middle of a document. Decided while holding StatusNotInProgress, under which
// the start of a document sets PP_IN_DOC: a thread still in its loop once a document
// has started stays for that document.
BOOL keepRunning(INIPORT* pIniPort) {
  if (pIniPort->flags & PP_RUN_THREAD) return TRUE;
  if (!(pIniPort->flags & PP_IN_DOC)) return FALSE;
  pIniPort->flags |= PP_RUN_THREAD;
  return TRUE;
}

// Told to stop, a thread either ends or stays: it stays when it has taken the flag
// back, or when a document started while it was still in its loop (it rests on
// heartbeatRun until that document ends). A stay is made for good, so that the
// document has its heartbeat after it.
BOOL threadStays(INIPORT* pIniPort) {
  const DWORD flags = pIniPort->flags;
  if (flags & PP_RUN_THREAD) return TRUE;
  if ((flags & (PP_IN_DOC | PP_STATUS_LOOP)) != (PP_IN_DOC | PP_STATUS_LOOP)) return FALSE;
  pIniPort->flags |= PP_RUN_THREAD;
  return TRUE;
}

void releaseStatusLock(INIPORT* pIniPort) {
  if (!ReleaseMutex(pIniPort->status.StatusNotInProgress)) {
    DebugTrace(pIniPort, TRACE_ERROR, "UstatusThread - Release Status StatusNotInProgress Mutex error");
    traceLastError(pIniPort, "UStatus - ERROR");
  }
}

// The off-line status posted at the start stands for a reply to come. A port that
// is not queried (heartbeat off, FILE:) cannot be known: the claim is taken back
// and the port shows no status until a reply says otherwise.
void withdrawOfflineAtStart(INIPORT* pIniPort) {
  if (!pIniPort->status.OfflineAtStart.exchange(FALSE)) return;
  pIniPort->status.PrinterStatus = 0;
  if (postSpoolerPortStatus(pIniPort, 0, 0)) {
    DebugTrace(pIniPort, TRACE_INFO, "UstatusThread - no status query, off line status cleared");
  } else {
    DebugTrace(pIniPort, TRACE_ERROR, "UstatusThread - no status query, SetPort failed to clear the status");
    pIniPort->status.PrinterStatus = PORT_STATUS_OFFLINE;
    pIniPort->status.OfflineAtStart = TRUE;
  }
}

// One pass while holding StatusNotInProgress; TRUE when a query ran. A port whose
// firmware update runs belongs to the update alone, whatever the heartbeat switch.
BOOL statusPass(INIPORT* pIniPort) {
  if (clockWait(pIniPort->status.heartbeatRun, 0) != WAIT_OBJECT_0 || pIniPort->flash.FlashInProgress) return FALSE;
  BOOL queried = FALSE;
  if (pIniPort->status.RTStatusRequest) {
    DebugTrace(pIniPort, TRACE_INFO, "UstatusThread - Status Thread Get real time status");
    pIniPort->status.RTStatusRequest = FALSE;
    // The pipe writes the request under StatusNotInProgress, which this pass holds.
    // Zero beyond the request: the request check looks at four bytes whatever its length.
    BYTE request[RT_STATUS_COMMAND_SIZE] = {};
    DWORD length = pIniPort->status.RTStatusCommandLength & 0xFFFF;
    if (length > sizeof request) length = sizeof request;
    for (DWORD i = 0; i < length; ++i) request[i] = pIniPort->status.RTStatusCommand[i];
    {
      // The answer is kept before any other reader of the port can replace it.
      LinkLockHold link(pIniPort);
      ReadCommand(pIniPort, TRUE, request, length);
      keepRealTimeReply(pIniPort);
    }
    SetEvent(pIniPort->status.RTStatusComplete);
    queried = TRUE;
  } else if (HeartbeatOn) {
    ReadCommand(pIniPort, FALSE, nullptr, 0);
    sendEnableWatchDog(pIniPort, 0);
    queried = TRUE;
  } else {
    withdrawOfflineAtStart(pIniPort);
  }
  // The event log's own requests follow the query that asked for them.
  runLogPrinterRequests(pIniPort);
  clockSleep(25);
  return queried;
}

void statusLoop(INIPORT* pIniPort) {
  const HANDLE wakeUp = pIniPort->status.WakeUpEvent;
  for (;;) {
    clockWait(pIniPort->status.StatusNotInProgress, INFINITE);
    if (!keepRunning(pIniPort)) {
      // Others learn under the same lock that the thread is leaving.
      pIniPort->flags &= ~PP_STATUS_LOOP;
      releaseStatusLock(pIniPort);
      return;
    }
    const BOOL queried = statusPass(pIniPort);
    releaseStatusLock(pIniPort);
    // Whoever asked for a pass is not kept waiting for a query that could not run
    // (heartbeat off, or a document holding the heartbeat).
    if (!queried) SetEvent(pIniPort->status.DoneReading);
    clockWait(wakeUp, Settings.HeartBeatRate);
    clockWait(pIniPort->status.heartbeatRun, INFINITE);
  }
}

void waitForThreadEnd(INIPORT* pIniPort, HANDLE thread) {
  while (clockWait(thread, 500) == WAIT_TIMEOUT) DebugTrace(pIniPort, TRACE_INFO, "StopUstatusThread - Waiting");
}


}  // namespace

DWORD WINAPI UstatusThread(LPVOID pParameter) {
  INIPORT* pIniPort = static_cast<INIPORT*>(pParameter);
  DebugTraceF(pIniPort, TRACE_INFO, "UstatusThread - Status thread started for %s", pIniPort->PortNameA);
  pIniPort->flags |= PP_IS_PJL;
  const BOOL ready = createStatusObjects(pIniPort);
  // The starter holds the port until the objects exist.
  SetEvent(pIniPort->PortFree);
  if (ready) {
    DebugTrace(pIniPort, TRACE_INFO, "UstatusThread - Set Thread running status");
    pIniPort->flags |= PP_STATUS_LOOP;
    postOffline(pIniPort);
    statusLoop(pIniPort);
    ClearPrinterStatusAndIniJobs(pIniPort);
    // Nobody waits for a read this thread will not make.
    SetEvent(pIniPort->status.DoneReading);
  }
  pIniPort->flags &= ~(PP_RUN_THREAD | PP_STATUS_LOOP);
  pIniPort->status.WakeUp = nullptr;
  DebugTrace(pIniPort, TRACE_INFO, "UstatusThread - ****************** Status thread kill ******************");
  return 0;
}

BOOL startUstatusThread(INIPORT* pIniPort, DWORD portFreeWait, BOOL* started) {
  *started = FALSE;
  if (clockWait(pIniPort->PortFree, portFreeWait) != WAIT_OBJECT_0) {
    DebugTrace(pIniPort, TRACE_ERROR, "CreateUstatusThread - port busy, thread not started");
    return FALSE;
  }
  const HANDLE previous = pIniPort->status.hStatusThread;
  if (previous != nullptr) {
    // A thread of this port still runs: it either goes on (it is to run, or it stays
    // for a document) or it is on its way out and is waited for.
    while (clockWait(previous, 500) == WAIT_TIMEOUT) {
      if (threadStays(pIniPort)) {
        SetEvent(pIniPort->PortFree);
        return TRUE;
      }
    }
    reapStatusThread(pIniPort);
  }

  if (pIniPort->status.WakeUpEvent == nullptr) pIniPort->status.WakeUpEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (pIniPort->status.WakeUpEvent != nullptr) {
    ResetEvent(pIniPort->status.WakeUpEvent);
    pIniPort->status.WakeUp = pIniPort->status.WakeUpEvent.load();
    pIniPort->flags |= PP_RUN_THREAD;
    const HANDLE thread = CreateThread(nullptr, 32768, UstatusThread, pIniPort, 0, nullptr);
    if (thread != nullptr) {
      SetThreadPriority(thread, THREAD_PRIORITY_LOWEST);
      pIniPort->status.hStatusThread = thread;
      *started = TRUE;
      // The thread hands the port back once its objects exist; the caller (and the
      // spooler's next call) may use them as soon as this returns.
      if (clockWait(pIniPort->PortFree, portFreeWait) == WAIT_OBJECT_0) SetEvent(pIniPort->PortFree);
      DebugTrace(pIniPort, TRACE_INFO, "CreateUstatusThread - thread created successfully");
      return TRUE;
    }
  }
  pIniPort->status.WakeUp = nullptr;
  pIniPort->flags &= ~PP_RUN_THREAD;
  SetEvent(pIniPort->PortFree);
  DebugTrace(pIniPort, TRACE_ERROR, "CreateUstatusThread - thread creation failed");
  return FALSE;
}

BOOL CreateUstatusThread(INIPORT* pIniPort) {
  DebugTraceF(pIniPort, TRACE_INFO, "CreateUstatusThread - Starting thread for %s", pIniPort->PortNameA);
  BOOL started = FALSE;
  return startUstatusThread(pIniPort, INFINITE, &started);
}

void StopUstatusThread(INIPORT* pIniPort, BOOL forClose) {
  const HANDLE thread = pIniPort->status.hStatusThread;
  pIniPort->flags &= ~PP_RUN_THREAD;
  if (thread == nullptr) return;
  if (forClose && pIniPort->status.heartbeatRun != nullptr) SetEvent(pIniPort->status.heartbeatRun);
  SetEvent(pIniPort->status.WakeUpEvent);
  if (forClose) {
    waitForThreadEnd(pIniPort, thread);
  } else {
    while (clockWait(thread, 500) == WAIT_TIMEOUT) {
      if (threadStays(pIniPort)) return;
    }
  }
  reapStatusThread(pIniPort);
}
