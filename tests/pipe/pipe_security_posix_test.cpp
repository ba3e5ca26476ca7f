// The stand-in's pipe is a Unix socket: its file mode is the access list, local
// accounts reading and writing and nobody else reaching it; the account serving it
// is the one that listens on it.
#include <dirent.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>

#include "ctl_command_line.h"
#include "pipe/pipe_packet.h"
#include "pipe_test_support.h"
#include "tests/support/test_files.h"

namespace {

std::string pipeFolder() {
  const char* configured = getenv("QXLM_PIPE_DIR");
  if (configured != nullptr && *configured != 0) return configured;
  char windows[MAX_PATH];
  const UINT n = GetWindowsDirectoryA(windows, sizeof windows);
  return n == 0 || n >= sizeof windows ? std::string() : std::string(windows) + "/pipe";
}

// The socket whose name ends in the port's name, folded as pipe names are.
std::string socketOf(const std::string& port) {
  std::string folded;
  for (char c : port) folded += static_cast<char>(tolower(static_cast<unsigned char>(c)));
  const std::string suffix = "qxnamedpipe" + folded;
  const std::string dir = pipeFolder();
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return std::string();
  std::string found;
  while (dirent* entry = readdir(d)) {
    const std::string file = entry->d_name;
    if (file.size() >= suffix.size() && file.compare(file.size() - suffix.size(), suffix.size(), suffix) == 0) {
      found = dir + "/" + file;
    }
  }
  closedir(d);
  return found;
}

class PipeSecurity : public PipePortTest {};

TEST_F(PipeSecurity, PipeIsOpenToLocalAccountsOnly) {
  const std::string name = portName("SEC");
  INIPORT* port = open(name);
  ASSERT_NE(nullptr, port);
  ctl::PipeClient client;
  ASSERT_EQ(ctl::Outcome::Ok, connectWhenOpen(client, name));
  const std::string path = socketOf(name);
  ASSERT_FALSE(path.empty());
  struct stat st;
  ASSERT_EQ(0, stat(path.c_str(), &st));
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_EQ(0666u, st.st_mode & 07777u);

  const WideString pipeName = ctl::pipeNameFor(name);
  EXPECT_EQ(INVALID_HANDLE_VALUE,
            CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                             PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr));
  client.close();
  EXPECT_TRUE(close(port));
}

// Whatever process might serve a port's pipe in the monitor's place: on a pipe the
// test made, it takes one client, reads its request and, acting as the client,
// tries to open a file; then it lets the client go.
class ForeignServer {
 public:
  ForeignServer(HANDLE pipe, const std::string& probeFile);
  ~ForeignServer();  // waits for the serving thread, then closes the pipe
  ForeignServer(const ForeignServer&) = delete;
  ForeignServer& operator=(const ForeignServer&) = delete;

  // Waits (bounded) for the client to have come and gone.
  bool finished();
  DWORD requestBytes() const { return requestBytes_; }
  // ERROR_SUCCESS when the file opened as the client; the error otherwise.
  DWORD probeError() const { return probeError_; }

 private:
  static DWORD WINAPI serve(LPVOID self);
  HANDLE pipe_;
  std::string probe_;
  HANDLE thread_ = nullptr;
  DWORD requestBytes_ = 0;
  DWORD probeError_ = ERROR_INVALID_FUNCTION;  // not tried
};

ForeignServer::ForeignServer(HANDLE pipe, const std::string& probeFile) : pipe_(pipe), probe_(probeFile) {
  thread_ = CreateThread(nullptr, 0, &ForeignServer::serve, this, 0, nullptr);
}

ForeignServer::~ForeignServer() {
  finished();
  if (thread_ != nullptr) CloseHandle(thread_);
  CloseHandle(pipe_);
}

bool ForeignServer::finished() { return thread_ != nullptr && WaitForSingleObject(thread_, 30000) == WAIT_OBJECT_0; }

