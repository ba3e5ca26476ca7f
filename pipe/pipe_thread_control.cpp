// Starting and stopping the port's pipe thread.
#include "pipe/pipe_server.h"
#include "platform/clock.h"
#include "port/debug_trace.h"
#include "port/monitor_state.h"
#include "port/port_record.h"

namespace {

void closeField(Relaxed<HANDLE>& field) {
  const HANDLE h = field.exchange(nullptr);
  if (h != nullptr) CloseHandle(h);
}

// The pipe and event of a pipe thread that has ended; the thread closes neither.
void closePipeObjects(INIPORT* pIniPort) {
  closeField(pIniPort->pipe.hPipe);
  closeField(pIniPort->pipe.hPipeEvent);
}

}  // namespace

BOOL CreatePipeThread(INIPORT* pIniPort) {
  DebugTraceF(pIniPort, TRACE_INFO, "CreatePipeThread - Starting pipe thread for %s", pIniPort->PortNameA);
  // SplSem keeps two callers (a document start and a memory query) from starting
  // two threads for the port.
  EnterCriticalSection(&SplSem);
  const HANDLE previous = pIniPort->pipe.hPipeThread;
  if (previous != nullptr) {
    if (clockWait(previous, 0) == WAIT_TIMEOUT) {
      LeaveCriticalSection(&SplSem);
      DebugTrace(pIniPort, TRACE_INFO, "CreatePipeThread - Pipe thread already running");
      return TRUE;
    }
    CloseHandle(previous);
    pIniPort->pipe.hPipeThread = nullptr;
    closePipeObjects(pIniPort);
  }
  pIniPort->flags &= ~PP_SHUTDOWN_PIPE;
  const HANDLE thread = CreateThread(nullptr, 32768, PipeThread, pIniPort, 0, nullptr);
  if (thread != nullptr) {
    SetThreadPriority(thread, THREAD_PRIORITY_ABOVE_NORMAL);
    pIniPort->pipe.hPipeThread = thread;
  }
  LeaveCriticalSection(&SplSem);
  if (thread == nullptr) {
    DebugTraceF(pIniPort, TRACE_ERROR, "CreatePipeThread - Pipe thread creation failed, error %u",
                static_cast<unsigned>(GetLastError()));
    return FALSE;
  }
  return TRUE;
}

void StopPipeThread(INIPORT* pIniPort) {
  EnterCriticalSection(&SplSem);
  const HANDLE thread = pIniPort->pipe.hPipeThread.exchange(nullptr);
  LeaveCriticalSection(&SplSem);
  if (thread != nullptr) {
    pIniPort->flags |= PP_SHUTDOWN_PIPE;
    // The thread may be between two operations when first told: the pending
    // connect, read or write is cancelled and the event set again until it has gone.
    // A request being answered ends within its own bound.
    do {
      const HANDLE pipe = pIniPort->pipe.hPipe;
      if (pipe != nullptr) CancelIoEx(pipe, nullptr);
      const HANDLE event = pIniPort->pipe.hPipeEvent;
      if (event != nullptr) SetEvent(event);
    } while (clockWait(thread, 500) == WAIT_TIMEOUT);
    CloseHandle(thread);
  }
  closePipeObjects(pIniPort);
  DebugTrace(pIniPort, TRACE_INFO, "MonOpenPort - End of 3 second sleep");
}
