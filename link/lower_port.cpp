#include "link/lower_port.h"

#include "link/link_lock.h"
#include "port/port_record.h"

BOOL lowerTableComplete(const MONITOR* pMonitor) {
  return pMonitor != nullptr && pMonitor->pfnOpenPort != nullptr && pMonitor->pfnStartDocPort != nullptr &&
         pMonitor->pfnWritePort != nullptr && pMonitor->pfnReadPort != nullptr &&
         pMonitor->pfnEndDocPort != nullptr && pMonitor->pfnClosePort != nullptr;
}

BOOL lowerOpenPort(const MONITOR* pMonitor, LPWSTR pPortName, PHANDLE pHandle) {
  return pMonitor->pfnOpenPort(pPortName, pHandle);
}

void lowerClosePort(INIPORT* pIniPort) {
  if (pIniPort->link.fn.pfnClosePort != nullptr) pIniPort->link.fn.pfnClosePort(pIniPort->link.hPort);
}

BOOL lowerStartDoc(INIPORT* pIniPort, LPWSTR pPrinterName, DWORD jobId, DWORD level, LPBYTE pDocInfo) {
  return pIniPort->link.fn.pfnStartDocPort(pIniPort->link.hPort, pPrinterName, jobId, level, pDocInfo);
}

BOOL lowerStartOwnDoc(INIPORT* pIniPort) { return lowerStartDoc(pIniPort, pIniPort->PrinterNameW, 1, 0, nullptr); }

BOOL lowerEndDoc(INIPORT* pIniPort) { return pIniPort->link.fn.pfnEndDocPort(pIniPort->link.hPort); }

BOOL lowerWrite(INIPORT* pIniPort, const BYTE* data, DWORD length, LPDWORD written) {
  LinkLockHold link(pIniPort);
  return pIniPort->link.fn.pfnWritePort(pIniPort->link.hPort, const_cast<LPBYTE>(data), length, written);
}

BOOL lowerRead(INIPORT* pIniPort, LPBYTE buffer, DWORD size, LPDWORD read) {
  LinkLockHold link(pIniPort);
  return pIniPort->link.fn.pfnReadPort(pIniPort->link.hPort, buffer, size, read);
}

BOOL lowerSetTimeOuts(INIPORT* pIniPort, LPCOMMTIMEOUTS timeOuts) {
  return pIniPort->link.fn.pfnSetPortTimeOuts != nullptr && pIniPort->link.fn.pfnSetPortTimeOuts(pIniPort->link.hPort, timeOuts, 0);
}

BOOL lowerHasSetTimeOuts(const INIPORT* pIniPort) { return pIniPort->link.fn.pfnSetPortTimeOuts != nullptr; }

BOOL lowerHasDeviceControl(const INIPORT* pIniPort) { return pIniPort->link.fn.pfnGetPrinterDataFromPort != nullptr; }

BOOL lowerDeviceControl(INIPORT* pIniPort, DWORD controlId, LPWSTR valueName, LPWSTR in, DWORD inSize, LPWSTR out,
                        DWORD outSize, LPDWORD returned) {
  if (!lowerHasDeviceControl(pIniPort)) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  LinkLockHold link(pIniPort);
  return pIniPort->link.fn.pfnGetPrinterDataFromPort(pIniPort->link.hPort, controlId, valueName, in, inSize, out, outSize,
                                                returned);
}
