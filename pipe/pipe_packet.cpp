#include "pipe/pipe_packet.h"

#include <cstdio>
#include <cstring>

#include "diag/debug_trace.h"

namespace {

// One line with every payload byte in hexadecimal; a line that would overflow is
// emptied and goes on, so the trace keeps the last part of a long payload.
void traceData(INIPORT* pIniPort, const BYTE* payload, WORD length) {
  if (!DebugTraceEnabled(TRACE_INFO)) return;
  static const char kPrefix[] = "buildPacket - Data = ";
  char line[TRACE_LINE_SIZE];
  size_t used = sizeof kPrefix - 1;
  memcpy(line, kPrefix, used + 1);
  for (WORD i = 0; i < length; ++i) {
    char hex[4];
    const int n = snprintf(hex, sizeof hex, "%x ", static_cast<unsigned>(payload[i]));
    if (used + static_cast<size_t>(n) >= sizeof line) used = 0;
    memcpy(line + used, hex, static_cast<size_t>(n) + 1);
    used += static_cast<size_t>(n);
  }
  DebugTrace(pIniPort, TRACE_INFO, line);
}

}  // namespace

WORD pipeChecksum(const BYTE* bytes, DWORD count) {
  WORD sum = 0;
  for (DWORD i = 0; i < count; ++i) sum = static_cast<WORD>(sum + bytes[i]);
  return sum;
}

void buildPacket(BYTE type, const BYTE* payload, WORD payloadLength, BYTE* out, DWORD* packetLength,
                 INIPORT* pIniPort) {
  DebugTrace(pIniPort, TRACE_INFO, "buildPacket");
  traceData(pIniPort, payload, payloadLength);
  out[0] = PIPE_PACKET_START;
  out[1] = 0x00;
  out[2] = static_cast<BYTE>(payloadLength >> 8);
  out[3] = static_cast<BYTE>(payloadLength & 0xFF);
  out[4] = type;
  if (payloadLength != 0) memcpy(out + 5, payload, payloadLength);
  const WORD sum = pipeChecksum(out, 5u + payloadLength);
  out[5 + payloadLength] = static_cast<BYTE>(sum >> 8);
  out[6 + payloadLength] = static_cast<BYTE>(sum & 0xFF);
  *packetLength = payloadLength + PIPE_PACKET_FRAMING;
}

BOOL unpackRequest(const BYTE* received, DWORD receivedLength, PipeRequest* request) {
  memset(request->payload, 0, sizeof request->payload);
  request->code = 0;
  request->length = 0;
  if (receivedLength < PIPE_PACKET_FRAMING || received[0] != PIPE_PACKET_START) return FALSE;
  const DWORD length = (static_cast<DWORD>(received[2]) << 8) | received[3];
  if (length + PIPE_PACKET_FRAMING > receivedLength || length > sizeof request->payload) return FALSE;
  request->code = received[4];
  request->length = static_cast<WORD>(length);
  memcpy(request->payload, received + 5, length);
  const WORD sum = pipeChecksum(received, 5u + length);
  const WORD stated = static_cast<WORD>((received[5 + length] << 8) | received[6 + length]);
  return sum == stated ? TRUE : FALSE;
}
