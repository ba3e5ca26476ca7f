#include "pipe/pipe_packet.h"

#include <cstdio>
#include <cstring>

#include "port/debug_trace.h"

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

void buildPacket(BYTE type, const BYTE* payload, WORD payloadLength, BYTE* out, DWORD* packetLength,
                 INIPORT* pIniPort) {
  DebugTrace(pIniPort, TRACE_INFO, "buildPacket");
  traceData(pIniPort, payload, payloadLength);
  *packetLength = framePipePacket(type, payload, payloadLength, out);
}

BOOL unpackRequest(const BYTE* received, DWORD receivedLength, PipeRequest* request) {
  memset(request->payload, 0, sizeof request->payload);
  request->code = 0;
  request->length = 0;
  PipePacketView view;
  if (!readPipePacket(received, receivedLength, &view) || view.length > sizeof request->payload) return FALSE;
  request->code = view.code;
  request->length = view.length;
  memcpy(request->payload, view.payload, view.length);
  return view.checksumRight;
}
