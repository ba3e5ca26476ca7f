// The two ends of a stand-in named pipe and their operations (see pipe_end.h).
#include "platform/posix/pipe_end.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace posix {

DWORD errorFromStatus(ULONG_PTR status) {
  switch (status) {
    case kStatusSuccess:
      return ERROR_SUCCESS;
    case kStatusBufferOverflow:
      return ERROR_MORE_DATA;
    case kStatusCancelled:
      return ERROR_OPERATION_ABORTED;
    case kStatusPipeBroken:
      return ERROR_BROKEN_PIPE;
    case kStatusPipeDisconnected:
      return ERROR_PIPE_NOT_CONNECTED;
    case kStatusPipeClosing:
      return ERROR_NO_DATA;
    case kStatusPipeListening:
      return ERROR_PIPE_LISTENING;
    case kStatusInvalidHandle:
      return ERROR_INVALID_HANDLE;
    case kStatusNoMemory:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return ERROR_GEN_FAILURE;
  }
}

namespace {

// Internal is read by GetOverlappedResult on another thread while the service
// thread finishes the operation: it is published last, with release order.
void publishStatus(LPOVERLAPPED overlapped, ULONG_PTR status) {
  __atomic_store_n(&overlapped->Internal, status, __ATOMIC_RELEASE);
}

ULONG_PTR statusOf(LPOVERLAPPED overlapped) { return __atomic_load_n(&overlapped->Internal, __ATOMIC_ACQUIRE); }

// The result of a finished operation, as ReadFile, WriteFile or GetOverlappedResult give it.
BOOL resultOf(LPOVERLAPPED overlapped, LPDWORD done) {
  const ULONG_PTR status = statusOf(overlapped);
  if (done != nullptr) *done = static_cast<DWORD>(overlapped->InternalHigh);
  if (status == kStatusSuccess) return TRUE;
  SetLastError(errorFromStatus(status));
  return FALSE;
}

std::shared_ptr<KernelObject> eventOf(LPOVERLAPPED overlapped) {
  if (overlapped == nullptr || overlapped->hEvent == nullptr) return nullptr;
  const DWORD error = GetLastError();
  std::shared_ptr<KernelObject> event = handleObject(overlapped->hEvent);
  SetLastError(error);
  return event;
}

bool wouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

void sendAnswer(int fd, char answer, DWORD defaultTimeout) {
  char message[1 + sizeof(DWORD)];
  message[0] = answer;
  memcpy(message + 1, &defaultTimeout, sizeof defaultTimeout);
  send(fd, message, sizeof message, MSG_DONTWAIT | MSG_NOSIGNAL);
}

}  // namespace

PipeEnd::PipeEnd(bool server, bool overlapped)
    : server_(server), overlapped_(overlapped), state_(server ? State::Listening : State::Connected) {}

std::shared_ptr<PipeEnd> PipeEnd::server(int listenFd, std::string socketPath, ino_t socketIno, bool overlapped,
                                         DWORD defaultTimeout) {
  std::shared_ptr<PipeEnd> end(new PipeEnd(true, overlapped));
  end->listenFd_ = listenFd;
  end->socketPath_ = std::move(socketPath);
  end->socketIno_ = socketIno;
  if (defaultTimeout != 0) end->defaultTimeout_ = defaultTimeout;
  serviceAdd(end);
  return end;
}

std::shared_ptr<PipeEnd> PipeEnd::client(int dataFd, bool overlapped) {
  std::shared_ptr<PipeEnd> end(new PipeEnd(false, overlapped));
  end->dataFd_ = dataFd;
  end->messageRead_ = false;  // a client starts in byte read mode, as on Windows
  serviceAdd(end);
  return end;
}

PipeEnd::~PipeEnd() { close(); }

// ------------------------------------------------------------- operations

ULONG_PTR PipeEnd::notReadyStatus(OpKind kind) const {
  switch (state_) {
    case State::Closed:
      return kStatusInvalidHandle;
    case State::Listening:
      return kind == OpKind::Connect ? kStatusSuccess : kStatusPipeListening;
    case State::Disconnected:
      return kind == OpKind::Connect ? kStatusSuccess : kStatusPipeDisconnected;
    case State::Broken:
      if (kind == OpKind::Read) return rest_.empty() ? kStatusPipeBroken : kStatusSuccess;
      return kStatusPipeClosing;
    case State::Connected:
      break;
  }
  return kStatusSuccess;
}

