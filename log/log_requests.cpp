// The event log's own printer requests: the serial number after a change to ready,
// the head temperature of a state report. They are asked for while a reply is
// being interpreted, inside somebody's status query, and made only afterwards by
// the status thread.
#include "log/event_log.h"
#include "port/port_record.h"

void requestSerialNumber(INIPORT* pIniPort) { pIniPort->status.SerialNumberWanted = TRUE; }

void requestHeadTemperature(INIPORT* pIniPort) {
  pIniPort->status.HeadTempWanted = HEAD_TEMP_WANTED | static_cast<DWORD>(pIniPort->status.savedPrinterState.load()) << 8 |
                             currentPrinterState(pIniPort);
}
