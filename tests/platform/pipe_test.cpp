// Named pipes as the monitor's pipe server and its clients rely on them: one
// message-mode instance per name, overlapped connect, read and write on the server,
// cancellation, broken and busy pipes, and the client's calls.
#include <vector>

#include "platform_test_util.h"

namespace {

const DWORD kOpenMode = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE;
const DWORD kPipeMode = PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS;
const DWORD kLong = 10000;  // a bound that only a broken implementation reaches

std::u16string pipeName(const char* suffix = "") { return widen("\\\\.\\pipe\\" + uniqueName() + suffix); }

HANDLE createServer(const std::u16string& name, DWORD openMode = kOpenMode, LPSECURITY_ATTRIBUTES sa = nullptr) {
  return CreateNamedPipeW(wide(name), openMode, kPipeMode, 1, 4096, 4096, 10000, sa);
}

HANDLE openClient(const std::u16string& name) {
  return CreateFileW(wide(name), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

BOOL messageMode(HANDLE client) {
  DWORD mode = PIPE_READMODE_MESSAGE;
  return SetNamedPipeHandleState(client, &mode, nullptr, nullptr);
}

// A server with its overlapped record and one connected client in message mode.
struct Connection {
  std::u16string name;
  HANDLE server = INVALID_HANDLE_VALUE;
  HANDLE client = INVALID_HANDLE_VALUE;
  OVERLAPPED ov = {};

  explicit Connection(const char* suffix = "") : name(pipeName(suffix)) {
    ov.hEvent = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    server = createServer(name);
    EXPECT_NE(INVALID_HANDLE_VALUE, server);
    EXPECT_FALSE(ConnectNamedPipe(server, &ov));
    EXPECT_LAST_ERROR(ERROR_IO_PENDING);
    client = openClient(name);
    EXPECT_NE(INVALID_HANDLE_VALUE, client);
    EXPECT_TRUE(messageMode(client));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ov.hEvent, kLong));
    DWORD n = 0;
    EXPECT_TRUE(GetOverlappedResult(server, &ov, &n, FALSE));
  }
  ~Connection() {
    if (client != INVALID_HANDLE_VALUE) CloseHandle(client);
    CloseHandle(server);
    CloseHandle(ov.hEvent);
  }

  void clientSends(const std::vector<BYTE>& message) {
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(client, message.data(), static_cast<DWORD>(message.size()), &written, nullptr));
    EXPECT_EQ(message.size(), written);
  }
  void closeClient() {
    CloseHandle(client);
    client = INVALID_HANDLE_VALUE;
  }
};

std::vector<BYTE> bytes(size_t n, BYTE first = 1) {
  std::vector<BYTE> out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<BYTE>(first + i);
  return out;
}

bool secondCreationError(DWORD error) { return error == ERROR_ACCESS_DENIED || error == ERROR_PIPE_BUSY; }

TEST(PipeName, SecondCreationFailsWhileTheFirstLives) {
  const std::u16string name = pipeName();
  HANDLE first = createServer(name);
  ASSERT_NE(INVALID_HANDLE_VALUE, first);

  // Windows documents ERROR_ACCESS_DENIED for a second first instance; Wine checks
  // the instance count first and answers ERROR_PIPE_BUSY. The server relies only
  // on the failure.
  EXPECT_EQ(INVALID_HANDLE_VALUE, createServer(name));
  EXPECT_TRUE(secondCreationError(GetLastError()));
  EXPECT_EQ(INVALID_HANDLE_VALUE, createServer(name, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED));
  EXPECT_LAST_ERROR(ERROR_PIPE_BUSY);
  // Names are compared without regard to case.
  std::u16string upper = name;
  for (char16_t& c : upper) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 0x20);
  }
  EXPECT_EQ(INVALID_HANDLE_VALUE, createServer(upper));
  EXPECT_TRUE(secondCreationError(GetLastError()));

  CloseHandle(first);
  HANDLE again = createServer(name);
  EXPECT_NE(INVALID_HANDLE_VALUE, again);
  CloseHandle(again);
}

TEST(PipeClient, NoServerMeansFileNotFound) {
  const std::u16string name = pipeName();
  EXPECT_EQ(INVALID_HANDLE_VALUE, openClient(name));
  EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(WaitNamedPipeW(wide(name), 10));
  EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);

  HANDLE server = createServer(name);
  CloseHandle(server);
  EXPECT_EQ(INVALID_HANDLE_VALUE, openClient(name));  // the name went with the server
  EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);
}