PipeEnd::Attempt PipeEnd::tryRead(BYTE* buffer, DWORD size, ULONG_PTR* status, DWORD* count) {
  *count = 0;
  if (rest_.empty()) {
    if (state_ != State::Connected || dataFd_ < 0) {
      *status = state_ == State::Connected ? kStatusPipeBroken : notReadyStatus(OpKind::Read);
      return Attempt::Done;
    }
    // Every message carries a header byte, so 0 here is the end of the connection.
    const ssize_t length = recv(dataFd_, nullptr, 0, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
    if (length < 0 && wouldBlock(errno)) return Attempt::WouldBlock;
    std::vector<BYTE> message(length > 0 ? static_cast<size_t>(length) : 0);
    if (length <= 0 || recv(dataFd_, message.data(), message.size(), MSG_DONTWAIT) != length ||
        message[0] != static_cast<BYTE>(kDataMessage)) {
      dropConnection();
      state_ = State::Broken;
      *status = kStatusPipeBroken;
      return Attempt::Done;
    }
    rest_.assign(message.begin() + 1, message.end());
  }
  const DWORD n = rest_.size() < size ? static_cast<DWORD>(rest_.size()) : size;
  if (n != 0) memcpy(buffer, rest_.data(), n);
  rest_.erase(rest_.begin(), rest_.begin() + n);
  *count = n;
  // In message read mode a read that leaves part of the message says so; the
  // next read returns the rest.
  *status = !rest_.empty() && messageRead_ ? kStatusBufferOverflow : kStatusSuccess;
  return Attempt::Done;
}

PipeEnd::Attempt PipeEnd::trySend(const std::vector<BYTE>& frame, ULONG_PTR* status) {
  if (state_ != State::Connected || dataFd_ < 0) {
    *status = state_ == State::Connected ? kStatusPipeClosing : notReadyStatus(OpKind::Write);
    return Attempt::Done;
  }
  if (send(dataFd_, frame.data(), frame.size(), MSG_DONTWAIT | MSG_NOSIGNAL) >= 0) {
    *status = kStatusSuccess;
    return Attempt::Done;
  }
  if (wouldBlock(errno)) return Attempt::WouldBlock;
  if (errno == EMSGSIZE) {
    *status = kStatusNoMemory;
    return Attempt::Done;
  }
  dropConnection();
  state_ = State::Broken;
  *status = kStatusPipeClosing;
  return Attempt::Done;
}

// The status goes out last: from then on the OVERLAPPED is the caller's again.
void PipeEnd::complete(const Op& op, ULONG_PTR status, DWORD count) {
  op.overlapped->InternalHigh = count;
  publishStatus(op.overlapped, status);
  setEventObject(op.event);
  done_.notify_all();
}

void PipeEnd::completeAll(std::deque<Op>& ops, ULONG_PTR status) {
  std::deque<Op> finished;
  finished.swap(ops);
  for (const Op& op : finished) complete(op, status, 0);
}

void PipeEnd::completeAll(ULONG_PTR status) {
  completeAll(reads_, status);
  completeAll(writes_, status);
  completeAll(connects_, status);
  completeAll(cancelling_, kStatusCancelled);
}

// Queues an operation that could not finish at once: an overlapped caller learns
// ERROR_IO_PENDING, a synchronous one waits for the end.
BOOL PipeEnd::start(Op op, LPDWORD done, std::unique_lock<std::mutex>& held) {
  LPOVERLAPPED overlapped = op.overlapped;
  if (overlapped->hEvent != nullptr) ResetEvent(overlapped->hEvent);
  overlapped->InternalHigh = 0;
  publishStatus(overlapped, kStatusPending);
  switch (op.kind) {
    case OpKind::Read:
      reads_.push_back(std::move(op));
      break;
    case OpKind::Write:
      writes_.push_back(std::move(op));
      break;
    case OpKind::Connect:
      connects_.push_back(std::move(op));
      break;
  }
  serviceWake();
  if (overlapped_) {
    SetLastError(ERROR_IO_PENDING);
    return FALSE;
  }
  done_.wait(held, [overlapped] { return statusOf(overlapped) != kStatusPending; });
  return resultOf(overlapped, done);
}

BOOL PipeEnd::read(LPVOID buffer, DWORD size, LPDWORD done, LPOVERLAPPED overlapped) {
  if (done != nullptr) *done = 0;
  if (overlapped_ && overlapped == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  OVERLAPPED local = {};
  Op op = {OpKind::Read, overlapped != nullptr ? overlapped : &local, static_cast<BYTE*>(buffer), size, {},
           eventOf(overlapped)};
  std::unique_lock<std::mutex> held(lock_);
  const ULONG_PTR refused = notReadyStatus(OpKind::Read);
  if (refused != kStatusSuccess) {
    SetLastError(errorFromStatus(refused));
    return FALSE;
  }
  if (reads_.empty()) {
    ULONG_PTR status = kStatusSuccess;
    DWORD count = 0;
    if (tryRead(op.buffer, size, &status, &count) == Attempt::Done) {
      if (status != kStatusSuccess && status != kStatusBufferOverflow) {
        SetLastError(errorFromStatus(status));
        return FALSE;
      }
      complete(op, status, count);
      return resultOf(op.overlapped, done);
    }
  }
  return start(std::move(op), done, held);
}

BOOL PipeEnd::write(LPCVOID buffer, DWORD size, LPDWORD done, LPOVERLAPPED overlapped) {
  if (done != nullptr) *done = 0;
  if (overlapped_ && overlapped == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  OVERLAPPED local = {};
  Op op = {OpKind::Write, overlapped != nullptr ? overlapped : &local, nullptr, size, {}, eventOf(overlapped)};
  op.frame.reserve(size + 1u);
  op.frame.push_back(static_cast<BYTE>(kDataMessage));
  const BYTE* bytes = static_cast<const BYTE*>(buffer);
  op.frame.insert(op.frame.end(), bytes, bytes + size);

  std::unique_lock<std::mutex> held(lock_);
  const ULONG_PTR refused = notReadyStatus(OpKind::Write);
  if (refused != kStatusSuccess) {
    SetLastError(errorFromStatus(refused));
    return FALSE;
  }
  if (writes_.empty()) {
    ULONG_PTR status = kStatusSuccess;
    if (trySend(op.frame, &status) == Attempt::Done) {
      if (status != kStatusSuccess) {
        SetLastError(errorFromStatus(status));
        return FALSE;
      }
      complete(op, status, size);
      return resultOf(op.overlapped, done);
    }
  }
  return start(std::move(op), done, held);
}

BOOL PipeEnd::connect(LPOVERLAPPED overlapped) {
  if (!server_) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
  }
  if (overlapped_ && overlapped == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  OVERLAPPED local = {};
  std::unique_lock<std::mutex> held(lock_);
  switch (state_) {
    case State::Closed:
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    case State::Connected:
      SetLastError(ERROR_PIPE_CONNECTED);
      return FALSE;
    case State::Broken:
      SetLastError(ERROR_NO_DATA);  // the client left and was not yet disconnected
      return FALSE;
    case State::Disconnected:
      state_ = State::Listening;
      break;
    case State::Listening:
      break;
  }
  if (!connects_.empty()) {
    SetLastError(ERROR_PIPE_LISTENING);
    return FALSE;
  }
  Op op = {OpKind::Connect, overlapped != nullptr ? overlapped : &local, nullptr, 0, {}, eventOf(overlapped)};
  return start(std::move(op), nullptr, held);
}

BOOL PipeEnd::disconnect() {
  if (!server_) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
  }
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (state_ == State::Closed) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    dropConnection();
    rest_.clear();
    completeAll(kStatusPipeDisconnected);
    state_ = State::Disconnected;
  }
  serviceWake();
  return TRUE;
}

BOOL PipeEnd::cancel(LPOVERLAPPED overlapped) {
  bool found = false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    const bool later = cancelLater();
    for (std::deque<Op>* ops : {&reads_, &writes_, &connects_}) {
      std::deque<Op> kept;
      for (Op& op : *ops) {
        if (overlapped == nullptr || op.overlapped == overlapped) {
          if (later) {
            cancelling_.push_back(std::move(op));
          } else {
            complete(op, kStatusCancelled, 0);
          }
          found = true;
        } else {
          kept.push_back(std::move(op));
        }
      }
      ops->swap(kept);
    }
  }
  if (!found) {
    SetLastError(ERROR_NOT_FOUND);
    return FALSE;
  }
  serviceWake();
  return TRUE;
}

