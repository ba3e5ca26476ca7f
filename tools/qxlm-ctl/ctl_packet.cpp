#include "ctl_packet.h"

#include "pipe/pipe_codec.h"

namespace ctl {

std::vector<BYTE> buildRequest(BYTE code, const std::vector<BYTE>& payload) {
  std::vector<BYTE> packet(payload.size() + PIPE_PACKET_FRAMING);
  framePipePacket(code, payload.data(), static_cast<WORD>(payload.size()), packet.data());
  return packet;
}

bool parseResponse(const std::vector<BYTE>& message, Response* response) {
  PipePacketView view;
  if (!readPipePacket(message.data(), static_cast<DWORD>(message.size()), &view)) return false;
  if (view.length + PIPE_PACKET_FRAMING != message.size() || !view.checksumRight) return false;
  response->type = view.code;
  response->payload.assign(view.payload, view.payload + view.length);
  return true;
}
std::string responseText(const Response& response) {
  std::string text(response.payload.begin(), response.payload.end());
  const size_t nul = text.find('\0');
  return nul == std::string::npos ? text : text.substr(0, nul);
}

}  // namespace ctl
