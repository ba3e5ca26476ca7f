#include "port/port_status.h"

#include "platform/spooler.h"
#include "port/port_record.h"

BOOL postSpoolerPortStatus(INIPORT* pIniPort, DWORD status, DWORD severity) {
  PORT_INFO_3W info = {status, nullptr, severity};
  return spoolerSetPort(nullptr, pIniPort->pszPortName, 3, reinterpret_cast<LPBYTE>(&info));
}
