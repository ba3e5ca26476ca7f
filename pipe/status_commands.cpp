// The status commands: the stored reply (GET_LAST_STATUS) and a live one from the
// printer through the port's status thread (GET_REAL_TIME_STATUS).
#include <cstring>

#include "link/device_control.h"
#include "link/status_copies.h"
#include "pipe/pipe_commands.h"
#include "platform/clock.h"
#include "port/debug_trace.h"
#include "port/port_record.h"
#include "status/status_reply.h"

namespace {

const char kTimeoutText[] = "Status Timeout Occurred";

void answerTimeout(INIPORT* pIniPort, PipeAnswer* answer) {
  DebugTrace(pIniPort, TRACE_INFO, "buildClientResponse - Status Timeout occurred");
  answerText(answer, PIPE_ANSWER_TIMEOUT, kTimeoutText);
}

// While a document prints the status thread rests: the answer is the reply kept for
// the document, marked not ready, busy and printing. The caller holds
// hPipeDoingStatus and StatusNotInProgress.
void answerFromSavedStatus(INIPORT* pIniPort, PipeAnswer* answer) {
  EnterCriticalSection(&pIniPort->link.StatusCopyLock);
  pIniPort->link.SavedStatus[3] = static_cast<BYTE>(SYSTEM_NOT_READY | (pIniPort->link.SNECStatus[3] & 0x7F));
  pIniPort->link.SavedStatus[4] |= DOC_IN_PROGRESS | BUSY;
  DWORD length = pIniPort->link.SavedStatusLength;
  if (length > SAVED_STATUS_SIZE) length = SAVED_STATUS_SIZE;
  answerBytes(answer, PIPE_ANSWER_PASS, pIniPort->link.SavedStatus, length);
  LeaveCriticalSection(&pIniPort->link.StatusCopyLock);
}

// Hands the request to the status thread. The caller holds StatusNotInProgress, so
// the thread, which takes it for every pass, never sees a request half written, and
// the completion event is reset before the request can be served.
void placeRequest(INIPORT* pIniPort, const PipeRequest& request) {
  ResetEvent(pIniPort->status.RTStatusComplete);
  const DWORD length = request.length - REAL_TIME_STATUS_MIN_PAYLOAD;
  memcpy(pIniPort->status.RTStatusCommand, request.payload + REAL_TIME_STATUS_MIN_PAYLOAD, length);
  pIniPort->status.RTStatusCommandLength = length;
  pIniPort->status.RTStatusRequest = TRUE;
}

// Waits for the status thread for at most timeout ms, in short slices so that a
// closing port does not wait for the rest of a long client time-out.
DWORD waitForRequest(INIPORT* pIniPort, HANDLE complete, DWORD timeout) {
  const DWORD start = clockTickCount();
  for (;;) {
    const DWORD elapsed = clockTickCount() - start;
    const DWORD left = elapsed >= timeout ? 0 : timeout - elapsed;
    const DWORD result = clockWait(complete, left < 100 ? left : 100);
    if (result != WAIT_TIMEOUT || left <= 100) return result;
    if (pIniPort->flags & PP_SHUTDOWN_PIPE) return WAIT_TIMEOUT;
  }
}

// The reply the status thread kept for this request.
void answerFromRealTimeReply(INIPORT* pIniPort, PipeAnswer* answer) {
  const HANDLE ownStatusData = lockLastStatus(pIniPort);
  const DWORD length = pIniPort->status.RTStatusReplyLength;
  answerBytes(answer, length != 0 ? PIPE_ANSWER_PASS : PIPE_ANSWER_NO_STATUS, pIniPort->status.RTStatusReply, length);
  if (ownStatusData == nullptr || ReleaseMutex(ownStatusData)) {
    DebugTrace(pIniPort, TRACE_INFO, "buildClientResponse - Release Own Printer Mutex in pipe thread passed");
  } else {
    DebugTrace(pIniPort, TRACE_ERROR, "buildClientResponse - Release Own Printer Mutex in pipe thread failed");
    traceLastError(pIniPort, "buildClientResponse - ReleaseMutex - ");
  }
}

}  // namespace

