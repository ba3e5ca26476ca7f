// Requests and responses of the monitor's per-port pipe, as a client frames them.
#pragma once

#include <string>
#include <vector>

#include "platform/win32_api.h"

namespace ctl {

// One request packet: start byte, spare 0, length, code, payload, checksum.
std::vector<BYTE> buildRequest(BYTE code, const std::vector<BYTE>& payload);

struct Response {
  BYTE type = 0;  // the response letter: P O T F B N D d
  std::vector<BYTE> payload;
};

// Takes one response message apart; false when its framing or checksum is wrong.
bool parseResponse(const std::vector<BYTE>& message, Response* response);

// The payload read as text, without its terminating NUL.
std::string responseText(const Response& response);

}  // namespace ctl
