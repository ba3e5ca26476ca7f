#include "port/debug_trace.h"
#include "status/status_reply.h"

namespace {

LPCSTR statusCodeName(DWORD code) {
  static const char* const kShort[] = {"SHORT_STATUS", "NORMAL_STATUS", "EXTENDED_STATUS", "COMPLETE_STATUS"};
  static const char* const kFields[] = {"FIELD_00", "FIELD_01", "FIELD_02", "FIELD_03", "FIELD_04", "FIELD_05",
                                        "FIELD_06", "FIELD_07", "FIELD_08", "FIELD_09", "FIELD_10", "FIELD_11",
                                        "FIELD_12", "FIELD_13", "FIELD_14", "FIELD_15"};
  static const char* const kOthers[] = {"STATUS_1", "STATUS_2", "STATUS_3", "STATUS_4",
                                        "STATUS_5", "STATUS_7", "STATUS_Z", "ID_STRING"};
  if (code <= COMPLETE_STATUS) return kShort[code];
  if (code <= FIELD_15) return kFields[code - FIELD_00];
  if (code <= ID_STRING) return kOthers[code - STATUS_1];
  if (code == PRINT_F0_TICKET) return "Print F0 Ticket";
  return nullptr;
}

BOOL startsPrintF0Ticket(const BYTE* request) {
  return request[0] == STATUS_ESC && request[1] == 'I' && request[2] == 'A' && request[3] == 'c';
}

}  // namespace

void traceStatusCode(INIPORT* pIniPort, DWORD code) {
  const LPCSTR name = statusCodeName(code);
  if (name != nullptr) DebugTraceF(pIniPort, TRACE_INFO, "traceStatusCode - %s", name);
}

BOOL convertStatusString(INIPORT* pIniPort, const BYTE* request, DWORD length, DWORD* code) {
  // The print-F0-ticket request carries 7 parameter bytes after its 4 request bytes;
  // only those 4 are validated.
  if (startsPrintF0Ticket(request)) length = 4;
  if (length != 3 && length != 4) {
    DebugTrace(pIniPort, TRACE_ERROR, "convertStatusString - Illegal status length");
    return FALSE;
  }
  if (request[0] != STATUS_ESC || request[1] != 'I') {
    DebugTrace(pIniPort, TRACE_ERROR, "convertStatusString - Illegal status byte in first 2 bytes");
    return FALSE;
  }
  if (length == 3) {
    static const char kLetters[] = "SNEC";
    for (DWORD i = 0; i < 4; ++i) {
      if (request[2] == static_cast<BYTE>(kLetters[i])) {
        DebugTrace(pIniPort, TRACE_INFO, "convertStatusString - legal sequence");
        *code = i;
        traceStatusCode(pIniPort, *code);
        return TRUE;
      }
    }
    DebugTrace(pIniPort, TRACE_ERROR, "convertStatusString - 3 byte status string, not S,N,E or C");
    return FALSE;
  }
  if (request[2] != 'A') {
    DebugTrace(pIniPort, TRACE_ERROR, "convertStatusString - 4 byte status string, byte 2 not A");
    return FALSE;
  }
  DebugTrace(pIniPort, TRACE_INFO, "convertStatusString - legal sequence");
  if (request[3] <= 15) {
    *code = FIELD_00 + request[3];
  } else if (request[3] == 'c') {
    *code = PRINT_F0_TICKET;
  } else {
    return FALSE;
  }
  traceStatusCode(pIniPort, *code);
  return TRUE;
}

BOOL replyAnswersRequest(const BYTE* request, DWORD requestLength, const BYTE* reply, DWORD count) {
  // A ticket print is an action: whatever the printer says after it is its answer.
  if (requestLength >= 4 && startsPrintF0Ticket(request)) return count > 0;
  if (requestLength < 3 || count == 0 || reply[0] != request[2]) return FALSE;
  if (request[2] != 'A' || requestLength < 4 || request[3] > 15) return TRUE;
  // A field reply names its field in two digits.
  return count >= 3 && reply[1] == '0' + request[3] / 10 && reply[2] == '0' + request[3] % 10;
}
