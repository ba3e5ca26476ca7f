// Named pipes: the Win32 calls over the pipe ends of pipe_end.h. What the stand-in
// serves: message-type pipes with one instance per name (a second creation fails,
// with ERROR_ACCESS_DENIED under FILE_FLAG_FIRST_PIPE_INSTANCE, else with
// ERROR_PIPE_BUSY), in waiting mode; clients in any process of the machine; byte
// or message read mode on either end. Remote clients cannot exist on a Unix socket,
// so PIPE_REJECT_REMOTE_CLIENTS holds by construction; handles are never
// inherited (there are no child processes to inherit them).
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/posix/kernel_object.h"
#include "platform/posix/pipe_end.h"
#include "platform/posix/pipe_peer.h"
#include "platform/posix/text_fold.h"
#include "platform/strict_platform.h"

namespace posix {
namespace {

const char16_t kPipePrefix[] = u"\\\\.\\pipe\\";
const size_t kPipePrefixLength = sizeof kPipePrefix / sizeof kPipePrefix[0] - 1;

// How long a client waits for the server's answer to its introduction.
const int kAnswerWaitMs = 5000;

std::atomic<bool> g_cancelLater{false};
thread_local bool t_connectsAsOrdinary = false;

class PipeObject : public KernelObject {
 public:
  explicit PipeObject(std::shared_ptr<PipeEnd> end) : KernelObject(ObjectKind::Pipe), end_(std::move(end)) {}
  ~PipeObject() override { end_->close(); }

  BOOL read(LPVOID buffer, DWORD size, LPDWORD done, LPOVERLAPPED overlapped) override {
    return end_->read(buffer, size, done, overlapped);
  }
  BOOL write(LPCVOID buffer, DWORD size, LPDWORD done, LPOVERLAPPED overlapped) override {
    return end_->write(buffer, size, done, overlapped);
  }
  int clientSocket() const override { return end_->clientSocket(); }
  bool clientIdentifiesOnly() const override { return end_->clientIdentifiesOnly(); }
  bool clientMadeOrdinary() const override { return end_->clientMadeOrdinary(); }
  const std::shared_ptr<PipeEnd>& end() const { return end_; }

 private:
  const std::shared_ptr<PipeEnd> end_;
};

std::u16string nameAfterPrefix(const std::u16string& name) { return name.substr(kPipePrefixLength); }

bool addressOf(const std::string& path, sockaddr_un* address) {
  memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  if (path.size() >= sizeof address->sun_path) return false;
  memcpy(address->sun_path, path.c_str(), path.size() + 1);
  return true;
}

// A connection to the pipe's socket, or -1 with the last error set as CreateFile
// sets it when no server is there.
int connectTo(const std::string& path) {
  sockaddr_un address;
  if (!addressOf(path, &address)) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return -1;
  }
  const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    SetLastError(errorFromErrno(errno));
    return -1;
  }
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
  const int error = errno;
  close(fd);
  if (error == ENOENT || error == ECONNREFUSED) {
    SetLastError(ERROR_FILE_NOT_FOUND);  // no server, or one that ended without removing its name
  } else if (error == EAGAIN) {
    SetLastError(ERROR_PIPE_BUSY);
  } else {
    SetLastError(errorFromErrno(error));
  }
  return -1;
}

// Introduces a new connection and reads the server's answer; 0 when none came.
char introduce(int fd, char intro, DWORD* defaultTimeout) {
  if (send(fd, &intro, 1, MSG_NOSIGNAL) != 1) return 0;
  pollfd ready = {fd, POLLIN, 0};
  if (poll(&ready, 1, kAnswerWaitMs) <= 0) return 0;
  char answer[1 + sizeof(DWORD)] = {};
  if (recv(fd, answer, sizeof answer, MSG_DONTWAIT) != static_cast<ssize_t>(sizeof answer)) return 0;
  memcpy(defaultTimeout, answer + 1, sizeof *defaultTimeout);
  return answer[0];
}

// A server still answers on the socket: the name is taken.
bool serverAlive(const std::string& path) {
  const int fd = connectTo(path);
  if (fd < 0) return GetLastError() == ERROR_PIPE_BUSY;
  close(fd);
  return true;
}

// Binds fd to path; a socket left by a server that ended without removing it is
// replaced. False with the last error set when a live server holds the name.
bool bindName(int fd, const std::string& path, DWORD openMode) {
  sockaddr_un address;
  if (!addressOf(path, &address)) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return true;
    if (errno != EADDRINUSE) break;
    if (serverAlive(path)) {
      SetLastError(openMode & FILE_FLAG_FIRST_PIPE_INSTANCE ? ERROR_ACCESS_DENIED : ERROR_PIPE_BUSY);
      return false;
    }
    unlink(path.c_str());
  }
  SetLastError(errorFromErrno(errno));
  return false;
}

}  // namespace

