// A pipe server in a process of its own, for the tests that need a server of
// another account than theirs: it makes the pipe named on its command line, takes
// one client, and exits with the number of bytes that client sent.
#include "platform/win32_api.h"

int main(int argc, char** argv) {
  if (argc != 2) return 255;
  HANDLE pipe = CreateNamedPipeA(argv[1], PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                                 1, 4096, 4096, 0, nullptr);
  if (pipe == INVALID_HANDLE_VALUE) return 254;
  // The test ends this process if no client comes.
  if (!ConnectNamedPipe(pipe, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) return 253;
  char request[4096];
  DWORD got = 0;
  if (!ReadFile(pipe, request, sizeof request, &got, nullptr)) got = 0;
  CloseHandle(pipe);
  return static_cast<int>(got);
}
