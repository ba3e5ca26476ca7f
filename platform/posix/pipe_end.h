// One end of a stand-in named pipe: the server's single instance or a client's
// connection. Internal to platform/posix.
//
// The model: the server binds a Unix socket of type SOCK_SEQPACKET (which keeps
// message boundaries) in the stand-in's pipe folder and owns its one instance. Each
// client connects and introduces itself with one message; the server answers "A"
// (the instance is yours) or "B" (busy), so that CreateFile learns at once whether
// it got the instance. Every data message then carries one header byte, which keeps
// a message of 0 bytes apart from the end of the connection.
//
// Overlapped operations that cannot finish at once are queued on the end; one
// service thread for the whole process polls the sockets, finishes them, fills the
// OVERLAPPED and sets its event. Synchronous operations queue the same way and wait.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/posix/kernel_object.h"

struct pollfd;

namespace posix {

// OVERLAPPED.Internal holds the operation's status the way Windows keeps it.
constexpr ULONG_PTR kStatusSuccess = 0;
constexpr ULONG_PTR kStatusPending = STATUS_PENDING;
constexpr ULONG_PTR kStatusBufferOverflow = 0x80000005u;
constexpr ULONG_PTR kStatusCancelled = 0xC0000120u;
constexpr ULONG_PTR kStatusPipeBroken = 0xC000014Bu;
constexpr ULONG_PTR kStatusPipeDisconnected = 0xC00000B0u;
constexpr ULONG_PTR kStatusPipeClosing = 0xC00000B1u;
constexpr ULONG_PTR kStatusPipeListening = 0xC00000B3u;
constexpr ULONG_PTR kStatusInvalidHandle = 0xC0000008u;
constexpr ULONG_PTR kStatusNoMemory = 0xC0000017u;

DWORD errorFromStatus(ULONG_PTR status);

// The first message of a connection, from the client, and the server's answer.
constexpr char kIntroConnect = 'C';
constexpr char kIntroConnectIdentifying = 'I';  // the client lends its identification only
// The same two, from a client a test made an ordinary caller (pipe_peer.h).
constexpr char kIntroConnectOrdinary = 'c';
constexpr char kIntroConnectIdentifyingOrdinary = 'i';
constexpr char kIntroQuery = 'Q';  // WaitNamedPipe: is the instance free?
constexpr char kAnswerAccepted = 'A';
constexpr char kAnswerBusy = 'B';
constexpr char kDataMessage = 'M';

class PipeEnd {
 public:
  // A server end listening on listenFd (bound to socketPath), or a client end
  // connected on dataFd.
  static std::shared_ptr<PipeEnd> server(int listenFd, std::string socketPath, ino_t socketIno, bool overlapped,
                                         DWORD defaultTimeout);
  static std::shared_ptr<PipeEnd> client(int dataFd, bool overlapped);

  PipeEnd(const PipeEnd&) = delete;
  PipeEnd& operator=(const PipeEnd&) = delete;
  ~PipeEnd();

  BOOL read(LPVOID buffer, DWORD size, LPDWORD done, LPOVERLAPPED overlapped);
  BOOL write(LPCVOID buffer, DWORD size, LPDWORD done, LPOVERLAPPED overlapped);
  BOOL connect(LPOVERLAPPED overlapped);
  BOOL disconnect();
  // Cancels the pending operations of overlapped (all of them for NULL): at once, or
  // while cancelLater() holds, at the service thread's next pass.
  BOOL cancel(LPOVERLAPPED overlapped);
  // Blocks until the operation of overlapped has finished.
  void waitFor(LPOVERLAPPED overlapped);
  BOOL setReadMode(DWORD mode);
  // The server end's connection to its client, or -1 while it has none.
  int clientSocket() const;
  // Whether the server end's client lends its identification only.
  bool clientIdentifiesOnly() const;
  bool clientMadeOrdinary() const;
  // The client end's connection to its server, or -1 for a server end.
  int serverSocket() const;
  // The handle is gone: pending operations end cancelled, the connection and the
  // name go at once.
  void close();

  // For the service thread: the sockets to poll now (true when cancellations wait to
  // be finished), the work when one is ready, and the cancellations to finish.
  bool addPolls(std::vector<pollfd>& fds) const;
  void onReady(const pollfd& ready);
  void finishCancels();
  bool closed() const;

 private:
  enum class State { Listening, Connected, Broken, Disconnected, Closed };
  enum class OpKind { Read, Write, Connect };
  struct Op {
    OpKind kind;
    LPOVERLAPPED overlapped;
    BYTE* buffer;
    DWORD size;
    std::vector<BYTE> frame;  // a write: the header byte and the data
    // The OVERLAPPED's event, held from the start: once the status is out, the
    // caller may free the OVERLAPPED (and close the event's handle).
    std::shared_ptr<KernelObject> event;
  };
  enum class Attempt { Done, WouldBlock };

  PipeEnd(bool server, bool overlapped);

  // All of these run under lock_.
  Attempt tryRead(BYTE* buffer, DWORD size, ULONG_PTR* status, DWORD* count);
  Attempt trySend(const std::vector<BYTE>& frame, ULONG_PTR* status);
  ULONG_PTR notReadyStatus(OpKind kind) const;
  BOOL start(Op op, LPDWORD done, std::unique_lock<std::mutex>& held);
  void complete(const Op& op, ULONG_PTR status, DWORD count);
  void completeAll(std::deque<Op>& ops, ULONG_PTR status);
  void completeAll(ULONG_PTR status);
  void dropConnection();
  void acceptClients();
  void answerIntro(int fd);
  void serveReads();
  void serveWrites();

  const bool server_;
  const bool overlapped_;
  mutable std::mutex lock_;
  std::condition_variable done_;
  State state_;
  bool messageRead_ = true;
  bool clientIdentifiesOnly_ = false;
  bool clientMadeOrdinary_ = false;
  DWORD defaultTimeout_ = 50;
  int listenFd_ = -1;
  int dataFd_ = -1;
  std::vector<int> fresh_;  // accepted, not yet introduced
  std::string socketPath_;
  ino_t socketIno_ = 0;
  std::vector<BYTE> rest_;  // the unread part of a message longer than a read
  std::deque<Op> reads_;
  std::deque<Op> writes_;
  std::deque<Op> connects_;
  std::deque<Op> cancelling_;  // asked to cancel, not yet ended (cancelLater only)
};

// The test switch of platform/strict_platform.h: cancellations end later.
bool cancelLater();

// The end behind a pipe handle, or nullptr with ERROR_INVALID_HANDLE set.
std::shared_ptr<PipeEnd> pipeEndOf(HANDLE h);

// The Unix mode of a pipe's socket for its security descriptor (NULL: the default
// descriptor, which lets only the creator in); false for a descriptor that the
// stand-in did not make.
bool socketModeFor(PSECURITY_DESCRIPTOR descriptor, mode_t* mode);

// The process's one service thread.
void serviceAdd(const std::shared_ptr<PipeEnd>& end);
void serviceWake();

// The pipe folder and the socket path of a pipe name ("\\.\pipe\" already
// removed); false when the path would not fit a socket address.
bool pipeSocketPath(const std::u16string& name, std::string* path);
// Serialises creation and removal of pipe names between processes.
class PipeNameLock {
 public:
  PipeNameLock();
  ~PipeNameLock();
  PipeNameLock(const PipeNameLock&) = delete;
  PipeNameLock& operator=(const PipeNameLock&) = delete;

 private:
  int fd_;
};

}  // namespace posix
