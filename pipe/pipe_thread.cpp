// The port's pipe thread: one instance, one client at a time, one response per
// request, driven by overlapped operations through three states.
#include <cstdio>

#include "log/event_log.h"
#include "pipe/pipe_commands.h"
#include "pipe/pipe_server.h"
#include "platform/clock.h"
#include "port/debug_trace.h"
#include "port/monitor_state.h"
#include "port/port_record.h"
#include "port/settings.h"

namespace {

// How often the pipe is tried again while another process holds its name.
const DWORD kPipeRetryMs = 1000;
// The pipe has one instance: a client that sends nothing, or does not take its
// answer, for this long is dropped so that the next one is served.
const DWORD kIdleClientMs = 5000;

enum PipeState { CONNECTING_STATE = 0, READING_STATE = 1, WRITING_STATE = 2 };

struct PipeInstance {
  INIPORT* pIniPort;
  HANDLE hPipe;
  OVERLAPPED overlapped;
  PipeState state;
  BOOL pending;
  BYTE request[PIPE_REQUEST_SIZE];
  DWORD bytesRead;
  BYTE response[PIPE_RESPONSE_SIZE];
  DWORD responseLength;
};

BOOL shuttingDown(INIPORT* pIniPort) { return (pIniPort->flags & PP_SHUTDOWN_PIPE) != 0; }

void zeroOffsets(OVERLAPPED* overlapped) {
  overlapped->Offset = 0;
  overlapped->OffsetHigh = 0;
}

void reconnect(PipeInstance& pipe) {
  pipe.pending = ConnectToNewClient(pipe.pIniPort, &pipe.overlapped);
  pipe.state = pipe.pending ? CONNECTING_STATE : READING_STATE;
  if (!pipe.pending && GetLastError() != ERROR_PIPE_CONNECTED) {
    // A failed connect (a client that came and went before the listen) sets no
    // event, and the pipe would stay busy for good: the read that follows fails at
    // once and the server disconnects and listens again. The pause keeps a lasting
    // failure from spinning.
    clockSleep(10);
    SetEvent(pipe.overlapped.hEvent);
  }
}

void disconnectAndReconnect(PipeInstance& pipe) {
  if (!DisconnectNamedPipe(pipe.hPipe)) {
    DebugTraceF(pipe.pIniPort, TRACE_ERROR, "PipeThread - DisconnectNamedPipe failed, error %u",
                static_cast<unsigned>(GetLastError()));
  }
  reconnect(pipe);
}

// Collects the operation started before the wait. FALSE when the pipe thread is to
// end; *restarted when the client was dropped and the server listens again.
BOOL collect(PipeInstance& pipe, BOOL* restarted) {
  *restarted = FALSE;
  DWORD count = 0;
  const BOOL ok = GetOverlappedResult(pipe.hPipe, &pipe.overlapped, &count, FALSE);
  switch (pipe.state) {
    case CONNECTING_STATE:
      if (ok) {
        DebugTrace(pipe.pIniPort, TRACE_INFO, "PipeThread - In CONNECTING_STATE going to READING_STATE");
        pipe.state = READING_STATE;
        return TRUE;
      }
      DebugTraceF(pipe.pIniPort, TRACE_ERROR, "PipeThread - Connect error %u", static_cast<unsigned>(GetLastError()));
      if (shuttingDown(pipe.pIniPort)) {
        DebugTrace(pipe.pIniPort, TRACE_INFO, "PipeThread - PP_SHUTDOWN_PIPE set in IniPort");
        return FALSE;
      }
      DebugTrace(pipe.pIniPort, TRACE_INFO, "PipeThread - PP_SHUTDOWN_PIPE NOT set in IniPort");
      reconnect(pipe);
      *restarted = TRUE;
      return TRUE;
    case READING_STATE:
      if (ok && count > 0) {
        pipe.bytesRead = count;
        pipe.state = WRITING_STATE;
        return TRUE;
      }
      break;
    case WRITING_STATE:
      if (ok && count == pipe.responseLength) {
        pipe.state = READING_STATE;
        return TRUE;
      }
      break;
  }
  disconnectAndReconnect(pipe);
  *restarted = TRUE;
  return TRUE;
}

void startRead(PipeInstance& pipe) {
  DebugTrace(pipe.pIniPort, TRACE_INFO, "PipeThread - READING_STATE");
  zeroOffsets(&pipe.overlapped);
  DWORD count = 0;
  const BOOL ok = ReadFile(pipe.hPipe, pipe.request, sizeof pipe.request, &count, &pipe.overlapped);
  if (ok && count > 0) {
    DebugTraceF(pipe.pIniPort, TRACE_INFO, "PipeThread - Read %u bytes", static_cast<unsigned>(count));
    pipe.bytesRead = count;
    pipe.pending = FALSE;
    pipe.state = WRITING_STATE;
  } else if (!ok && GetLastError() == ERROR_IO_PENDING) {
    DebugTrace(pipe.pIniPort, TRACE_INFO, "PipeThread - Read pending");
    pipe.pending = TRUE;
  } else {
    // The client left, sent nothing, or sent more than one request can hold.
    DebugTrace(pipe.pIniPort, TRACE_INFO, "PipeThread - Read pipe failure, disconnect and reconnect, (normal operation)");
    disconnectAndReconnect(pipe);
  }
}

void startWrite(PipeInstance& pipe) {
  DebugTrace(pipe.pIniPort, TRACE_INFO, "PipeThread - WRITING_STATE");
  buildClientResponse(pipe.request, pipe.bytesRead, pipe.response, &pipe.responseLength, pipe.pIniPort);
  zeroOffsets(&pipe.overlapped);
  DWORD count = 0;
  const BOOL ok = WriteFile(pipe.hPipe, pipe.response, pipe.responseLength, &count, &pipe.overlapped);
  if (ok && count == pipe.responseLength) {
    pipe.pending = FALSE;
    pipe.state = READING_STATE;
  } else if (!ok && GetLastError() == ERROR_IO_PENDING) {
    pipe.pending = TRUE;
  } else {
    DebugTrace(pipe.pIniPort, TRACE_INFO, "PipeThread - Write pipe failure, disconnect and reconnect");
    disconnectAndReconnect(pipe);
  }
}

// A connect or read still outstanding when the thread ends would write into this
// instance after it is freed: cancel it and wait until the system has let go. The
// close sets the event to wake this thread, and a waiting GetOverlappedResult
// returns, with success, as soon as the event is set, ended or not: only the call
// that does not wait tells, so the result is polled until the operation has ended.
void endPending(PipeInstance& pipe) {
  if (!pipe.pending) return;
  CancelIoEx(pipe.hPipe, &pipe.overlapped);
  DWORD count = 0;
  while (!GetOverlappedResult(pipe.hPipe, &pipe.overlapped, &count, FALSE) && GetLastError() == ERROR_IO_INCOMPLETE) {
    clockSleep(1);
  }
  pipe.pending = FALSE;
}

void serve(PipeInstance& pipe) {
  reconnect(pipe);
  for (;;) {
    // An operation that finished at once left the event set: the wait returns at once.
    // Only the wait for a client to come is without limit.
    const BOOL clientBound = pipe.pending && pipe.state != CONNECTING_STATE;
    if (clockWait(pipe.overlapped.hEvent, clientBound ? kIdleClientMs : INFINITE) == WAIT_TIMEOUT) {
      DebugTrace(pipe.pIniPort, TRACE_INFO, "PipeThread - Client idle too long, disconnect and reconnect");
      endPending(pipe);
      disconnectAndReconnect(pipe);
      continue;
    }
    if (shuttingDown(pipe.pIniPort)) return;
    if (pipe.pending) {
      BOOL restarted = FALSE;
      if (!collect(pipe, &restarted)) return;
      if (restarted) continue;
    }
    if (pipe.state == READING_STATE) {
      startRead(pipe);
    } else if (pipe.state == WRITING_STATE) {
      startWrite(pipe);
    }
  }
}

// The pipe's name can be taken by any local process before the port opens; the
// monitor would then have no pipe while clients talk to the one that took it. The
// name held is logged once, and the pipe is tried again at a steady pace until the
// name is free or the port closes (the close sets the event and the flag).
BOOL createPipe(PipeInstance& pipe) {
  INIPORT* pIniPort = pipe.pIniPort;
  BOOL held = FALSE;
  for (;;) {
    if (QXOpenPipeOverlapped(pIniPort, &pipe.hPipe)) {
      if (held) DebugTrace(pIniPort, TRACE_INFO, "PipeThread - Pipe created, its name is free again");
      return TRUE;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_ACCESS_DENIED && error != ERROR_PIPE_BUSY) return FALSE;
    if (!held) {
      held = TRUE;
      char text[LOG_LINE_SIZE];
      snprintf(text, sizeof text, "PipeThread - Pipe name " PIPE_NAME_PREFIX "%s held by another process, OS err = %u",
               pIniPort->PortNameA, static_cast<unsigned>(error));
      DebugTrace(pIniPort, TRACE_ERROR, text);
      if (Settings.DRWenable) TextLogFile(pIniPort, text, "0028", DRW_ERRORS);
    }
    ResetEvent(pipe.overlapped.hEvent);
    if (shuttingDown(pIniPort)) return FALSE;
    clockWait(pipe.overlapped.hEvent, kPipeRetryMs);
    if (shuttingDown(pIniPort)) return FALSE;
  }
}

}  // namespace

