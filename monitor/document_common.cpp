#include "monitor/document.h"

#include "pipe/device_control.h"
#include "platform/clock.h"

BOOL sendDocumentRequest(INIPORT* pIniPort, BYTE code) {
  BYTE request[8] = {code, 0x31, 0x32, 0, 0, 0, 0, 0};
  clockSleep(35);
  const BOOL sent = sendVendorCommand(pIniPort, request, sizeof request);
  clockSleep(35);
  return sent;
}

BOOL isPrinterErrorStatus(DWORD portStatus) {
  return portStatus == PORT_STATUS_OFFLINE || portStatus == PORT_STATUS_PAPER_JAM ||
         portStatus == PORT_STATUS_PAPER_OUT || portStatus == PORT_STATUS_DOOR_OPEN;
}

DWORD holdErrorForStatus(DWORD portStatus) {
  if (portStatus == PORT_STATUS_PAPER_OUT) return ERROR_OUT_OF_PAPER;
  return isPrinterErrorStatus(portStatus) ? static_cast<DWORD>(ERROR_NOT_READY) : static_cast<DWORD>(ERROR_SUCCESS);
}