TEST(PipeConnect, PendsUntilAClientArrives) {
  const std::u16string name = pipeName();
  HANDLE server = createServer(name);
  ASSERT_NE(INVALID_HANDLE_VALUE, server);
  OVERLAPPED ov = {};
  ov.hEvent = CreateEventW(nullptr, TRUE, TRUE, nullptr);

  EXPECT_FALSE(ConnectNamedPipe(server, &ov));
  EXPECT_LAST_ERROR(ERROR_IO_PENDING);
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(ov.hEvent, 0));  // the start reset it
  DWORD n = 0;
  EXPECT_FALSE(GetOverlappedResult(server, &ov, &n, FALSE));
  EXPECT_LAST_ERROR(ERROR_IO_INCOMPLETE);
  EXPECT_TRUE(WaitNamedPipeW(wide(name), 1000));  // listening: free for a client

  HANDLE client = openClient(name);
  ASSERT_NE(INVALID_HANDLE_VALUE, client);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ov.hEvent, kLong));
  EXPECT_TRUE(GetOverlappedResult(server, &ov, &n, TRUE));

  CloseHandle(client);
  CloseHandle(server);
  CloseHandle(ov.hEvent);
}

TEST(PipeConnect, ClientBeforeTheCallIsAlreadyConnected) {
  const std::u16string name = pipeName();
  HANDLE server = createServer(name);
  ASSERT_NE(INVALID_HANDLE_VALUE, server);
  HANDLE client = openClient(name);  // a fresh instance takes a client at once
  ASSERT_NE(INVALID_HANDLE_VALUE, client);

  OVERLAPPED ov = {};
  ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  EXPECT_FALSE(ConnectNamedPipe(server, &ov));
  EXPECT_LAST_ERROR(ERROR_PIPE_CONNECTED);

  CloseHandle(client);
  CloseHandle(server);
  CloseHandle(ov.hEvent);
}

TEST(PipeConnect, OneInstanceRefusesASecondClientUntilListeningAgain) {
  Connection c;
  EXPECT_EQ(INVALID_HANDLE_VALUE, openClient(c.name));
  EXPECT_LAST_ERROR(ERROR_PIPE_BUSY);
  EXPECT_FALSE(WaitNamedPipeW(wide(c.name), 20));
  EXPECT_LAST_ERROR(ERROR_SEM_TIMEOUT);

  c.closeClient();
  EXPECT_TRUE(DisconnectNamedPipe(c.server));
  EXPECT_EQ(INVALID_HANDLE_VALUE, openClient(c.name));  // disconnected, not yet listening
  EXPECT_LAST_ERROR(ERROR_PIPE_BUSY);

  EXPECT_FALSE(ConnectNamedPipe(c.server, &c.ov));
  EXPECT_LAST_ERROR(ERROR_IO_PENDING);
  c.client = openClient(c.name);
  ASSERT_NE(INVALID_HANDLE_VALUE, c.client);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(c.ov.hEvent, kLong));
}

TEST(PipeRead, MessagesKeepTheirBoundariesAndCompleteAtOnceWhenWaiting) {
  Connection c;
  c.clientSends(bytes(3, 10));
  c.clientSends(bytes(5, 20));
  c.clientSends({});

  BYTE buffer[64];
  DWORD n = 0;
  ResetEvent(c.ov.hEvent);
  EXPECT_TRUE(ReadFile(c.server, buffer, sizeof buffer, &n, &c.ov));
  EXPECT_EQ(3u, n);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(c.ov.hEvent, 0));
  EXPECT_TRUE(GetOverlappedResult(c.server, &c.ov, &n, FALSE));
  EXPECT_EQ(3u, n);
  EXPECT_EQ(10, buffer[0]);

  EXPECT_TRUE(ReadFile(c.server, buffer, sizeof buffer, &n, &c.ov));
  EXPECT_EQ(5u, n);
  EXPECT_EQ(20, buffer[0]);
  EXPECT_TRUE(ReadFile(c.server, buffer, sizeof buffer, &n, &c.ov));
  EXPECT_EQ(0u, n);  // a message of no bytes is still a message
}