void PipeEnd::waitFor(LPOVERLAPPED overlapped) {
  std::unique_lock<std::mutex> held(lock_);
  done_.wait(held, [overlapped] { return statusOf(overlapped) != kStatusPending; });
}

BOOL PipeEnd::setReadMode(DWORD mode) {
  if (mode & PIPE_NOWAIT) {
    SetLastError(ERROR_INVALID_PARAMETER);  // the stand-in's pipes always wait
    return FALSE;
  }
  std::lock_guard<std::mutex> guard(lock_);
  messageRead_ = (mode & PIPE_READMODE_MESSAGE) != 0;
  return TRUE;
}

int PipeEnd::clientSocket() const {
  std::lock_guard<std::mutex> guard(lock_);
  return server_ && state_ == State::Connected ? dataFd_ : -1;
}

bool PipeEnd::clientIdentifiesOnly() const {
  std::lock_guard<std::mutex> guard(lock_);
  return clientIdentifiesOnly_;
}

bool PipeEnd::clientMadeOrdinary() const {
  std::lock_guard<std::mutex> guard(lock_);
  return clientMadeOrdinary_;
}

int PipeEnd::serverSocket() const {
  std::lock_guard<std::mutex> guard(lock_);
  return server_ ? -1 : dataFd_;
}