// Every wait is bounded, so that a client that never comes cannot hold the test.
DWORD WINAPI ForeignServer::serve(LPVOID self) {
  ForeignServer* server = static_cast<ForeignServer*>(self);
  OVERLAPPED overlapped = {};
  overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD count = 0;
  BOOL done = ConnectNamedPipe(server->pipe_, &overlapped) || GetLastError() == ERROR_PIPE_CONNECTED;
  if (!done && GetLastError() == ERROR_IO_PENDING) {
    done = WaitForSingleObject(overlapped.hEvent, 20000) == WAIT_OBJECT_0 &&
           GetOverlappedResult(server->pipe_, &overlapped, &count, FALSE);
  }
  BYTE request[PIPE_REQUEST_SIZE];
  if (done) {
    ResetEvent(overlapped.hEvent);
    done = ReadFile(server->pipe_, request, sizeof request, &count, &overlapped);
    if (!done && GetLastError() == ERROR_IO_PENDING) {
      done = WaitForSingleObject(overlapped.hEvent, 20000) == WAIT_OBJECT_0 &&
             GetOverlappedResult(server->pipe_, &overlapped, &count, FALSE);
    }
  }
  if (done && count > 0) {
    server->requestBytes_ = count;
    if (ImpersonateNamedPipeClient(server->pipe_)) {
      HANDLE file = CreateFileA(server->probe_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      server->probeError_ = file != INVALID_HANDLE_VALUE ? ERROR_SUCCESS : GetLastError();
      if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
      RevertToSelf();
    } else {
      server->probeError_ = GetLastError();
    }
  }
  CancelIoEx(server->pipe_, nullptr);
  GetOverlappedResult(server->pipe_, &overlapped, &count, TRUE);
  DisconnectNamedPipe(server->pipe_);  // a client waiting for an answer gets a broken pipe
  CloseHandle(overlapped.hEvent);
  return 0;
}

struct OtherUserPipe {
  WideString name;
  HANDLE pipe;
};

// The raw system calls change the identity of this thread alone, which ends with it.
DWORD WINAPI createAsOtherUser(LPVOID arg) {
  OtherUserPipe* made = static_cast<OtherUserPipe*>(arg);
  if (syscall(SYS_setresgid, -1, 65534, -1) != 0 || syscall(SYS_setresuid, -1, 65534, -1) != 0) return 1;
  made->pipe = CreateNamedPipeW(made->name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
  return 0;
}

HANDLE foreignPipe(const std::string& port) {
  const WideString name = ctl::pipeNameFor(port);
  return CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                          PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
}

// Any local process may serve a port's pipe name: qxlm-ctl lets it learn who asks,
// and lets it act as the asker only for a firmware update, and only when it runs as
// root or as the user of qxlm-ctl.
TEST_F(PipeSecurity, QxlmCtlLendsItsIdentityOnlyToATrustedServerForAnUpdate) {
  char windows[MAX_PATH];
  ASSERT_NE(0u, GetWindowsDirectoryA(windows, sizeof windows));
  const std::string probe = std::string(windows) + "\\Temp\\" + portName("PROBE") + ".BIN";
  HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  CloseHandle(file);

  const std::string own = portName("OWN");
  {
    ForeignServer server(foreignPipe(own), probe);
    EXPECT_EQ(ctl::EXIT_FAILED, ctlRun({"status", own}).exit);
    ASSERT_TRUE(server.finished());
    EXPECT_LT(0u, server.requestBytes());
    EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_IMPERSONATION_LEVEL), server.probeError());
  }
  {
    ForeignServer server(foreignPipe(own), probe);
    EXPECT_EQ(ctl::EXIT_FAILED, ctlRun({"flash", own, probe}).exit);
    ASSERT_TRUE(server.finished());
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), server.probeError());
  }

  if (geteuid() != 0) {
    DeleteFileA(probe.c_str());
    GTEST_SKIP() << "a server of another account needs root to make";
  }
  const std::string other = portName("OTHER");
  OtherUserPipe made = {ctl::pipeNameFor(other), INVALID_HANDLE_VALUE};
  HANDLE thread = CreateThread(nullptr, 0, createAsOtherUser, &made, 0, nullptr);
  ASSERT_NE(nullptr, thread);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  ASSERT_NE(INVALID_HANDLE_VALUE, made.pipe);
  ForeignServer server(made.pipe, probe);
  const CtlRun refused = ctlRun({"flash", other, probe});
  EXPECT_EQ(ctl::EXIT_UNTRUSTED, refused.exit);
  EXPECT_NE(std::string::npos, refused.err.find("user id 65534")) << refused.err;
  ASSERT_TRUE(server.finished());
  EXPECT_EQ(0u, server.requestBytes());
  DeleteFileA(probe.c_str());
}

}  // namespace