bool cancelLater() { return g_cancelLater.load(std::memory_order_relaxed); }

bool isPipeName(const std::u16string& name) {
  if (name.size() <= kPipePrefixLength) return false;
  for (size_t i = 0; i < kPipePrefixLength; ++i) {
    if (foldCase(name[i]) != kPipePrefix[i]) return false;
  }
  return true;
}

std::shared_ptr<PipeEnd> pipeEndOf(HANDLE h) {
  auto pipe = handleObjectOf<PipeObject>(h, ObjectKind::Pipe);
  return pipe != nullptr ? pipe->end() : nullptr;
}

void connectAsOrdinaryCaller(bool ordinary) { t_connectsAsOrdinary = ordinary; }

bool pipeServerUserId(HANDLE hPipe, uid_t* uid) {
  auto end = pipeEndOf(hPipe);
  const int fd = end != nullptr ? end->serverSocket() : -1;
  struct ucred server = {};
  socklen_t length = sizeof server;
  if (fd < 0 || getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &server, &length) != 0) return false;
  *uid = server.uid;
  return true;
}

HANDLE openPipeClient(const std::u16string& name, DWORD, DWORD flags) {
  std::string path;
  if (!pipeSocketPath(nameAfterPrefix(name), &path)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  const int fd = connectTo(path);
  if (fd < 0) return INVALID_HANDLE_VALUE;
  // The impersonation level travels in the introduction, as Windows hands it to the server.
  const DWORD level = flags & SECURITY_DELEGATION;
  const bool identifies = (flags & SECURITY_SQOS_PRESENT) != 0 && level < SECURITY_IMPERSONATION;
  DWORD defaultTimeout = 0;
  const char intro = t_connectsAsOrdinary ? (identifies ? kIntroConnectIdentifyingOrdinary : kIntroConnectOrdinary)
                                          : (identifies ? kIntroConnectIdentifying : kIntroConnect);
  const char answer = introduce(fd, intro, &defaultTimeout);
  if (answer != kAnswerAccepted) {
    close(fd);
    SetLastError(answer == 0 ? ERROR_FILE_NOT_FOUND : ERROR_PIPE_BUSY);
    return INVALID_HANDLE_VALUE;
  }
  HANDLE h = handleOpen(std::make_shared<PipeObject>(PipeEnd::client(fd, (flags & FILE_FLAG_OVERLAPPED) != 0)));
  SetLastError(ERROR_SUCCESS);
  return h;
}

}  // namespace posix

