// The dispatch of pipe commands, and the commands that are one step each.
#include <cstring>

#include "flash/flash_progress.h"
#include "flash/flash_update.h"
#include "jobs/job_outcome.h"
#include "link/device_control.h"
#include "pipe/pipe_commands.h"
#include "port/debug_trace.h"
#include "port/monitor_state.h"
#include "port/monitor_version.h"
#include "port/port_record.h"
#include "port/settings.h"
#include "port/settings_table.h"

namespace {

DWORD littleEndian32(const BYTE* bytes) {
  return static_cast<DWORD>(bytes[0]) | (static_cast<DWORD>(bytes[1]) << 8) | (static_cast<DWORD>(bytes[2]) << 16) |
         (static_cast<DWORD>(bytes[3]) << 24);
}

// Commands 0 to 9 wait while a firmware update runs.
BOOL gated(BYTE code) { return code <= PROGRAM_FLASH; }

// Requests whose arguments could not be taken as they stand are refused like a
// damaged packet, before anything else happens.
BOOL argumentsFit(const PipeRequest& request) {
  if (request.code == GET_REAL_TIME_STATUS) {
    return request.length >= REAL_TIME_STATUS_MIN_PAYLOAD && request.length <= REAL_TIME_STATUS_MAX_PAYLOAD;
  }
  if (request.code == PROGRAM_FLASH) return request.length >= PROGRAM_FLASH_MIN_PAYLOAD;
  return TRUE;
}

// The switches take 0 or 1, the values their settings may hold: any other byte is
// more likely a client's mistake than a wish, and is refused.
void setHeartbeat(INIPORT* pIniPort, const PipeRequest& request, PipeAnswer* answer) {
  DebugTraceF(pIniPort, TRACE_INFO, "buildClientResponse - SET_HEARTBEAT value = %u",
              static_cast<unsigned>(request.payload[0]));
  if (!settingValueAllowed("EnableHeartBeat", request.payload[0])) {
    answerText(answer, PIPE_ANSWER_FLASH, "HEARTBEAT SWITCH OUT OF RANGE");
    return;
  }
  if (request.payload[0] != 0) {
    HeartbeatOn = TRUE;
  } else {
    sendDisableWatchDog(pIniPort);
    HeartbeatOn = FALSE;
  }
  answerText(answer, PIPE_ANSWER_PASS, "Set Heartbeat");
}

void setHeartbeatRate(INIPORT* pIniPort, const PipeRequest& request, PipeAnswer* answer) {
  const DWORD rate = littleEndian32(request.payload);
  DebugTraceF(pIniPort, TRACE_INFO, "buildClientResponse - SET_HEARTBEAT_RATE value = %u", static_cast<unsigned>(rate));
  // The rate is the status thread's wait: 0 would spin, a huge one stalls it.
  if (!settingValueAllowed("HeartBeatRate", rate)) {
    answerText(answer, PIPE_ANSWER_FLASH, "HEARTBEAT RATE OUT OF RANGE");
    return;
  }
  Settings.HeartBeatRate = rate;
  wdHeartBeatRate = rate;
  answerText(answer, PIPE_ANSWER_PASS, "Set Heartbeat rate");
}

void setSpoolerMode(INIPORT* pIniPort, const PipeRequest& request, PipeAnswer* answer) {
  DebugTraceF(pIniPort, TRACE_INFO, "buildClientResponse - SET_SPOOLER_MODE value = %u",
              static_cast<unsigned>(request.payload[0]));
  if (!settingValueAllowed("EOJEjectSendLastPage", request.payload[0])) {
    answerText(answer, PIPE_ANSWER_FLASH, "SPOOLER MODE OUT OF RANGE");
    return;
  }
  Settings.EOJEjectSendLastPage = request.payload[0];
  answerText(answer, PIPE_ANSWER_PASS, "Set spooler mode");
}

void answerFlashProgress(INIPORT* pIniPort, PipeAnswer* answer) {
  char progress[FLASH_PROGRESS_SIZE];
  copyFlashProgress(pIniPort, progress, sizeof progress);
  answerText(answer, PIPE_ANSWER_PASS, progress);
}

void runCommand(INIPORT* pIniPort, const PipeRequest& request, PipeAnswer* answer) {
  switch (request.code) {
    case GET_LAST_STATUS:
      answerLastStatus(pIniPort, answer);
      break;
    case GET_REAL_TIME_STATUS:
      answerRealTimeStatus(pIniPort, request, answer);
      break;
    case GET_PRINTER_NAME:
      displayJobs(pIniPort);
      answerText(answer, PIPE_ANSWER_PASS, pIniPort->PrinterName);
      break;
    case GET_PORT_NAME:
      answerText(answer, PIPE_ANSWER_PASS, pIniPort->PortNameA);
      break;
    case GET_DPRINT_STATE:
      if (pIniPort->flags & PP_IN_DOC) {
        answerText(answer, PIPE_ANSWER_IN_DOC, "DPrint IN progress");
      } else {
        answerText(answer, PIPE_ANSWER_NOT_IN_DOC, "dPrint NOT in progress");
      }
      break;
    case SET_HEARTBEAT:
      setHeartbeat(pIniPort, request, answer);
      break;
    case SET_HEARTBEAT_RATE:
      setHeartbeatRate(pIniPort, request, answer);
      break;
    case SET_SPOOLER_MODE:
      setSpoolerMode(pIniPort, request, answer);
      break;
    case GET_LM_VERSION:
      answerText(answer, PIPE_ANSWER_PASS, QX_MONITOR_VERSION_TEXT);
      break;
    case PROGRAM_FLASH:
      answerProgramFlash(pIniPort, request, answer);
      break;
    case GET_FLASH_PROGRESS:
      answerFlashProgress(pIniPort, answer);
      break;
    case ABORT_DOCUMENT:
      DebugTrace(pIniPort, TRACE_INFO, "buildClientResponse - ABORT_DOCUMENT");
      pIniPort->doc.AbortPending = TRUE;
      cancelFlashUpdate(pIniPort);
      answerText(answer, PIPE_ANSWER_PASS, "Abort Document");
      break;
    case SET_REGISTRY_KEY:
      answerSetRegistryKey(pIniPort, request, answer);
      break;
    case GET_JOB_OUTCOMES: {
      char text[sizeof answer->data];
      formatJobOutcomes(pIniPort, text, sizeof text);
      answerText(answer, PIPE_ANSWER_PASS, text);
      break;
    }
    default:
      DebugTrace(pIniPort, TRACE_INFO, "buildClientResponse - UNKNOWN STATUS command");
      answerText(answer, PIPE_ANSWER_UNKNOWN, "Unknown status Language Monitor command");
      break;
  }
}

}  // namespace

