// The printer requests of a firmware update: status replies read through the
// vendor request path, the model from the device id, and the flash-mode requests.
#pragma once

#include <cstddef>

#include "platform/win32_api.h"

struct INIPORT;

#define FLASH_REPLY_SIZE 2048  // reply bytes; the buffer holds one more for the terminator
#define FLASH_MODEL_SIZE 2048

// Request codes of the 8-byte vendor requests that drive the update.
#define ENTER_FLASH_PROGRAMMING_MODE 0x25u
#define END_FLASH_FILE_TRANSFER 0x26u

// Sends the 8-byte vendor request code, "1", "2", five zero bytes. The end of a
// transfer goes out even after a failed read or a link error, and is tried again
// (three tries in all) when it fails: a printer left in flash mode would take every
// later job as firmware.
BOOL sendFlashRequest(INIPORT* pIniPort, BYTE code);

// Sends the status request (SHORT_STATUS, COMPLETE_STATUS, FIELD_15: the printer's
// flash-ready acknowledgement) and reads the reply twice, 50 ms apart (the first read
// may return a stale reply). QX_ERR_OK with the terminated reply in pReply
// (FLASH_REPLY_SIZE + 1 bytes) and its length in pcbReply, or QX_ERR_STATUS_READ.
DWORD qxGetProgramFlashStatus(INIPORT* pIniPort, DWORD code, LPBYTE pReply, LPDWORD pcbReply);

// The model text of the printer's device id (FLASH_MODEL_SIZE bytes), read with the
// serial "<SA08>" request or the lower monitor's device-id query.
BOOL qxGetModelNumber(LPSTR pModel, INIPORT* pIniPort);

// The model in a device id: the text after "MDL:" (or, without it, "MODEL:") up to
// the next ";" or the end, spaces included, cut to cbModel - 1 characters.
BOOL parseModelNumber(LPCSTR pDeviceId, LPSTR pModel, size_t cbModel);