TEST(PipeRead, PendsUntilTheClientWrites) {
  Connection c;
  BYTE buffer[64];
  DWORD n = 99;
  EXPECT_FALSE(ReadFile(c.server, buffer, sizeof buffer, &n, &c.ov));
  EXPECT_LAST_ERROR(ERROR_IO_PENDING);
  EXPECT_FALSE(GetOverlappedResult(c.server, &c.ov, &n, FALSE));
  EXPECT_LAST_ERROR(ERROR_IO_INCOMPLETE);

  c.clientSends(bytes(7));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(c.ov.hEvent, kLong));
  EXPECT_TRUE(GetOverlappedResult(c.server, &c.ov, &n, FALSE));
  EXPECT_EQ(7u, n);
  EXPECT_EQ(7, buffer[6]);

  // The waiting form of GetOverlappedResult ends with the operation.
  EXPECT_FALSE(ReadFile(c.server, buffer, sizeof buffer, &n, &c.ov));
  EXPECT_LAST_ERROR(ERROR_IO_PENDING);
  c.clientSends(bytes(2));
  EXPECT_TRUE(GetOverlappedResult(c.server, &c.ov, &n, TRUE));
  EXPECT_EQ(2u, n);
}

TEST(PipeRead, LongMessageGivesMoreDataThenTheRest) {
  Connection c;
  const std::vector<BYTE> message = bytes(3000);
  c.clientSends(message);

  std::vector<BYTE> buffer(2048);
  DWORD n = 0;
  EXPECT_FALSE(ReadFile(c.server, buffer.data(), 2048, &n, &c.ov));
  EXPECT_LAST_ERROR(ERROR_MORE_DATA);
  EXPECT_FALSE(GetOverlappedResult(c.server, &c.ov, &n, TRUE));
  EXPECT_LAST_ERROR(ERROR_MORE_DATA);
  EXPECT_EQ(2048u, n);
  EXPECT_EQ(message[2047], buffer[2047]);

  EXPECT_TRUE(ReadFile(c.server, buffer.data(), 2048, &n, &c.ov));
  EXPECT_EQ(952u, n);
  EXPECT_EQ(message[2048], buffer[0]);
  EXPECT_EQ(message[2999], buffer[951]);
}

TEST(PipeRead, ClientReadsAnswersInMessageMode) {
  Connection c;
  const std::vector<BYTE> answer = bytes(300);
  DWORD n = 0;
  EXPECT_TRUE(WriteFile(c.server, answer.data(), static_cast<DWORD>(answer.size()), &n, &c.ov));
  EXPECT_TRUE(GetOverlappedResult(c.server, &c.ov, &n, TRUE));
  EXPECT_EQ(300u, n);

  BYTE buffer[200];
  EXPECT_FALSE(ReadFile(c.client, buffer, sizeof buffer, &n, nullptr));
  EXPECT_LAST_ERROR(ERROR_MORE_DATA);
  EXPECT_EQ(200u, n);
  EXPECT_TRUE(ReadFile(c.client, buffer, sizeof buffer, &n, nullptr));
  EXPECT_EQ(100u, n);
  EXPECT_EQ(answer[299], buffer[99]);
}

struct DelayedWrite {
  HANDLE server;
  std::vector<BYTE> message;
};

DWORD WINAPI writeLater(LPVOID arg) {
  auto* w = static_cast<DelayedWrite*>(arg);
  Sleep(30);
  OVERLAPPED ov = {};
  ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD n = 0;
  if (!WriteFile(w->server, w->message.data(), static_cast<DWORD>(w->message.size()), &n, &ov)) {
    GetOverlappedResult(w->server, &ov, &n, TRUE);
  }
  CloseHandle(ov.hEvent);
  return 0;
}

TEST(PipeRead, ClientReadWaitsForTheServer) {
  Connection c;
  DelayedWrite w = {c.server, bytes(4, 40)};
  HANDLE t = CreateThread(nullptr, 0, writeLater, &w, 0, nullptr);
  BYTE buffer[16];
  DWORD n = 0;
  EXPECT_TRUE(ReadFile(c.client, buffer, sizeof buffer, &n, nullptr));
  EXPECT_EQ(4u, n);
  EXPECT_EQ(43, buffer[3]);
  WaitForSingleObject(t, INFINITE);
  CloseHandle(t);
}