void answerText(PipeAnswer* answer, BYTE type, LPCSTR text) {
  size_t length = strlen(text);
  if (length >= sizeof answer->data) length = sizeof answer->data - 1;
  memcpy(answer->data, text, length);
  answer->data[length] = 0;
  answer->type = type;
  answer->length = static_cast<WORD>(length + 1);
}

void answerBytes(PipeAnswer* answer, BYTE type, const BYTE* bytes, DWORD count) {
  if (count > sizeof answer->data) count = sizeof answer->data;
  if (count != 0) memcpy(answer->data, bytes, count);
  answer->type = type;
  answer->length = static_cast<WORD>(count);
}

BOOL buildClientResponse(const BYTE* request, DWORD bytesRead, BYTE* response, DWORD* responseLength,
                         INIPORT* pIniPort) {
  DebugTrace(pIniPort, TRACE_INFO, "buildClientResponse - Start");
  // Both live as long as one request; kept off the pipe thread's small stack.
  static thread_local PipeRequest unpacked;
  static thread_local PipeAnswer answer;
  answer.type = PIPE_ANSWER_BAD_PACKET;
  answer.length = 0;

  if (!unpackRequest(request, bytesRead, &unpacked) || !argumentsFit(unpacked)) {
    DebugTrace(pIniPort, TRACE_ERROR, "buildClientResponse - Bad packet received from pipe client");
    answerText(&answer, PIPE_ANSWER_BAD_PACKET, "Bad packet received");
  } else if (requestAllowed(pIniPort, unpacked, &answer)) {
    // The version request re-reads the settings even while a firmware update runs.
    if (unpacked.code == GET_LM_VERSION) readMonitorSettings(RegistryRoot);
    if (gated(unpacked.code) && pIniPort->flash.FlashInProgress) {
      answerText(&answer, PIPE_ANSWER_FLASH, "FLASH UPLOAD IN PROGRESS");
    } else {
      runCommand(pIniPort, unpacked, &answer);
    }
  }

  buildPacket(answer.type, answer.data, answer.length, response, responseLength, pIniPort);
  DebugTrace(pIniPort, TRACE_INFO, "buildClientResponse - Build client response start, end of function pass");
  return TRUE;
}
