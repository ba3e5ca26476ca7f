// Printer status replies through every routine that reads one: the field decoder,
// a heartbeat or specific query on a USB and on a serial port (the reply checks of
// PJLMonReadPort, the low-paper debounce, the stand-in for an empty read or a
// failed one) and the interpretation into port status, with the event log on or off.
//
// Input: two options bytes, a status request (a length byte, then its bytes), then
// the lower port's reads as fuzz_support.h reads a script.
#include <cstring>

#include "fuzz_support.h"
#include "log/event_log.h"
#include "port/debug_trace.h"
#include "port/settings.h"
#include "sim/recording_spooler.h"
#include "status/status_interpret.h"
#include "status/status_query.h"
#include "status/status_reply.h"

namespace {

template <size_t N>
bool terminated(const char (&text)[N]) {
  return memchr(text, 0, N) != nullptr;
}

void checkDecoded(const std::vector<BYTE>& reply) {
  STATUSFIELDS fields;
  const BOOL decoded = decodeStatusFields(reply.data(), static_cast<DWORD>(reply.size()), &fields);
  const bool known = !reply.empty() && reply[0] != 0 && strchr("SNEAC", reply[0]) != nullptr;
  FUZZ_CHECK((decoded != FALSE) == known);
  FUZZ_CHECK(terminated(fields.type) && terminated(fields.formsLengthText) && terminated(fields.headTempText) &&
             terminated(fields.ticketCountText) && terminated(fields.errorCodeText) &&
             terminated(fields.bitFlagsText) && terminated(fields.versionText) && terminated(fields.versionPart1) &&
             terminated(fields.versionPart2) && terminated(fields.versionPart3));
  FUZZ_CHECK(fields.bitFlags <= 0xFFFF && fields.formsLength <= 0xFFFF);
  FUZZ_CHECK(fields.headTempC >= 0 && fields.headTempC <= 999);
  FUZZ_CHECK(fields.headTempF == 0 || fields.headTempF == fields.headTempC * 9 / 5 + 32);
  FUZZ_CHECK(strncmp(fields.versionPart1, fields.versionText, 5) == 0);
}

bool postedStatusKnown(DWORD status) {
  switch (status) {
    case 0:
    case PORT_STATUS_OFFLINE:
    case PORT_STATUS_PAPER_JAM:
    case PORT_STATUS_PAPER_OUT:
    case PORT_STATUS_OUTPUT_BIN_FULL:
    case PORT_STATUS_PAPER_PROBLEM:
    case PORT_STATUS_DOOR_OPEN:
      return true;
    default:
      return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static LPCWSTR root = fuzz::startMonitor("status_reply", {{"DRWdebugMask", 0x3F}, {"DRWMaxFileSize", 65536},
                                                            {"DRWMinFileSize", 32768}});
  static INIPORT* usb = fuzz::openScriptedPort("USB001", "Status Fuzz Printer");
  static INIPORT* serial = fuzz::openScriptedPort("COM1:", "Status Fuzz Printer");
  (void)root;

  fuzz::Input input(data, size);
  const BYTE options = input.byte();
  INIPORT* port = (options & 0x01) ? serial : usb;
  Settings.LPmode = (options >> 1) & 1;
  Settings.DRWenable = (options >> 3) & 1;
  Settings.JAVAlowPaperDisable = (options >> 6) & 1;
  Settings.JAVAticketNotTakenDisable = (options >> 7) & 1;
  port->status.LowPaper = (options >> 2) & 1;
  port->status.LowPaperCount = 0;
  port->status.printerState = (options & 0x10) ? PRINTER_STATE_PIPE_REQUEST : PRINTER_STATE_HEARTBEAT;
  const BOOL specific = (options & 0x20) != 0;
  // The trace's levels change what is formatted from a reply.
  static const DWORD kDiags[] = {0, 1, DIAG_ALL_RAW | DIAG_INFO | DIAG_ERRORS | DIAG_PRINTER_PREFIX, DIAG_ERRORS};
  Settings.EnableDiags = kDiags[input.byte() & 3];

  // Requests are read up to their fourth byte, as the status thread's copy allows.
  BYTE request[RT_STATUS_COMMAND_SIZE] = {};
  const std::vector<BYTE> requestBytes = input.bytes(input.byte() % 17);
  if (!requestBytes.empty()) memcpy(request, requestBytes.data(), requestBytes.size());
  DWORD code = 0;
  convertStatusString(port, request, static_cast<DWORD>(requestBytes.size()), &code);

  std::vector<fuzz::ScriptedRead> script = fuzz::readScript(input, 8);
  for (const fuzz::ScriptedRead& read : script) {
    if (read.error == 0) checkDecoded(read.bytes);
  }

  // Each good reply by itself, as the flash update and the job path hand one over.
  for (const fuzz::ScriptedRead& read : script) {
    if (read.error != 0 || read.bytes.size() > STATUS_READ_MAX) continue;
    std::vector<BYTE> reply = read.bytes;
    ProcessQXStatusString(port, reply.empty() ? nullptr : reply.data(), static_cast<DWORD>(reply.size()));
    FUZZ_CHECK(postedStatusKnown(port->status.PrinterStatus));
  }

  fuzz::scriptReads(std::move(script));
  ReadCommand(port, specific, request, static_cast<DWORD>(requestBytes.size()));
  FUZZ_CHECK(postedStatusKnown(port->status.PrinterStatus));
  FUZZ_CHECK(port->status.LowPaperCount <= 1);

  sim::spooler().reset();
  return 0;
}