void PipeEnd::dropConnection() {
  if (dataFd_ >= 0) ::close(dataFd_);
  dataFd_ = -1;
}

void PipeEnd::close() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (state_ == State::Closed) return;
    state_ = State::Closed;
    completeAll(kStatusCancelled);
    dropConnection();
    for (int fd : fresh_) ::close(fd);
    fresh_.clear();
    if (listenFd_ >= 0) {
      // The name goes with the instance, unless another server has taken it since.
      PipeNameLock names;
      struct stat st;
      if (stat(socketPath_.c_str(), &st) == 0 && st.st_ino == socketIno_) unlink(socketPath_.c_str());
      ::close(listenFd_);
      listenFd_ = -1;
    }
  }
  serviceWake();
}

// ---------------------------------------------------------- service thread

bool PipeEnd::closed() const {
  std::lock_guard<std::mutex> guard(lock_);
  return state_ == State::Closed;
}

bool PipeEnd::addPolls(std::vector<pollfd>& fds) const {
  std::lock_guard<std::mutex> guard(lock_);
  if (state_ == State::Closed) return false;
  if (listenFd_ >= 0) fds.push_back(pollfd{listenFd_, POLLIN, 0});
  for (int fd : fresh_) fds.push_back(pollfd{fd, POLLIN, 0});
  if (dataFd_ >= 0) {
    short events = 0;
    if (!reads_.empty()) events |= POLLIN;
    if (!writes_.empty()) events |= POLLOUT;
    if (events != 0) fds.push_back(pollfd{dataFd_, events, 0});
  }
  return !cancelling_.empty();
}

void PipeEnd::finishCancels() {
  std::lock_guard<std::mutex> guard(lock_);
  completeAll(cancelling_, kStatusCancelled);
}

void PipeEnd::onReady(const pollfd& ready) {
  std::lock_guard<std::mutex> guard(lock_);
  if (state_ == State::Closed) return;
  if (ready.fd == listenFd_) {
    acceptClients();
    return;
  }
  for (size_t i = 0; i < fresh_.size(); ++i) {
    if (fresh_[i] == ready.fd) {
      fresh_.erase(fresh_.begin() + static_cast<long>(i));
      answerIntro(ready.fd);
      return;
    }
  }
  if (ready.fd == dataFd_) {
    serveReads();
    serveWrites();
  }
}

void PipeEnd::acceptClients() {
  for (;;) {
    const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;
    fresh_.push_back(fd);
  }
}

// The client's first message decides: the instance, a busy answer, or (for
// WaitNamedPipe) whether the instance is free.
void PipeEnd::answerIntro(int fd) {
  char intro = 0;
  const ssize_t n = recv(fd, &intro, 1, MSG_DONTWAIT);
  if (n < 0 && wouldBlock(errno)) {
    fresh_.push_back(fd);
    return;
  }
  const bool free = state_ == State::Listening && dataFd_ < 0;
  const bool ordinary = intro == kIntroConnectOrdinary || intro == kIntroConnectIdentifyingOrdinary;
  const bool identifying = intro == kIntroConnectIdentifying || intro == kIntroConnectIdentifyingOrdinary;
  const bool connecting = ordinary || identifying || intro == kIntroConnect;
  if (n == 1 && connecting && free) {
    sendAnswer(fd, kAnswerAccepted, defaultTimeout_);
    dataFd_ = fd;
    state_ = State::Connected;
    clientIdentifiesOnly_ = identifying;
    clientMadeOrdinary_ = ordinary;
    rest_.clear();
    completeAll(connects_, kStatusSuccess);
    return;
  }
  if (n == 1 && (connecting || intro == kIntroQuery)) {
    sendAnswer(fd, free ? kAnswerAccepted : kAnswerBusy, defaultTimeout_);
  }
  ::close(fd);
}

void PipeEnd::serveReads() {
  while (!reads_.empty()) {
    ULONG_PTR status = kStatusSuccess;
    DWORD count = 0;
    if (tryRead(reads_.front().buffer, reads_.front().size, &status, &count) == Attempt::WouldBlock) return;
    const Op op = std::move(reads_.front());
    reads_.pop_front();
    complete(op, status, count);
  }
}

void PipeEnd::serveWrites() {
  while (!writes_.empty()) {
    ULONG_PTR status = kStatusSuccess;
    if (trySend(writes_.front().frame, &status) == Attempt::WouldBlock) return;
    const Op op = std::move(writes_.front());
    writes_.pop_front();
    complete(op, status, status == kStatusSuccess ? op.size : 0);
  }
}

}  // namespace posix
