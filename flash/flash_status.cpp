#include "diag/debug_trace.h"
#include "flash/flash_codes.h"
#include "flash/printer_query.h"
#include "monitor/port_entry_points.h"
#include "monitor/port_record.h"
#include "pipe/device_control.h"
#include "platform/clock.h"
#include "status/status_reply.h"

namespace {

const int END_REQUEST_TRIES = 3;

}  // namespace

BOOL sendFlashRequest(INIPORT* pIniPort, BYTE code) {
  const BYTE request[8] = {code, 0x31, 0x32, 0, 0, 0, 0, 0};
  if (code != END_FLASH_FILE_TRANSFER) return sendVendorCommand(pIniPort, request, sizeof request);
  for (int tries = 1;; ++tries) {
    if (sendVendorCommandOnBadLink(pIniPort, request, sizeof request)) return TRUE;
    if (tries == END_REQUEST_TRIES) return FALSE;
    clockSleep(100);
  }
}

DWORD qxGetProgramFlashStatus(INIPORT* pIniPort, DWORD code, LPBYTE pReply, LPDWORD pcbReply) {
  *pcbReply = 0;
  if (!sendFlashRequest(pIniPort, static_cast<BYTE>(code))) return QX_ERR_STATUS_READ;

  // The first reply may be the one the printer had ready before this request.
  clockSleep(50);
  if (!PJLMonReadPort(pIniPort, pReply, FLASH_REPLY_SIZE, pcbReply)) {
    DebugTraceF(pIniPort, TRACE_ERROR, "qxGetProgramFlashStatus - first read failed, code %u\r\n",
                static_cast<unsigned>(code));
    return QX_ERR_STATUS_READ;
  }
  clockSleep(50);
  if (!PJLMonReadPort(pIniPort, pReply, FLASH_REPLY_SIZE, pcbReply) || *pcbReply == 0) {
    DebugTraceF(pIniPort, TRACE_ERROR, "qxGetProgramFlashStatus - read failed, %u bytes, code %u\r\n",
                static_cast<unsigned>(*pcbReply), static_cast<unsigned>(code));
    *pcbReply = 0;
    return QX_ERR_STATUS_READ;
  }
  // A lower monitor that reports more than it was given room for is not believed.
  if (*pcbReply > FLASH_REPLY_SIZE) *pcbReply = FLASH_REPLY_SIZE;
  pReply[*pcbReply] = '\0';
  if (code <= COMPLETE_STATUS && *pcbReply >= 5) {
    DebugTraceF(pIniPort, TRACE_INFO, "qxGetProgramFlashStatus - code %u status %02X%02X\r\n",
                static_cast<unsigned>(code), pReply[3], pReply[4]);
  } else {
    DebugTraceF(pIniPort, TRACE_INFO, "qxGetProgramFlashStatus - code %u reply %s\r\n", static_cast<unsigned>(code),
                reinterpret_cast<LPCSTR>(pReply));
  }
  return QX_ERR_OK;
}
