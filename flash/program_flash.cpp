// The firmware update request: everything that happens before the file's bytes
// go to the printer.
#include <cstdio>
#include <cstring>

#include "flash/firmware_check.h"
#include "flash/flash_codes.h"
#include "flash/flash_progress.h"
#include "flash/flash_update.h"
#include "flash/printer_query.h"
#include "link/device_control.h"
#include "platform/clock.h"
#include "port/debug_trace.h"
#include "port/port_record.h"
#include "status/status_interpret.h"
#include "status/status_reply.h"

namespace {

// Every refusal after the claim gives the port back and ends the claim; the
// progress line is left as it was when there is none for the step.
DWORD refuse(INIPORT* pIniPort, DWORD code, LPCSTR progressLine) {
  if (progressLine != nullptr) setFlashProgress(pIniPort, "%s", progressLine);
  if (pIniPort->flash.hFlashFile != nullptr) {
    CloseHandle(pIniPort->flash.hFlashFile);
    pIniPort->flash.hFlashFile = nullptr;
  }
  SetEvent(pIniPort->PortFree);
  pIniPort->flash.FlashInProgress = FALSE;
  return code;
}

// A printer told to enter flash programming mode whose answer never came stays
// there, taking every later job as firmware: the end of a transfer sends it back.
void leaveFlashMode(INIPORT* pIniPort) {
  DebugTrace(pIniPort, TRACE_ERROR, "qxProgramFlash - no flash mode answer, sending the printer out of flash mode");
  sendFlashRequest(pIniPort, END_FLASH_FILE_TRANSFER);
}

// Puts the printer into flash programming mode and checks its acknowledgement;
// QX_ERR_OK, or the refusal's code with its progress line.
DWORD enterFlashMode(INIPORT* pIniPort, LPCSTR* pProgressLine) {
  if (!sendFlashRequest(pIniPort, ENTER_FLASH_PROGRAMMING_MODE)) {
    *pProgressLine = "3,0,0,F,FLASH PROGRAM STATUS SELECT ERROR-1";
    return QX_ERR_STATUS_READ;
  }
  BYTE reply[FLASH_REPLY_SIZE + 1];
  DWORD count = 0;
  clockSleep(500);
  qxGetProgramFlashStatus(pIniPort, SHORT_STATUS, reply, &count);
  clockSleep(500);
  if (qxGetProgramFlashStatus(pIniPort, FIELD_15, reply, &count) != QX_ERR_OK) {
    leaveFlashMode(pIniPort);
    *pProgressLine = "3,0,0,F,FLASH PROGRAM STATUS SELECT ERROR-3";
    return QX_ERR_STATUS_READ;
  }
  // Only the printer's own field 15 tells whether it took the request. Any other
  // answer (a busy serial printer's, another field's, a reply cut short, "A15F" or
  // "A15" alone) may come from a printer in flash mode all the same, which would
  // take the next jobs as firmware: it is sent out again.
  const BOOL field15 = count >= 3 && reply[0] == 'A' && reply[1] == '1' && reply[2] == '5';
  const LPCSTR text = reinterpret_cast<LPCSTR>(reply);
  if (field15 && strstr(text, "FLASH READY") != nullptr) return QX_ERR_OK;
  leaveFlashMode(pIniPort);
  *pProgressLine = "3,0,0,F,FLASH MODE NOT ENTERED";
  if (strstr(text, "FLASH LM SERIAL BUSY") != nullptr) {
    DebugTrace(pIniPort, TRACE_ERROR, "qxProgramFlash - #5 Serial printer in BUSY flowcontrol");
    return QX_ERR_SERIAL_BUSY;
  }
  return QX_ERR_NO_FLASH_MODE;
}

// The status thread makes no query and arms no watchdog while the port's
// FlashInProgress is set, and reads it under StatusNotInProgress: once a pass in
// flight has ended, nothing of the status thread reaches the printer until the
// update is over. A document start marks the port under the same lock and then
// waits for a claimed update, so exactly one of the two goes ahead. FALSE when the
// pass does not end in time or a document has started.
BOOL quietStatusThread(INIPORT* pIniPort) {
  const HANDLE statusLock = pIniPort->status.StatusNotInProgress;
  if (statusLock == nullptr) return (pIniPort->flags & PP_IN_DOC) == 0;  // no status thread
  const DWORD wait = clockWait(statusLock, 5000);
  if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) return FALSE;
  const BOOL documentStarted = (pIniPort->flags & PP_IN_DOC) != 0;
  // A real-time request the pipe stopped waiting for is not sent to a printer
  // that takes firmware.
  if (!documentStarted) pIniPort->status.RTStatusRequest = FALSE;
  ReleaseMutex(statusLock);
  return !documentStarted;
}