void answerLastStatus(INIPORT* pIniPort, PipeAnswer* answer) {
  pIniPort->status.RTStatusRequest = FALSE;
  const HANDLE ownStatusData = lockLastStatus(pIniPort);
  DWORD length = pIniPort->status.LastStatusLength;
  if (length > LAST_STATUS_SIZE) length = LAST_STATUS_SIZE;
  answerBytes(answer, length != 0 ? PIPE_ANSWER_PASS : PIPE_ANSWER_NO_STATUS, pIniPort->status.LastStatus, length);
  unlockLastStatus(ownStatusData);
}

void answerRealTimeStatus(INIPORT* pIniPort, const PipeRequest& request, PipeAnswer* answer) {
  DebugTrace(pIniPort, TRACE_INFO, "buildClientResponse - GET_REAL_TIME_STATUS");
  const HANDLE doingStatus = pIniPort->pipe.hPipeDoingStatus;
  const HANDLE notInProgress = pIniPort->status.StatusNotInProgress;
  const HANDLE complete = pIniPort->status.RTStatusComplete;
  if (doingStatus == nullptr || notInProgress == nullptr || complete == nullptr) {
    DebugTrace(pIniPort, TRACE_ERROR, "buildClientResponse - the port has no status thread");
    answerTimeout(pIniPort, answer);
    return;
  }
  clockWait(doingStatus, INFINITE);
  clockWait(notInProgress, INFINITE);
  if (pIniPort->flags & PP_IN_DOC) {
    answerFromSavedStatus(pIniPort, answer);
    ReleaseMutex(notInProgress);
    ReleaseMutex(doingStatus);
    return;
  }
  const HANDLE wakeUp = pIniPort->status.WakeUp;
  if (wakeUp == nullptr) {
    // No status thread would ever serve the request.
    ReleaseMutex(notInProgress);
    ReleaseMutex(doingStatus);
    DebugTrace(pIniPort, TRACE_ERROR, "buildClientResponse - the port's status thread has ended");
    answerTimeout(pIniPort, answer);
    return;
  }
  // The pipe request shows in the state before the status thread can take the
  // request, and the state goes back before a document may change it.
  const PRINTER_STATE printerState = pIniPort->status.printerState;
  pIniPort->status.printerState = PRINTER_STATE_PIPE_REQUEST;
  placeRequest(pIniPort, request);
  ReleaseMutex(notInProgress);

  if (pIniPort->flags & PP_STATUS_LOOP) {
    DebugTrace(pIniPort, TRACE_INFO, "buildClientResponse - RTS - pIniPort->WakeUp");
    SetEvent(wakeUp);
  }
  const DWORD timeout = (static_cast<DWORD>(request.payload[0]) << 8) | request.payload[1];
  DebugTraceF(pIniPort, TRACE_INFO, "buildClientResponse - time-out bytes %02X %02X, time-out = %u ms",
              static_cast<unsigned>(request.payload[0]), static_cast<unsigned>(request.payload[1]),
              static_cast<unsigned>(timeout));
  const DWORD waited = waitForRequest(pIniPort, complete, timeout);
  pIniPort->status.printerState = printerState;
  ReleaseMutex(doingStatus);

  if (waited != WAIT_OBJECT_0) {
    if (waited == WAIT_TIMEOUT) {
      DebugTrace(pIniPort, TRACE_INFO, "buildClientResponse - Wait for status timeout");
    } else {
      traceLastError(pIniPort, "buildClientResponse - Wait for status failed - ");
    }
    answerTimeout(pIniPort, answer);
    return;
  }
  DebugTrace(pIniPort, TRACE_INFO, "buildClientResponse - Status event occurred");
  answerFromRealTimeReply(pIniPort, answer);
}
