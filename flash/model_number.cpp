#include <cstring>

#include "flash/printer_query.h"
#include "link/device_control.h"
#include "link/lower_port.h"
#include "link/serial_exchange.h"
#include "platform/clock.h"
#include "port/debug_trace.h"
#include "port/port_record.h"

#define DEVICE_ID_READ_SIZE 1024

namespace {

// The serial printer's request for its device id.
const BYTE kSerialDeviceIdRequest[] = {'<', 'S', 'A', '0', '8', '>'};

BOOL readDeviceId(INIPORT* pIniPort, LPBYTE pReply, LPDWORD pcbReply) {
  if (pIniPort->settings.PortType == PORT_TYPE_SERIAL) {
    // The start and the write may fail on a printer that still answers: the read decides.
    const SerialExchange exchange = serialExchange(pIniPort, kSerialDeviceIdRequest, sizeof kSerialDeviceIdRequest,
                                                   0, pReply, DEVICE_ID_READ_SIZE, TRUE, FALSE);
    *pcbReply = exchange.count;
    return exchange.read;
  }
  return lowerDeviceControl(pIniPort, IOCTL_PAR_QUERY_DEVICE_ID, nullptr, nullptr, 0, reinterpret_cast<LPWSTR>(pReply),
                            DEVICE_ID_READ_SIZE, pcbReply);
}

}  // namespace

BOOL qxGetModelNumber(LPSTR pModel, INIPORT* pIniPort) {
  clockSleep(25);
  BYTE reply[DEVICE_ID_READ_SIZE + 1] = {};
  DWORD count = 0;
  const BOOL read = readDeviceId(pIniPort, reply, &count);
  if (!read || count == 0) {
    DebugTraceF(pIniPort, TRACE_ERROR, "qxGetModelNumber - PNP failed bytes read = %d\r\n", static_cast<int>(count));
    return FALSE;
  }
  // A lower monitor that reports more than it was given room for is not believed.
  if (count > DEVICE_ID_READ_SIZE) count = DEVICE_ID_READ_SIZE;
  reply[count] = '\0';
  if (!parseModelNumber(reinterpret_cast<LPCSTR>(reply), pModel, FLASH_MODEL_SIZE - 1)) {
    DebugTrace(pIniPort, TRACE_ERROR, "qxGetModelNumber - Did not find model number identifier\r\n");
    return FALSE;
  }
  DebugTraceF(pIniPort, TRACE_INFO, "qxGetModelNumber - model = %s\r\n", pModel);
  return TRUE;
}