BOOL keepFileName(INIPORT* pIniPort, LPCSTR pFileName) {
  FreeSplMem(pIniPort->flash.pszFlashFileName);
  const size_t size = strlen(pFileName) + 1;
  pIniPort->flash.pszFlashFileName = static_cast<LPSTR>(AllocSplMem(static_cast<DWORD>(size)));
  if (pIniPort->flash.pszFlashFileName == nullptr) return FALSE;
  memcpy(pIniPort->flash.pszFlashFileName, pFileName, size);
  return TRUE;
}

}  // namespace

DWORD qxProgramFlash(LPSTR pFileName, INIPORT* pIniPort, LPSTR pResponse, BOOL withChecks, DWORD cbResponse,
                     HANDLE hClientPipe) {
  DebugTraceF(pIniPort, TRACE_INFO, "qxProgramFlash - file %s for printer %s\r\n", pFileName, pIniPort->PrinterName);
  if (pIniPort->flash.FlashInProgress) {
    DebugTrace(pIniPort, TRACE_ERROR, "qxProgramFlash - an update is already running on this port");
    return QX_ERR_PRINTER_NOT_READY;
  }
  // The checks compare names without regard to case; the file is opened by the
  // name as the client gave it.
  char baseName[FLASH_BASE_NAME_SIZE];
  GetFileName(pFileName, baseName, sizeof baseName);
  upperCaseFileName(baseName);

  // The file first: an open that waits keeps nothing of the port.
  const HANDLE hFile = openFlashFile(pIniPort, pFileName, hClientPipe);
  if (hFile == INVALID_HANDLE_VALUE) {
    DebugTraceF(pIniPort, TRACE_ERROR, "qxProgramFlash - #2 Bin File %s Not found", pFileName);
    setFlashProgress(pIniPort, "%s", "3,0,0,F,BIN FILE NOT FOUND");
    return QX_ERR_BIN_FILE_NOT_FOUND;
  }

  DWORD sizeHigh = 0;
  const DWORD sizeLow = GetFileSize(hFile, &sizeHigh);
  if ((sizeLow == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || sizeHigh != 0 || sizeLow > FLASH_FILE_SIZE_LIMIT) {
    DebugTraceF(pIniPort, TRACE_ERROR, "qxProgramFlash - Bin File %s larger than any firmware image", pFileName);
    CloseHandle(hFile);
    setFlashProgress(pIniPort, "%s", "3,0,0,F,INCORRECT BIN FILE");
    return QX_ERR_INCORRECT_BIN_FILE;
  }

  // One update per port: the claim stands until the update has ended.
  if (pIniPort->flash.FlashInProgress.exchange(TRUE)) {
    DebugTrace(pIniPort, TRACE_ERROR, "qxProgramFlash - an update is already running on this port");
    CloseHandle(hFile);
    return QX_ERR_PRINTER_NOT_READY;
  }
  // The last update's thread gives up its claim as its last step.
  const HANDLE previous = pIniPort->flash.hFlashThread;
  if (previous != nullptr && clockWait(previous, 5000) != WAIT_OBJECT_0) {
    DebugTrace(pIniPort, TRACE_ERROR, "qxProgramFlash - the last update's thread has not ended");
    CloseHandle(hFile);
    pIniPort->flash.FlashInProgress = FALSE;
    return QX_ERR_PRINTER_NOT_READY;
  }
  waitForFlashThread(pIniPort);
  pIniPort->flash.FlashCancel = FALSE;

  // The update holds the port as a document would, so no job reaches the printer
  // while it takes firmware.
  if (clockWait(pIniPort->PortFree, 5000) != WAIT_OBJECT_0) {
    DebugTrace(pIniPort, TRACE_ERROR, "qxProgramFlash - port busy with a document");
    CloseHandle(hFile);
    pIniPort->flash.FlashInProgress = FALSE;
    setFlashProgress(pIniPort, "%s", "3,0,0,F,PRINTER NOT READY");
    return QX_ERR_PRINTER_NOT_READY;
  }
  pIniPort->flash.hFlashFile = hFile;

  if (!quietStatusThread(pIniPort)) {
    DebugTrace(pIniPort, TRACE_ERROR, "qxProgramFlash - status query did not end or a document started");
    return refuse(pIniPort, QX_ERR_PRINTER_NOT_READY, "3,0,0,F,PRINTER NOT READY");
  }
  sendDisableWatchDog(pIniPort);
  clockSleep(500);

  BYTE statusByte1 = 0;
  char currentVersion[FLASH_CHECK_FIELD_SIZE] = "";
  if (withChecks) {
    BYTE reply[FLASH_REPLY_SIZE + 1];
    DWORD count = 0;
    if (qxGetProgramFlashStatus(pIniPort, COMPLETE_STATUS, reply, &count) != QX_ERR_OK) {
      return refuse(pIniPort, QX_ERR_STATUS_READ, "3,0,0,F,STATUS READ FROM REPROGRAM FAILED");
    }
    if (count > 3) statusByte1 = reply[3];
    STATUSFIELDS fields;
    if (decodeStatusFields(reply, count, &fields)) copyCutText(currentVersion, sizeof currentVersion, fields.versionText);
  }

  // The spooler shows the printer not ready (and off line) for the whole update.
  BYTE notReady[5] = {'S', '0', '0', static_cast<BYTE>(statusByte1 | SYSTEM_NOT_READY | MANUAL_DESELECT), 0x00};
  ProcessQXStatusString(pIniPort, notReady, sizeof notReady);

  char model[FLASH_MODEL_SIZE];
  if (withChecks && !qxGetModelNumber(model, pIniPort)) {
    return refuse(pIniPort, QX_ERR_NO_MODEL, "3,0,0,F,PRINTER MODEL NOT FOUND");
  }
  clockSleep(25);
  if (withChecks) {
    FlashCheckInfo info;
    fillFlashCheckInfo(&info, model, currentVersion, baseName);
    const DWORD result = CheckPermissions(&info);
    if (result != QX_ERR_OK) {
      DebugTrace(pIniPort, TRACE_ERROR, "qxProgramFlash - #4 Permission denied for this programming file");
      return refuse(pIniPort, result, nullptr);
    }
  }
  clockSleep(25);
  if (withChecks) {
    LPCSTR progressLine = nullptr;
    const DWORD result = enterFlashMode(pIniPort, &progressLine);
    if (result != QX_ERR_OK) return refuse(pIniPort, result, progressLine);
  }

  pIniPort->flash.FlashWithChecks = withChecks;
  if (!keepFileName(pIniPort, pFileName)) {
    DebugTrace(pIniPort, TRACE_ERROR, "qxProgramFlash - no memory for the file name");
    return refuse(pIniPort, QX_ERR_PROGRAM_FAILED, "3,0,0,F,STATUS = 0 ");
  }
  // Written before the thread starts, so that the thread's first line follows it.
  setFlashProgress(pIniPort, "%s", "0,START_FLASH_DELAY,0,P,FLASH UPDATE STARTED");
  if (!CreateFlashUpdateThread(pIniPort)) return refuse(pIniPort, QX_ERR_PROGRAM_FAILED, "3,0,0,F,STATUS = 0 ");
  snprintf(pResponse, cbResponse, "%s", "qxProgramFlash - Flash update started");
  return QX_ERR_OK;
}