DWORD WINAPI PipeThread(LPVOID lpvParam) {
  INIPORT* pIniPort = static_cast<INIPORT*>(lpvParam);
  DebugTraceF(pIniPort, TRACE_INFO, "PipeThread - Start for %s", pIniPort->PortNameA);
  // The buffers are too large for the thread's small stack.
  PipeInstance* pipe = static_cast<PipeInstance*>(AllocSplMem(sizeof(PipeInstance)));
  if (pipe == nullptr) {
    DebugTrace(pIniPort, TRACE_ERROR, "PipeThread - Pipe Thread Error - no memory");
    return 0;
  }
  pipe->pIniPort = pIniPort;
  const HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  if (event == nullptr) {
    DebugTrace(pIniPort, TRACE_ERROR, "PipeThread - Pipe Thread Error - CreateEvent");
  } else {
    pIniPort->pipe.hPipeEvent = event;
    pipe->overlapped.hEvent = event;
    if (createPipe(*pipe)) {
      serve(*pipe);
      endPending(*pipe);
    } else if (!shuttingDown(pIniPort)) {
      DebugTrace(pIniPort, TRACE_ERROR, "PipeThread - QXOpenPipeOverlapped failed");
    }
  }
  FreeSplMem(pipe);
  DebugTraceRaw("Shutting down pipe thread 1\r\n");
  DebugTrace(pIniPort, TRACE_INFO, "PipeThread - Stop");
  return 0;
}
