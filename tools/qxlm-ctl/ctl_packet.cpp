#include "ctl_packet.h"

#include "pipe/pipe_packet.h"

namespace ctl {
namespace {

WORD checksum(const BYTE* bytes, size_t count) {
  WORD sum = 0;
  for (size_t i = 0; i < count; ++i) sum = static_cast<WORD>(sum + bytes[i]);
  return sum;
}

}  // namespace

std::vector<BYTE> buildRequest(BYTE code, const std::vector<BYTE>& payload) {
  const size_t length = payload.size();
  std::vector<BYTE> packet(length + PIPE_PACKET_FRAMING);
  packet[0] = PIPE_PACKET_START;
  packet[1] = 0x00;
  packet[2] = static_cast<BYTE>(length >> 8);
  packet[3] = static_cast<BYTE>(length & 0xFF);
  packet[4] = code;
  for (size_t i = 0; i < length; ++i) packet[5 + i] = payload[i];
  const WORD sum = checksum(packet.data(), 5 + length);
  packet[5 + length] = static_cast<BYTE>(sum >> 8);
  packet[6 + length] = static_cast<BYTE>(sum & 0xFF);
  return packet;
}

bool parseResponse(const std::vector<BYTE>& message, Response* response) {
  if (message.size() < PIPE_PACKET_FRAMING || message[0] != PIPE_PACKET_START) return false;
  const size_t length = (static_cast<size_t>(message[2]) << 8) | message[3];
  if (length + PIPE_PACKET_FRAMING != message.size()) return false;
  const WORD sum = checksum(message.data(), 5 + length);
  if (sum != static_cast<WORD>((message[5 + length] << 8) | message[6 + length])) return false;
  response->type = message[4];
  response->payload.assign(message.begin() + 5, message.begin() + 5 + static_cast<long>(length));
  return true;
}

std::string responseText(const Response& response) {
  std::string text(response.payload.begin(), response.payload.end());
  const size_t nul = text.find('\0');
  return nul == std::string::npos ? text : text.substr(0, nul);
}

}  // namespace ctl
