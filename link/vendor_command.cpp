// The printer takes short vendor requests on its control channel; the monitor has no
// device handle and sends them through the lower port monitor.
#include "link/device_control.h"
#include "link/lower_port.h"
#include "port/debug_trace.h"
#include "port/port_record.h"

namespace {

BOOL send(INIPORT* pIniPort, const BYTE* pRequest, DWORD length, BOOL evenOnBadLink) {
  if (DebugTraceEnabled(TRACE_INFO)) {
    DebugTraceF(pIniPort, TRACE_INFO, "sendVendorCommand - pIniPort %p hPort %p", static_cast<void*>(pIniPort),
                pIniPort->link.hPort);
    unsigned bytes[3] = {0, 0, 0};
    for (DWORD i = 0; i < length && i < 3; ++i) bytes[i] = pRequest[i];
    DebugTraceF(pIniPort, TRACE_INFO, "sendVendorCommand - request %02X %02X %02X, length %u", bytes[0], bytes[1],
                bytes[2], static_cast<unsigned>(length));
  }

  if (!pIniPort->link.goodCommWithPrinter && !evenOnBadLink) {
    DebugTrace(pIniPort, TRACE_INFO, "sendVendorCommand - Aborting vendor command because of USB error");
    return FALSE;
  }
  if (pIniPort->link.UsbCrcError && !evenOnBadLink) {
    DebugTrace(pIniPort, TRACE_ERROR, "sendVendorCommand - Abort Vendor send command CRC error");
    return FALSE;
  }
  if (!lowerHasDeviceControl(pIniPort)) {
    DebugTrace(pIniPort, TRACE_ERROR, "sendVendorCommand - lower port monitor takes no vendor requests");
    return FALSE;
  }

  DebugTrace(pIniPort, TRACE_INFO, "sendVendorCommand - sending IOCTL");
  DWORD returned = 0;
  // The lower entry's in-buffer is typed as wide text but carries the request bytes.
  LPWSTR pIn = reinterpret_cast<LPWSTR>(const_cast<BYTE*>(pRequest));
  if (lowerDeviceControl(pIniPort, IOCTL_USBPRINT_VENDOR_SET_COMMAND, nullptr, pIn, length, nullptr, 0, &returned)) {
    DebugTrace(pIniPort, TRACE_INFO, "sendVendorCommand - IOCTL - PASS");
    return TRUE;
  }
  traceLastError(pIniPort, "sendVendorCommand - *pIniPort->fn.pfnGetPrinterDataFromPort IOCTL - FAIL - ");
  return FALSE;
}

}  // namespace

BOOL sendVendorCommand(INIPORT* pIniPort, const BYTE* pRequest, DWORD length) {
  return send(pIniPort, pRequest, length, FALSE);
}

BOOL sendVendorCommandOnBadLink(INIPORT* pIniPort, const BYTE* pRequest, DWORD length) {
  return send(pIniPort, pRequest, length, TRUE);
}

VendorFrame vendorFrame(BYTE code) {
  VendorFrame frame = {{code, '1', '2', 0, 0, 0, 0, 0}};
  return frame;
}

BOOL sendVendorRequest(INIPORT* pIniPort, BYTE code) {
  const VendorFrame frame = vendorFrame(code);
  return sendVendorCommand(pIniPort, frame.bytes, sizeof frame.bytes);
}

BOOL sendVendorRequestOnBadLink(INIPORT* pIniPort, BYTE code) {
  const VendorFrame frame = vendorFrame(code);
  return sendVendorCommandOnBadLink(pIniPort, frame.bytes, sizeof frame.bytes);
}
