// A named pipe with one connected client, as the monitor's pipe thread holds it
// after it has read a request.
#include <atomic>
#include <string>

#include "tests/support/client_pipe.h"

namespace {

std::atomic<unsigned> g_pipeCount{0};

std::basic_string<WCHAR> uniquePipeName() {
  const std::string name = "\\\\.\\pipe\\qxlm-test-client-" + std::to_string(GetCurrentProcessId()) + "-" +
                           std::to_string(++g_pipeCount);
  return std::basic_string<WCHAR>(name.begin(), name.end());
}

}  // namespace

ClientPipe::ClientPipe() {
  const std::basic_string<WCHAR> name = uniquePipeName();
  HANDLE server = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX,
                                   PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
  if (server == INVALID_HANDLE_VALUE) return;
  HANDLE client = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (client == INVALID_HANDLE_VALUE) {
    CloseHandle(server);
    return;
  }
  // A server acts as its client only once it has read from it.
  const BOOL connected = ConnectNamedPipe(server, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED;
  BYTE request = 0x03;
  DWORD done = 0;
  if (!connected || !WriteFile(client, &request, 1, &done, nullptr) || !ReadFile(server, &request, 1, &done, nullptr)) {
    CloseHandle(client);
    CloseHandle(server);
    return;
  }
  server_ = server;
  client_ = client;
}

ClientPipe::ClientPipe(OtherUser) {}

ClientPipe::~ClientPipe() {
  if (client_ != nullptr) CloseHandle(client_);
  if (server_ != nullptr) CloseHandle(server_);
}

std::unique_ptr<ClientPipe> ClientPipe::ofOtherUser() { return nullptr; }

bool ClientPipe::hideFromOtherUser(const char*) { return false; }
