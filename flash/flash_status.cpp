#include "flash/flash_codes.h"
#include "flash/printer_query.h"
#include "link/device_control.h"
#include "platform/clock.h"
#include "port/debug_trace.h"
#include "status/status_reply.h"

namespace {

const int END_REQUEST_TRIES = 3;

}  // namespace

BOOL sendFlashRequest(INIPORT* pIniPort, BYTE code) {
  if (code != END_FLASH_FILE_TRANSFER) return sendVendorRequest(pIniPort, code);
  for (int tries = 1;; ++tries) {
    if (sendVendorRequestOnBadLink(pIniPort, code)) return TRUE;
    if (tries == END_REQUEST_TRIES) return FALSE;
    clockSleep(100);
  }
}

DWORD qxGetProgramFlashStatus(INIPORT* pIniPort, DWORD code, LPBYTE pReply, LPDWORD pcbReply) {
  if (!vendorExchange(pIniPort, static_cast<BYTE>(code), pReply, FLASH_REPLY_SIZE, pcbReply, TRUE) ||
      *pcbReply == 0) {
    DebugTraceF(pIniPort, TRACE_ERROR, "qxGetProgramFlashStatus - read failed, %u bytes, code %u\r\n",
                static_cast<unsigned>(*pcbReply), static_cast<unsigned>(code));
    *pcbReply = 0;
    return QX_ERR_STATUS_READ;
  }
  // The read never reports more than the room it was given.
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
