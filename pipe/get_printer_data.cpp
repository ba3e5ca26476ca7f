// The spooler's GetPrinterDataFromPort: device queries with a control id go straight
// to the lower port monitor; without one, the monitor answers the two memory keys.
#include "link/lower_port.h"
#include "pipe/memory_query.h"
#include "port/debug_trace.h"
#include "port/port_entry_points.h"
#include "port/port_record.h"

namespace {

Relaxed<DWORD>* memoryValueFor(INIPORT* pIniPort, LPCWSTR pValueName) {
  if (pValueName == nullptr) return nullptr;
  if (lstrcmpiW(pValueName, WSTR("Installed Memory")) == 0) return &pIniPort->status.InstalledMemory;
  if (lstrcmpiW(pValueName, WSTR("Available Memory")) == 0) return &pIniPort->status.AvailableMemory;
  return nullptr;
}

}  // namespace

BOOL WINAPI MonGetPrinterDataFromPort(HANDLE hPort, DWORD ControlID, LPWSTR pValueName, LPWSTR lpInBuffer,
                                      DWORD cbInBuffer, LPWSTR lpOutBuffer, DWORD cbOutBuffer,
                                      LPDWORD lpcbReturned) {
  INIPORT* pIniPort = portRecordFromHandle(hPort);
  if (pIniPort == nullptr) {
    DebugTrace(nullptr, TRACE_ERROR, "MonGetPrinterDataFromPort - Bad INIPORT or PJ_SIGNATURE");
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DebugTrace(pIniPort, TRACE_INFO, "MonGetPrinterDataFromPort - Entry");

  if (ControlID != 0) {
    DebugTraceF(pIniPort, TRACE_INFO, "MonGetPrinterDataFromPort - ControlID = 0x%X", static_cast<unsigned>(ControlID));
    if (!lowerHasDeviceControl(pIniPort)) {
      DebugTrace(pIniPort, TRACE_ERROR, "MonGetPrinterDataFromPort - Bad read");
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    DebugTrace(pIniPort, TRACE_INFO, "MonGetPrinterDataFromPort - Good read");
    // The lower monitor's answer and last error reach the spooler untouched.
    return lowerDeviceControl(pIniPort, ControlID, pValueName, lpInBuffer, cbInBuffer, lpOutBuffer, cbOutBuffer,
                              lpcbReturned);
  }

  DebugTrace(pIniPort, TRACE_INFO, "MonGetPrinterDataFromPort - ControlID == 0, no read data from port");
  Relaxed<DWORD>* pValue = memoryValueFor(pIniPort, pValueName);
  if (pValue == nullptr) {
    DebugTrace(pIniPort, TRACE_ERROR, "MonGetPrinterDataFromPort - Key not supported");
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return queryPrinterMemory(pIniPort, *pValue, lpOutBuffer, cbOutBuffer, lpcbReturned);
}