HANDLE CreateNamedPipeW(LPCWSTR lpName, DWORD dwOpenMode, DWORD dwPipeMode, DWORD nMaxInstances, DWORD, DWORD,
                        DWORD nDefaultTimeOut, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
  if (lpName == nullptr || !posix::isPipeName(lpName)) {
    SetLastError(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  if ((dwOpenMode & PIPE_ACCESS_DUPLEX) == 0 || nMaxInstances == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  // Only what the monitor uses: one instance, message type, waiting mode.
  if (nMaxInstances != 1 || !(dwPipeMode & PIPE_TYPE_MESSAGE) || (dwPipeMode & PIPE_NOWAIT)) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return INVALID_HANDLE_VALUE;
  }
  mode_t mode = 0;
  if (!posix::socketModeFor(lpSecurityAttributes != nullptr ? lpSecurityAttributes->lpSecurityDescriptor : nullptr,
                            &mode)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::string path;
  if (!posix::pipeSocketPath(posix::nameAfterPrefix(lpName), &path)) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return INVALID_HANDLE_VALUE;
  }

  const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    SetLastError(posix::errorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  struct stat st;
  {
    // The name's lock is let go before the new end joins the pipe service: the
    // service holds its own lock while it takes an end's, and an end's close holds
    // its lock while it takes the name's, so holding the name's lock into the
    // service's would close a circle.
    posix::PipeNameLock names;
    if (!posix::bindName(fd, path, dwOpenMode)) {
      close(fd);
      return INVALID_HANDLE_VALUE;
    }
    if (chmod(path.c_str(), mode) != 0 || listen(fd, 16) != 0 || stat(path.c_str(), &st) != 0) {
      const DWORD error = posix::errorFromErrno(errno);
      unlink(path.c_str());
      close(fd);
      SetLastError(error);
      return INVALID_HANDLE_VALUE;
    }
  }
  auto end = posix::PipeEnd::server(fd, path, st.st_ino, (dwOpenMode & FILE_FLAG_OVERLAPPED) != 0, nDefaultTimeOut);
  end->setReadMode(dwPipeMode & PIPE_READMODE_MESSAGE);
  HANDLE h = posix::handleOpen(std::make_shared<posix::PipeObject>(std::move(end)));
  SetLastError(ERROR_SUCCESS);
  return h;
}

BOOL ConnectNamedPipe(HANDLE hNamedPipe, LPOVERLAPPED lpOverlapped) {
  auto end = posix::pipeEndOf(hNamedPipe);
  return end != nullptr ? end->connect(lpOverlapped) : FALSE;
}

BOOL DisconnectNamedPipe(HANDLE hNamedPipe) {
  auto end = posix::pipeEndOf(hNamedPipe);
  return end != nullptr ? end->disconnect() : FALSE;
}

BOOL SetNamedPipeHandleState(HANDLE hNamedPipe, LPDWORD lpMode, LPDWORD lpMaxCollectionCount,
                             LPDWORD lpCollectDataTimeout) {
  auto end = posix::pipeEndOf(hNamedPipe);
  if (end == nullptr) return FALSE;
  if (lpMaxCollectionCount != nullptr || lpCollectDataTimeout != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);  // collection applies to remote byte pipes only
    return FALSE;
  }
  return lpMode != nullptr ? end->setReadMode(*lpMode) : TRUE;
}

BOOL WaitNamedPipeW(LPCWSTR lpNamedPipeName, DWORD nTimeOut) {
  std::string path;
  if (lpNamedPipeName == nullptr || !posix::isPipeName(lpNamedPipeName) ||
      !posix::pipeSocketPath(posix::nameAfterPrefix(lpNamedPipeName), &path)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    const int fd = posix::connectTo(path);
    if (fd < 0 && GetLastError() != ERROR_PIPE_BUSY) return FALSE;
    DWORD defaultTimeout = 0;
    const char answer = fd >= 0 ? posix::introduce(fd, posix::kIntroQuery, &defaultTimeout) : posix::kAnswerBusy;
    if (fd >= 0) close(fd);
    if (answer == posix::kAnswerAccepted) return TRUE;
    if (answer == 0) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return FALSE;
    }
    const DWORD limit = nTimeOut == NMPWAIT_USE_DEFAULT_WAIT ? defaultTimeout : nTimeOut;
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    if (limit != NMPWAIT_WAIT_FOREVER && waited.count() >= static_cast<long long>(limit)) {
      SetLastError(ERROR_SEM_TIMEOUT);
      return FALSE;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void platformCancelIoLater(BOOL on) { posix::g_cancelLater.store(on != FALSE, std::memory_order_relaxed); }

BOOL GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped, LPDWORD lpNumberOfBytesTransferred, BOOL bWait) {
  if (__atomic_load_n(&lpOverlapped->Internal, __ATOMIC_ACQUIRE) == posix::kStatusPending) {
    if (!bWait) {
      SetLastError(ERROR_IO_INCOMPLETE);
      return FALSE;
    }
    auto end = posix::pipeEndOf(hFile);
    if (end == nullptr) return FALSE;
    if (posix::cancelLater() && lpOverlapped->hEvent != nullptr) {
      // As Windows does: the wait is on the operation's event, which someone else
      // may have set while the operation still runs. A status still pending then
      // counts as success, as every NT success status does.
      if (WaitForSingleObject(lpOverlapped->hEvent, INFINITE) == WAIT_FAILED) return FALSE;
      if (__atomic_load_n(&lpOverlapped->Internal, __ATOMIC_ACQUIRE) == posix::kStatusPending) {
        if (lpNumberOfBytesTransferred != nullptr) *lpNumberOfBytesTransferred = 0;
        return TRUE;
      }
    } else {
      end->waitFor(lpOverlapped);
    }
  }
  const ULONG_PTR status = __atomic_load_n(&lpOverlapped->Internal, __ATOMIC_ACQUIRE);
  if (lpNumberOfBytesTransferred != nullptr) *lpNumberOfBytesTransferred = static_cast<DWORD>(lpOverlapped->InternalHigh);
  if (status == posix::kStatusSuccess) return TRUE;
  SetLastError(posix::errorFromStatus(status));
  return FALSE;
}

BOOL CancelIoEx(HANDLE hFile, LPOVERLAPPED lpOverlapped) {
  std::shared_ptr<posix::KernelObject> object = posix::handleObject(hFile);
  if (object == nullptr) return FALSE;
  auto end = posix::pipeEndOf(hFile);
  if (end == nullptr) {
    SetLastError(ERROR_NOT_FOUND);  // every other object finishes its operations at once
    return FALSE;
  }
  return end->cancel(lpOverlapped);
}
