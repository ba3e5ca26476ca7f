#include "jobs/document.h"

#include "link/device_control.h"
#include "platform/clock.h"

BOOL sendDocumentRequest(INIPORT* pIniPort, BYTE code) {
  clockSleep(35);
  const BOOL sent = sendVendorRequest(pIniPort, code);
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
