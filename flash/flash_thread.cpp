// The thread that sends a firmware file: start wait, transfer in chunks (with
// XON/XOFF on serial ports), end of transfer, end wait while the printer restarts,
// and the check that the printer reports a firmware version. One repeat of the
// whole transfer when it does not.
#include <cstdio>

#include "flash/flash_codes.h"
#include "flash/flash_progress.h"
#include "flash/flash_update.h"
#include "flash/printer_query.h"
#include "jobs/document.h"
#include "link/link_lock.h"
#include "link/lower_port.h"
#include "platform/clock.h"
#include "port/debug_trace.h"
#include "port/port_record.h"
#include "status/status_reply.h"

#define FLASH_CHUNK_SIZE 2048
#define FLASH_THREAD_STACK 0x8000
#define XON 0x11
#define XOFF 0x13
// A printer that holds XOFF this long has stopped taking the file.
#define XON_WAIT_LIMIT 30000u

namespace {

enum class Transfer { Sent, WriteFailed, FileFailed, Cancelled };

BOOL cancelled(INIPORT* pIniPort) { return pIniPort->flash.FlashCancel; }

// A pause of the update that a cancel ends early; FALSE when cancelled.
BOOL pause(INIPORT* pIniPort, DWORD ms) {
  for (DWORD slept = 0; slept < ms; slept += 50) {
    if (cancelled(pIniPort)) return FALSE;
    clockSleep(ms - slept < 50 ? ms - slept : 50);
  }
  return !cancelled(pIniPort);
}

void setSerialTimeOuts(INIPORT* pIniPort) {
  // Writes may take 2 ms per byte (4,800 baud and up) plus the printer's pauses
  // while it erases its flash, which XON_WAIT_LIMIT also bounds.
  COMMTIMEOUTS timeOuts = {0, 1, 20, 2, XON_WAIT_LIMIT};
  const BOOL set = lowerSetTimeOuts(pIniPort, &timeOuts);
  DebugTraceF(pIniPort, TRACE_INFO, "FlashUpdateThread - SetPortTimeOuts %s\r\n", set ? "PASSED" : "FAILED");
}

// One byte from the printer, or -1 when none came.
int readOneByte(INIPORT* pIniPort) {
  BYTE byte = 0;
  DWORD count = 0;
  if (!lowerRead(pIniPort, &byte, 1, &count) || count != 1) return -1;
  return byte;
}

// After a chunk a serial printer may say XOFF; nothing more is written until it
// says XON. Any other byte is dropped. FALSE when XON does not come in time.
BOOL waitForXon(INIPORT* pIniPort) {
  clockSleep(50);
  if (readOneByte(pIniPort) != XOFF) return TRUE;
  DebugTrace(pIniPort, TRACE_INFO, "FlashUpdateThread - XOFF received");
  const DWORD start = clockTickCount();
  while (clockTickCount() - start < XON_WAIT_LIMIT && !cancelled(pIniPort)) {
    clockSleep(50);
    if (readOneByte(pIniPort) == XON) {
      DebugTrace(pIniPort, TRACE_INFO, "FlashUpdateThread - XON received");
      return TRUE;
    }
  }
  DebugTrace(pIniPort, TRACE_ERROR, "FlashUpdateThread - no XON from the printer");
  return FALSE;
}

// Sends the file once from its start, never more than its size. The caller holds
// the LinkLock.
Transfer sendFile(INIPORT* pIniPort) {
  DWORD sizeHigh = 0;
  const DWORD sizeLow = GetFileSize(pIniPort->flash.hFlashFile, &sizeHigh);
  if ((sizeLow == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) ||
      SetFilePointer(pIniPort->flash.hFlashFile, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
    setFlashProgress(pIniPort, "%s", "3,0,0,F,BIN FILE NOT FOUND");
    return Transfer::FileFailed;
  }
  const unsigned long long size = (static_cast<unsigned long long>(sizeHigh) << 32) | sizeLow;
  char prefix[32];
  snprintf(prefix, sizeof prefix, "1,%llu,", size / 1000);
  if (pIniPort->settings.PortType == PORT_TYPE_SERIAL) setSerialTimeOuts(pIniPort);

  BYTE chunk[FLASH_CHUNK_SIZE];
  unsigned long long sent = 0;
  while (sent < size) {
    if (cancelled(pIniPort)) return Transfer::Cancelled;
    DWORD read = 0;
    const DWORD want = size - sent < FLASH_CHUNK_SIZE ? static_cast<DWORD>(size - sent) : FLASH_CHUNK_SIZE;
    if (!ReadFile(pIniPort->flash.hFlashFile, chunk, want, &read, nullptr) || read == 0) break;
    clockSleep(25);
    DWORD written = 0;
    BOOL wrote = lowerWrite(pIniPort, chunk, read, &written);
    if (written > read) written = read;
    if (pIniPort->settings.PortType == PORT_TYPE_SERIAL && !waitForXon(pIniPort)) wrote = FALSE;
    sent += written;
    setFlashProgress(pIniPort, "%s%llu,P, ", prefix, sent / 1000);
    if (!wrote || written < read) {
      DebugTraceF(pIniPort, TRACE_ERROR, "FlashUpdateThread - write failed, %u of %u bytes\r\n",
                  static_cast<unsigned>(written), static_cast<unsigned>(read));
      setFlashProgress(pIniPort, "%s", "3,0,0,F,WRITE TO PRINTER FAILED");
      return Transfer::WriteFailed;
    }
  }
  return Transfer::Sent;
}

// The printer restarts with the new firmware; it has taken it when its complete
// status carries a firmware version.
BOOL readNewVersion(INIPORT* pIniPort, STATUSFIELDS* pFields) {
  BYTE reply[FLASH_REPLY_SIZE + 1];
  DWORD count = 0;
  if (qxGetProgramFlashStatus(pIniPort, COMPLETE_STATUS, reply, &count) != QX_ERR_OK) return FALSE;
  return decodeStatusFields(reply, count, pFields) && pFields->versionPart1[0] != '\0';
}

BOOL runUpdate(INIPORT* pIniPort, STATUSFIELDS* pFields) {
  for (int attempt = 1; attempt <= 2; ++attempt) {
    Transfer transfer = Transfer::FileFailed;
    {
      // The transfer is one exchange, from its first chunk to its end request: no
      // other reader or request of the port gets in between.
      LinkLockHold link(pIniPort);
      transfer = sendFile(pIniPort);
      if (transfer != Transfer::FileFailed && !sendFlashRequest(pIniPort, END_FLASH_FILE_TRANSFER)) {
        DebugTrace(pIniPort, TRACE_ERROR, "FlashUpdateThread - END_FLASH_FILE_TRANSFER failed");
      }
    }
    if (transfer != Transfer::Sent) return FALSE;
    // The printer restarts with the whole file: this wait is not cut short.
    for (int second = 1; second <= 15; ++second) {
      clockSleep(1000);
      setFlashProgress(pIniPort, "2,END_FLASH_DELAY,%d,P, ", second);
    }
    if (readNewVersion(pIniPort, pFields)) return TRUE;
    if (attempt == 1) DebugTrace(pIniPort, TRACE_INFO, "FlashUpdateThread - Retrying to program flash\r\n");
  }
  return FALSE;
}

}  // namespace

DWORD WINAPI FlashUpdateThread(LPVOID pParam) {
  INIPORT* pIniPort = static_cast<INIPORT*>(pParam);
  DebugTraceF(pIniPort, TRACE_INFO, "FlashUpdateThread - sending %s\r\n", pIniPort->flash.pszFlashFileName);
  if (pIniPort->flash.FlashWithChecks) {
    for (int second = 1; second <= 3 && pause(pIniPort, 1000); ++second) {
      setFlashProgress(pIniPort, "0,START_FLASH_DELAY,%d,P, ", second);
    }
  }
  lowerStartOwnDoc(pIniPort);

  STATUSFIELDS fields;
  const BOOL updated = runUpdate(pIniPort, &fields);

  lowerEndDoc(pIniPort);
  if (updated) {
    setFlashProgress(pIniPort, "3,0,0,P,%s", fields.versionText);
  } else if (cancelled(pIniPort)) {
    setFlashProgress(pIniPort, "%s", "3,0,0,F,UPDATE CANCELLED");
  } else {
    setFlashProgress(pIniPort, "%s", "3,0,0,F,STATUS = 0 ");
  }
  DebugTraceF(pIniPort, updated ? TRACE_INFO : TRACE_ERROR, "FlashUpdateThread - update %s\r\n",
              updated ? "done" : "failed");
  CloseHandle(pIniPort->flash.hFlashFile);
  pIniPort->flash.hFlashFile = nullptr;
  // The printer may still be busy with what it took (a file it printed as pages, the
  // restart with its new firmware): the next document's first data waits for it as
  // after a page end, or the printer loses it. A printer that was not in flash
  // mode for all of it took the file as job data, which left its parser anywhere:
  // the next document brings it out of any block first.
  pIniPort->doc.EOPFound = TRUE;
  losePageScannerPlace(pIniPort);
  // The port is free for documents and for the next update.
  SetEvent(pIniPort->PortFree);
  pIniPort->flash.FlashInProgress = FALSE;
  return 0;
}

BOOL CreateFlashUpdateThread(INIPORT* pIniPort) {
  char portName[512];
  narrowCopy(portName, sizeof portName, pIniPort->pszPortName);
  DebugTraceF(pIniPort, TRACE_INFO, "CreateFlashUpdateThread - Starting flash thread for %s\r\n", portName);
  DWORD threadId = 0;
  HANDLE hThread = CreateThread(nullptr, FLASH_THREAD_STACK, FlashUpdateThread, pIniPort, 0, &threadId);
  if (hThread == nullptr) {
    DebugTrace(pIniPort, TRACE_ERROR, "CreateFlashUpdateThread - thread creation failed\r\n");
    return FALSE;
  }
  SetThreadPriority(hThread, THREAD_PRIORITY_LOWEST);
  pIniPort->flash.hFlashThread = hThread;
  DebugTrace(pIniPort, TRACE_INFO, "CreateFlashUpdateThread - flash thread started\r\n");
  return TRUE;
}

void cancelFlashUpdate(INIPORT* pIniPort) {
  if (!pIniPort->flash.FlashInProgress) return;
  DebugTrace(pIniPort, TRACE_INFO, "cancelFlashUpdate - the running update is to end");
  pIniPort->flash.FlashCancel = TRUE;
}

void waitForFlashThread(INIPORT* pIniPort) {
  HANDLE hThread = pIniPort->flash.hFlashThread.exchange(nullptr);
  if (hThread == nullptr) return;
  clockWait(hThread, INFINITE);
  CloseHandle(hThread);
}
