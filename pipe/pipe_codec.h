// The framing of pipe requests and responses, shared by the monitor and its clients:
// start byte 0x03, a spare byte, the payload length (16 bits, big-endian), a code
// (a request's command, a response's type letter), the payload and a 16-bit
// big-endian additive checksum of every byte before it. Nothing here knows a port.
#pragma once

#include <cstring>

#include "platform/win32_api.h"

#define PIPE_PACKET_START 0x03
#define PIPE_PACKET_FRAMING 7u  // start, spare, length (2), code, checksum (2)

// The 16-bit sum of bytes, wrapping.
inline WORD pipeChecksum(const BYTE* bytes, DWORD count) {
  WORD sum = 0;
  for (DWORD i = 0; i < count; ++i) sum = static_cast<WORD>(sum + bytes[i]);
  return sum;
}

// Frames code and its payload into out, which holds length + PIPE_PACKET_FRAMING
// bytes; returns the packet's length.
inline DWORD framePipePacket(BYTE code, const BYTE* payload, WORD length, BYTE* out) {
  out[0] = PIPE_PACKET_START;
  out[1] = 0x00;
  out[2] = static_cast<BYTE>(length >> 8);
  out[3] = static_cast<BYTE>(length & 0xFF);
  out[4] = code;
  if (length != 0) memcpy(out + 5, payload, length);
  const WORD sum = pipeChecksum(out, 5u + length);
  out[5 + length] = static_cast<BYTE>(sum >> 8);
  out[6 + length] = static_cast<BYTE>(sum & 0xFF);
  return length + PIPE_PACKET_FRAMING;
}

// One packet read from the first size bytes of message.
struct PipePacketView {
  BYTE code;
  WORD length;           // of the payload
  const BYTE* payload;   // inside message
  BOOL checksumRight;
};

// FALSE when message is shorter than its framing, does not start with the start
// byte, or declares a payload that runs past size; nothing beyond size is read.
inline BOOL readPipePacket(const BYTE* message, DWORD size, PipePacketView* view) {
  if (size < PIPE_PACKET_FRAMING || message[0] != PIPE_PACKET_START) return FALSE;
  const DWORD length = (static_cast<DWORD>(message[2]) << 8) | message[3];
  if (length + PIPE_PACKET_FRAMING > size) return FALSE;
  view->code = message[4];
  view->length = static_cast<WORD>(length);
  view->payload = message + 5;
  const WORD stated = static_cast<WORD>((message[5 + length] << 8) | message[6 + length]);
  view->checksumRight = pipeChecksum(message, 5u + length) == stated;
  return TRUE;
}
