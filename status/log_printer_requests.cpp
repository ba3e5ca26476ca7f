// The event log's printer requests: the serial number line and the head
// temperature line, made by the status thread after its query.
#include "status/log_printer_requests.h"

#include <cstdio>

#include "log/event_log.h"
#include "port/debug_trace.h"
#include "port/port_record.h"
#include "port/settings.h"
#include "status/status_reply.h"

namespace {

void writeSerialNumber(INIPORT* pIniPort) {
  static const BYTE kSerialNumberRequest[] = {0x1B, 'I', 'A', 0x09};
  BYTE reply[LOG_LINE_SIZE];
  DWORD count = 0;
  char number[100] = "";  // two length digits: at most 99 characters
  if (DRGetSpecificStatus(pIniPort, reply, sizeof reply, &count, kSerialNumberRequest, sizeof kSerialNumberRequest)) {
    for (DWORD i = 0; i < count; ++i) DebugTraceF(pIniPort, TRACE_INFO, "ErrorLogFile - Serial reply %X", reply[i]);
    serialNumberFromReply(reply, count, number, sizeof number);
  }
  char text[LOG_LINE_SIZE];
  snprintf(text, sizeof text, "Printer Serial Number = %s", number);
  TextLogFile(pIniPort, text, "0021", DRW_ERRORS);
}

void writeHeadTemperature(INIPORT* pIniPort, BYTE state, BYTE savedState) {
  static const BYTE kCompleteStatusRequest[] = {0x1B, 'I', 'C'};
  BYTE reply[STATUS_REPLY_SIZE];
  DWORD count = 0;
  STATUSFIELDS fields;
  const BOOL known = DRGetSpecificStatus(pIniPort, reply, sizeof reply, &count, kCompleteStatusRequest,
                                         sizeof kCompleteStatusRequest) &&
                     decodeStatusFields(reply, count, &fields) && fields.headTempText[0] != '\0';
  char stateText[LOG_STATE_TEXT_SIZE];
  StateTextFor(pIniPort, state, savedState, stateText, sizeof stateText);
  char text[LOG_LINE_SIZE];
  snprintf(text, sizeof text, "Print head temp %s%s", known ? fields.headTempText : "PHT not found", stateText);
  // The report that asked for it was of a selected class.
  TextLogFile(pIniPort, text, "0020", 0xFFFFFFFFu);
}

}  // namespace

void serialNumberFromReply(const BYTE* reply, DWORD count, LPSTR number, size_t size) {
  if (size == 0) return;
  number[0] = '\0';
  // "A", the field number "09", two length digits, then the number itself.
  if (count < 5 || reply[0] != 'A' || reply[1] != '0' || reply[2] != '9') return;
  if (reply[3] < '0' || reply[3] > '9' || reply[4] < '0' || reply[4] > '9') return;
  DWORD length = static_cast<DWORD>(reply[3] - '0') * 10 + static_cast<DWORD>(reply[4] - '0');
  if (length > count - 5) length = count - 5;
  if (length > size - 1) length = static_cast<DWORD>(size - 1);
  DWORD used = 0;
  for (; used < length && reply[5 + used] != 0; ++used) number[used] = static_cast<char>(reply[5 + used]);
  number[used] = '\0';
}

void runLogPrinterRequests(INIPORT* pIniPort) {
  const BOOL serialNumber = pIniPort->status.SerialNumberWanted.exchange(FALSE);
  const DWORD headTemp = pIniPort->status.HeadTempWanted.exchange(0);
  if (Settings.DRWenable == 0) return;
  if (serialNumber) writeSerialNumber(pIniPort);
  if (headTemp != 0) writeHeadTemperature(pIniPort, static_cast<BYTE>(headTemp), static_cast<BYTE>(headTemp >> 8));
}
