// The firmware update of one port: the request that checks the file and the
// printer and puts the printer into flash mode, and the thread that sends the file.
#pragma once

#include "platform/win32_api.h"

struct INIPORT;

#define FLASH_RESPONSE_SIZE 2048
// The largest firmware file taken: the family's full images are well below 1 MiB,
// and anything larger is no image of theirs (a sparse file would run for weeks).
#define FLASH_FILE_SIZE_LIMIT (4u * 1024u * 1024u)

// Starts an update on the port for the pipe client connected on hClientPipe. The
// file is opened first (openFlashFile), with that client's rights, never the
// monitor's own, and before anything of the port is claimed; a file that cannot be
// opened so gets QX_ERR_BIN_FILE_NOT_FOUND, a file larger than FLASH_FILE_SIZE_LIMIT
// QX_ERR_INCORRECT_BIN_FILE. pFileName (a full path) is opened as
// given; the checks compare its base name without regard to case. withChecks adds
// the model, version, extension and flash-mode checks. The port is taken for the
// whole update, and while the update runs no other exchange reaches its printer; a
// port that stays busy with a document for 5 s, whose status query in flight does
// not end within 5 s, or that already runs an update, is refused with
// QX_ERR_PRINTER_NOT_READY. The monitor-wide heartbeat switch is left as it is.
// QX_ERR_OK with "qxProgramFlash - Flash update started" in pResponse when the
// update thread runs, else the QX_ERR_* code of the refusal.
DWORD qxProgramFlash(LPSTR pFileName, INIPORT* pIniPort, LPSTR pResponse, BOOL withChecks, DWORD cbResponse,
                     HANDLE hClientPipe);

// Opens the firmware file for reading, unshared, as the pipe client connected on
// hClientPipe, waiting at most 5 s for the open; while opens that did not end in
// time are still outstanding beyond a few, no other is tried. INVALID_HANDLE_VALUE when the
// client cannot be acted for, cannot read the file, the open does not end in time,
// or the name is not a disk file (a pipe or a device could stall the transfer).
HANDLE openFlashFile(INIPORT* pIniPort, LPCSTR pFileName, HANDLE hClientPipe);

// Starts FlashUpdateThread on the port, at the lowest priority, and keeps its
// handle in the record.
BOOL CreateFlashUpdateThread(INIPORT* pIniPort);
DWORD WINAPI FlashUpdateThread(LPVOID pParam);

// Asks a running update to end: the thread stops at its next chunk or pause (each
// bounded by the lower port's time-outs), sends the printer out of flash mode and
// reports the update failed ("UPDATE CANCELLED").
void cancelFlashUpdate(INIPORT* pIniPort);

// Waits until the port's last update thread has ended and lets go of its handle;
// the port close calls it before the record goes. Returns at once when no update
// thread was started since the last call.
void waitForFlashThread(INIPORT* pIniPort);
