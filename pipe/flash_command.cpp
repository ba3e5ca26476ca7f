// PROGRAM_FLASH: starts a firmware update on the port for the requesting client.
#include <cstring>

#include "flash/flash_codes.h"
#include "flash/flash_update.h"
#include "pipe/pipe_commands.h"
#include "port/debug_trace.h"
#include "port/port_record.h"

namespace {

const DWORD kPathSize = 4096;

// The answer to each refusal; an unknown code is answered with an empty text.
LPCSTR refusalText(DWORD result) {
  switch (result) {
    case QX_ERR_PRINTER_NOT_READY:
      return "PRINTER NOT READY";
    case QX_ERR_PRINTER_VERSION:
      return "PRINTER VERSION < 1.20";
    case QX_ERR_BIN_FILE_NOT_FOUND:
      return "BIN FILE NOT FOUND";
    case QX_ERR_INCORRECT_BIN_FILE:
      return "INCORRECT BIN FILE";
    case QX_ERR_BIN_FILE_BAD_EXTENSION:
      return "BIN FILE BAD EXTENTION";
    case QX_ERR_NO_MODEL:
      return "PRINTER CAN NOT GET MODEL";
    case QX_ERR_STATUS_READ:
      return "PRINTER STATUS READ ERROR";
    case QX_ERR_NO_FLASH_MODE:
      return "PRINTER DID NOT ENTER REPROGRAM MODE";
    case QX_ERR_PROGRAM_FAILED:
      return "PRINTER PROGRAM FAILED AFTER RETRY";
    case QX_ERR_SERIAL_BUSY:
      return "CHANGE DIP SWITCH #7 ON THE PRINTER SERIAL INTERFACE CARD";
    default:
      return "";
  }
}

}  // namespace

void answerProgramFlash(INIPORT* pIniPort, const PipeRequest& request, PipeAnswer* answer) {
  DebugTrace(pIniPort, TRACE_INFO, "buildClientResponse - PROGRAM FLASH");
  const BOOL withChecks = request.payload[0] == 'T';

  // The path stops at its first NUL and is always terminated: the payload holds at
  // most 2040 path bytes.
  char path[kPathSize] = {};
  const DWORD pathLength = request.length - PROGRAM_FLASH_MIN_PAYLOAD;
  for (DWORD i = 0; i < pathLength && i + 1 < kPathSize && request.payload[1 + i] != 0; ++i) {
    path[i] = static_cast<char>(request.payload[1 + i]);
  }

  char response[FLASH_RESPONSE_SIZE] = {};
  // The update opens the file as the client connected on this port's pipe.
  const DWORD result = qxProgramFlash(path, pIniPort, response, withChecks, sizeof response, pIniPort->pipe.hPipe);
  if (result == QX_ERR_OK) {
    response[sizeof response - 1] = 0;
    answerText(answer, PIPE_ANSWER_PASS, response);
  } else {
    answerText(answer, PIPE_ANSWER_FLASH, refusalText(result));
  }
}
