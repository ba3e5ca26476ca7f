// Pipe requests as a local client may send them, answered by buildClientResponse on
// a port opened over the virtual printer with its status thread running: framing,
// length and checksum checks, and every command with whatever payload it carries.
// Each answer must be one well-framed response of a known type, a damaged request
// must get "Bad packet received", and a sound one must not.
//
// Input: a mode byte, then the request. An even mode sends the request exactly as
// the pipe would deliver it; an odd one first sets its length field and checksum
// to match, so that the fuzzer spends its time on the commands' payloads.
#include <cstring>

#include "fuzz_support.h"
#include "pipe/pipe_commands.h"
#include "port/debug_trace.h"
#include "port/monitor_state.h"
#include "port/port_entry_points.h"
#include "port/settings.h"
#include "sim/lower_monitor.h"
#include "sim/recording_spooler.h"

namespace {

LPCWSTR g_root;

INIPORT* openPort() {
  g_root = fuzz::startMonitor("pipe_request", {});
  std::u16string port = fuzz::widen("USB001");
  std::u16string printer = fuzz::widen("Pipe Fuzz Printer");
  MONITOR lower = sim::lowerMonitor();
  HANDLE hPort = nullptr;
  if (!MonOpenPort(&port[0], &printer[0], &hPort, &lower)) fuzz::fail("the port did not open");
  return static_cast<INIPORT*>(hPort);
}

// The request's framing read plainly: start byte, declared length within what
// arrived and the work area, and the additive checksum; then the argument bounds of
// the two commands that have them.
bool soundRequest(const uint8_t* data, size_t size) {
  if (size < 7 || data[0] != 0x03) return false;
  const size_t length = (static_cast<size_t>(data[2]) << 8) | data[3];
  if (length + 7 > size || length > PIPE_WORK_AREA_SIZE) return false;
  unsigned sum = 0;
  for (size_t i = 0; i < 5 + length; ++i) sum += data[i];
  if ((sum & 0xFFFF) != ((static_cast<unsigned>(data[5 + length]) << 8) | data[6 + length])) return false;
  if (data[4] == GET_REAL_TIME_STATUS) return length >= 2 && length <= 2 + RT_STATUS_COMMAND_SIZE;
  if (data[4] == PROGRAM_FLASH) return length >= 1;
  return true;
}

void checkResponse(const BYTE* response, DWORD length, bool sound, BYTE code) {
  FUZZ_CHECK(length >= 7 && length <= PIPE_RESPONSE_SIZE);
  FUZZ_CHECK(response[0] == 0x03 && response[1] == 0x00);
  const DWORD payload = (static_cast<DWORD>(response[2]) << 8) | response[3];
  FUZZ_CHECK(payload + 7 == length);
  unsigned sum = 0;
  for (DWORD i = 0; i < 5 + payload; ++i) sum += response[i];
  FUZZ_CHECK((sum & 0xFFFF) == ((static_cast<unsigned>(response[5 + payload]) << 8) | response[6 + payload]));
  const BYTE type = response[4];
  FUZZ_CHECK(type != 0 && strchr("POTFBNDd", type) != nullptr);
  FUZZ_CHECK((type == 'B') == !sound);
  if (sound && code > GET_JOB_OUTCOMES) FUZZ_CHECK(type == 'N');
  if (sound && code == GET_DPRINT_STATE) FUZZ_CHECK(type == 'D' || type == 'd');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static INIPORT* port = openPort();
  fuzz::Input input(data, size);
  const BYTE mode = input.byte();
  std::vector<BYTE> request = input.rest();
  // The pipe server reads at most this much of one message.
  if (request.size() > PIPE_REQUEST_SIZE) return 0;
  if ((mode & 1) && request.size() >= 7) {
    const size_t payload = request.size() - 7;
    request[0] = 0x03;
    request[2] = static_cast<BYTE>(payload >> 8);
    request[3] = static_cast<BYTE>(payload & 0xFF);
    unsigned sum = 0;
    for (size_t i = 0; i < 5 + payload; ++i) sum += request[i];
    request[5 + payload] = static_cast<BYTE>((sum >> 8) & 0xFF);
    request[6 + payload] = static_cast<BYTE>(sum & 0xFF);
  }
  data = request.data();
  size = request.size();

  static BYTE response[PIPE_RESPONSE_SIZE];
  DWORD length = 0;
  const bool sound = soundRequest(data, size);
  FUZZ_CHECK(buildClientResponse(data, static_cast<DWORD>(size), response, &length, port));
  checkResponse(response, length, sound, size > 4 ? data[4] : 0);

  // What a request changed for every port is put back, so each input starts alike
  // and the status thread stays quiet.
  if (sound && (data[4] == SET_HEARTBEAT || data[4] == SET_HEARTBEAT_RATE || data[4] == SET_SPOOLER_MODE ||
                data[4] == SET_REGISTRY_KEY)) {
    if (data[4] == SET_REGISTRY_KEY) {
      RegDeleteTreeW(HKEY_LOCAL_MACHINE, g_root);
      fuzz::setSetting(g_root, "EnableDiags", DIAG_ALL_RAW | DIAG_INFO | DIAG_ERRORS | DIAG_PRINTER_PREFIX);
      fuzz::setSetting(g_root, "EnableHeartBeat", 0);
    }
    readMonitorSettings(g_root);
  }
  // A refused firmware request turns the heartbeat back on, as any client's might.
  HeartbeatOn = FALSE;
  port->doc.AbortPending = FALSE;
  sim::printer("USB001").clearRecords();
  sim::spooler().reset();
  return 0;
}
