// A client connection to one port's pipe ("\\.\pipe\QXNamedPipe" + port name).
#pragma once

#include <string>
#include <vector>

#include "ctl_packet.h"
#include "platform/win32_api.h"

namespace ctl {

enum class Outcome {
  Ok,
  NoSuchPort,  // no pipe of that name: the port is not open
  Busy,        // another client holds the port's pipe
  TimedOut,    // no answer within the client's own limit
  Failed,      // the connection broke or the answer was not a response
  Untrusted,   // the pipe's server may not act as this client
};

// What the pipe's server may do with the client's identity.
enum class Identity {
  // Learn who the client is, never act as it: every command but a firmware update.
  IdentifyOnly,
  // Act as the client, as the monitor does to open a firmware file with the
  // client's rights; lent only to a server of ctl::pipeServerTrusted.
  Lend,
};

class PipeClient {
 public:
  PipeClient() = default;
  ~PipeClient();
  PipeClient(const PipeClient&) = delete;
  PipeClient& operator=(const PipeClient&) = delete;

  // Connects to the port's pipe, waiting up to busyWaitMs while another client has
  // it. Lending the identity, it first checks the server and refuses an untrusted one.
  Outcome open(const std::string& portName, DWORD busyWaitMs, Identity identity = Identity::IdentifyOnly);
  void close();

  // Sends one request and reads its response, waiting at most limitMs for it.
  Outcome send(const std::vector<BYTE>& request, DWORD limitMs, Response* response);
  // The same with the raw response message.
  Outcome exchange(const std::vector<BYTE>& request, DWORD limitMs, std::vector<BYTE>* message);

  // The last platform error seen.
  DWORD lastError() const { return lastError_; }
  // The account serving the pipe, as the trust check found it.
  const std::string& serverAccount() const { return serverAccount_; }

 private:
  Outcome finish(BOOL started, DWORD limitMs, DWORD* count);

  HANDLE pipe_ = INVALID_HANDLE_VALUE;
  HANDLE event_ = nullptr;
  OVERLAPPED overlapped_ = {};
  DWORD lastError_ = 0;
  std::string serverAccount_;
};

std::basic_string<WCHAR> pipeNameFor(const std::string& portName);

}  // namespace ctl
