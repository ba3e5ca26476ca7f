#include "ctl_client.h"

#include "ctl_host.h"
#include "pipe/pipe_packet.h"
#include "pipe/pipe_server.h"

namespace ctl {

std::basic_string<WCHAR> pipeNameFor(const std::string& portName) {
  const std::string name = std::string(PIPE_NAME_PREFIX) + portName;
  std::basic_string<WCHAR> wide;
  for (unsigned char c : name) wide.push_back(static_cast<WCHAR>(c));
  return wide;
}

PipeClient::~PipeClient() { close(); }

void PipeClient::close() {
  if (pipe_ != INVALID_HANDLE_VALUE) CloseHandle(pipe_);
  if (event_ != nullptr) CloseHandle(event_);
  pipe_ = INVALID_HANDLE_VALUE;
  event_ = nullptr;
}

Outcome PipeClient::open(const std::string& portName, DWORD busyWaitMs, Identity identity) {
  close();
  const std::basic_string<WCHAR> name = pipeNameFor(portName);
  // Any local process can serve a pipe of this name: by default it learns who the
  // client is and can do nothing as the client.
  const DWORD level = identity == Identity::Lend ? SECURITY_IMPERSONATION : SECURITY_IDENTIFICATION;
  const DWORD start = GetTickCount();
  for (;;) {
    pipe_ = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                        FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | level, nullptr);
    if (pipe_ != INVALID_HANDLE_VALUE) break;
    lastError_ = GetLastError();
    if (lastError_ == ERROR_FILE_NOT_FOUND || lastError_ == ERROR_PATH_NOT_FOUND) return Outcome::NoSuchPort;
    if (lastError_ != ERROR_PIPE_BUSY) return Outcome::Failed;
    const DWORD waited = GetTickCount() - start;
    if (waited >= busyWaitMs) return Outcome::Busy;
    // The server listens again once its current client has gone.
    if (!WaitNamedPipeW(name.c_str(), busyWaitMs - waited)) {
      lastError_ = GetLastError();
      if (lastError_ == ERROR_FILE_NOT_FOUND) return Outcome::NoSuchPort;
      if (GetTickCount() - start >= busyWaitMs) return Outcome::Busy;
    }
  }
  // The server can act as the client only once it has read from it: nothing has
  // been sent yet.
  serverAccount_.clear();
  if (identity == Identity::Lend && !pipeServerTrusted(pipe_, &serverAccount_)) {
    lastError_ = ERROR_ACCESS_DENIED;
    close();
    return Outcome::Untrusted;
  }
  DWORD mode = PIPE_READMODE_MESSAGE;
  event_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (event_ == nullptr || !SetNamedPipeHandleState(pipe_, &mode, nullptr, nullptr)) {
    lastError_ = GetLastError();
    close();
    return Outcome::Failed;
  }
  return Outcome::Ok;
}

Outcome PipeClient::finish(BOOL started, DWORD limitMs, DWORD* count) {
  if (!started) {
    lastError_ = GetLastError();
    if (lastError_ != ERROR_IO_PENDING) return Outcome::Failed;
    if (WaitForSingleObject(event_, limitMs) != WAIT_OBJECT_0) {
      CancelIoEx(pipe_, &overlapped_);
      GetOverlappedResult(pipe_, &overlapped_, count, TRUE);
      lastError_ = ERROR_TIMEOUT;
      return Outcome::TimedOut;
    }
  }
  if (!GetOverlappedResult(pipe_, &overlapped_, count, TRUE)) {
    lastError_ = GetLastError();
    return Outcome::Failed;
  }
  return Outcome::Ok;
}

Outcome PipeClient::exchange(const std::vector<BYTE>& request, DWORD limitMs, std::vector<BYTE>* message) {
  if (pipe_ == INVALID_HANDLE_VALUE) return Outcome::Failed;
  overlapped_ = OVERLAPPED();
  overlapped_.hEvent = event_;
  DWORD count = 0;
  Outcome outcome = finish(WriteFile(pipe_, request.data(), static_cast<DWORD>(request.size()), &count, &overlapped_),
                           limitMs, &count);
  if (outcome != Outcome::Ok) return outcome;

  message->assign(PIPE_RESPONSE_SIZE, 0);
  overlapped_ = OVERLAPPED();
  overlapped_.hEvent = event_;
  outcome = finish(ReadFile(pipe_, message->data(), PIPE_RESPONSE_SIZE, &count, &overlapped_), limitMs, &count);
  message->resize(outcome == Outcome::Ok ? count : 0);
  return outcome;
}

Outcome PipeClient::send(const std::vector<BYTE>& request, DWORD limitMs, Response* response) {
  std::vector<BYTE> message;
  const Outcome outcome = exchange(request, limitMs, &message);
  if (outcome != Outcome::Ok) return outcome;
  return parseResponse(message, response) ? Outcome::Ok : Outcome::Failed;
}

}  // namespace ctl