TEST(PipeCancel, PendingReadAndConnectEndAborted) {
  Connection c;
  BYTE buffer[16];
  DWORD n = 0;
  EXPECT_FALSE(ReadFile(c.server, buffer, sizeof buffer, &n, &c.ov));
  EXPECT_LAST_ERROR(ERROR_IO_PENDING);
  EXPECT_TRUE(CancelIoEx(c.server, &c.ov));
  EXPECT_FALSE(GetOverlappedResult(c.server, &c.ov, &n, TRUE));
  EXPECT_LAST_ERROR(ERROR_OPERATION_ABORTED);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(c.ov.hEvent, 0));
  EXPECT_FALSE(CancelIoEx(c.server, &c.ov));
  EXPECT_LAST_ERROR(ERROR_NOT_FOUND);

  c.closeClient();
  EXPECT_TRUE(DisconnectNamedPipe(c.server));
  EXPECT_FALSE(ConnectNamedPipe(c.server, &c.ov));
  EXPECT_LAST_ERROR(ERROR_IO_PENDING);
  EXPECT_TRUE(CancelIoEx(c.server, nullptr));
  EXPECT_FALSE(GetOverlappedResult(c.server, &c.ov, &n, TRUE));
  EXPECT_LAST_ERROR(ERROR_OPERATION_ABORTED);
}

TEST(PipeBroken, ReadAfterTheClientLeftFails) {
  Connection c;
  c.clientSends(bytes(2));
  c.closeClient();
  BYTE buffer[16];
  DWORD n = 0;
  EXPECT_TRUE(ReadFile(c.server, buffer, sizeof buffer, &n, &c.ov));  // what was sent stays readable
  EXPECT_EQ(2u, n);
  EXPECT_FALSE(ReadFile(c.server, buffer, sizeof buffer, &n, &c.ov));
  EXPECT_LAST_ERROR(ERROR_BROKEN_PIPE);
}

TEST(PipeBroken, PendingReadEndsWhenTheClientLeaves) {
  Connection c;
  BYTE buffer[16];
  DWORD n = 0;
  EXPECT_FALSE(ReadFile(c.server, buffer, sizeof buffer, &n, &c.ov));
  EXPECT_LAST_ERROR(ERROR_IO_PENDING);
  c.closeClient();
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(c.ov.hEvent, kLong));
  EXPECT_FALSE(GetOverlappedResult(c.server, &c.ov, &n, FALSE));
  EXPECT_LAST_ERROR(ERROR_BROKEN_PIPE);

  // The instance takes a new client once disconnected and listening again.
  EXPECT_TRUE(DisconnectNamedPipe(c.server));
  EXPECT_FALSE(ConnectNamedPipe(c.server, &c.ov));
  EXPECT_LAST_ERROR(ERROR_IO_PENDING);
  c.client = openClient(c.name);
  ASSERT_NE(INVALID_HANDLE_VALUE, c.client);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(c.ov.hEvent, kLong));
}

TEST(PipeSecurity, DescriptorFromSddlLetsLocalClientsIn) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  ULONG size = 0;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
      WSTR("D:P(D;;GA;;;NU)(A;;GA;;;SY)(A;;GA;;;BA)(A;;GRGW;;;IU)(A;;GRGW;;;AU)"), SDDL_REVISION_1, &sd, &size));
  EXPECT_GT(size, 0u);
  SECURITY_ATTRIBUTES sa = {sizeof sa, sd, FALSE};
  const std::u16string name = pipeName();
  HANDLE server = createServer(name, kOpenMode, &sa);
  ASSERT_NE(INVALID_HANDLE_VALUE, server);
  HANDLE client = openClient(name);
  EXPECT_NE(INVALID_HANDLE_VALUE, client);
  CloseHandle(client);
  CloseHandle(server);
  EXPECT_EQ(nullptr, LocalFree(sd));

  EXPECT_FALSE(ConvertStringSecurityDescriptorToSecurityDescriptorW(WSTR("D:(X;;GA;;;SY)"), SDDL_REVISION_1, &sd,
                                                                    nullptr));
}

TEST(PipeSecurity, ServerActsAsTheConnectedClient) {
  Connection c;
  c.clientSends(bytes(1));
  BYTE buffer[4];
  DWORD n = 0;
  EXPECT_TRUE(ReadFile(c.server, buffer, sizeof buffer, &n, &c.ov));
  ASSERT_TRUE(ImpersonateNamedPipeClient(c.server));
  const std::string path = tempPath("impersonated.txt");
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(INVALID_HANDLE_VALUE, file);
  EXPECT_TRUE(RevertToSelf());
  CloseHandle(file);
  DeleteFileA(path.c_str());
}

}  // namespace
