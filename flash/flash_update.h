// The firmware update of one port: the request that checks the file and the
// printer and puts the printer into flash mode, and the thread that sends the file.
#pragma once

#include "platform/win32_api.h"

struct INIPORT;

#define FLASH_RESPONSE_SIZE 2048

// Starts an update on the port for the pipe client connected on hClientPipe. The
// file is opened with that client's rights, never the monitor's own: a client that
// cannot act through the pipe, or cannot read the file, gets
// QX_ERR_BIN_FILE_NOT_FOUND. pFileName (a full path) is upper-cased in place.
// withChecks adds the model, version, extension and flash-mode checks. The port is
// taken for the whole update; a port that stays busy with a document for 5 s, whose
// status query in flight does not end within 5 s, or that already runs an update,
// is refused with QX_ERR_PRINTER_NOT_READY.
// QX_ERR_OK with "qxProgramFlash - Flash update started" in pResponse when the
// update thread runs, else the QX_ERR_* code of the refusal.
DWORD qxProgramFlash(LPSTR pFileName, INIPORT* pIniPort, LPSTR pResponse, BOOL withChecks, DWORD cbResponse,
                     HANDLE hClientPipe);

// Starts FlashUpdateThread on the port, at the lowest priority, and keeps its
// handle in the record.
BOOL CreateFlashUpdateThread(INIPORT* pIniPort);
DWORD WINAPI FlashUpdateThread(LPVOID pParam);

// Waits until the port's last update thread has ended and lets go of its handle;
// the port close calls it before the record goes. Returns at once when no update
// thread was started since the last call.
void waitForFlashThread(INIPORT* pIniPort);
