// A connected Unix socket pair stands in for a pipe's two ends: the stand-in's
// pipes are such sockets, and it impersonates the peer of the server end's socket.
// A pair made under another user's identity gives a client of that user, which a
// named pipe opened by this process could not.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <vector>

#include "tests/support/client_pipe.h"
#include "platform/posix/kernel_object.h"

namespace {

class SocketEnd : public posix::KernelObject {
 public:
  explicit SocketEnd(int socket) : KernelObject(posix::ObjectKind::File), socket_(socket) {}
  ~SocketEnd() override { close(socket_); }
  int clientSocket() const override { return socket_; }

 private:
  const int socket_;
};

// The kernel records the credentials of the thread that makes the pair, so the
// thread takes the other user's identity for that moment only. The raw system
// calls change this thread alone.
bool socketPairAs(uid_t uid, gid_t gid, int sockets[2]) {
  std::vector<gid_t> groups(static_cast<size_t>(getgroups(0, nullptr)));
  if (getgroups(static_cast<int>(groups.size()), groups.data()) < 0) return false;
  const gid_t otherGroups[1] = {gid};
  bool made = false;
  if (syscall(SYS_setgroups, 1, otherGroups) == 0 && syscall(SYS_setresgid, -1, gid, -1) == 0 &&
      syscall(SYS_setresuid, -1, uid, -1) == 0) {
    made = socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, sockets) == 0;
  }
  const bool restored = syscall(SYS_setresuid, -1, 0, -1) == 0 && syscall(SYS_setresgid, -1, 0, -1) == 0 &&
                        syscall(SYS_setgroups, groups.size(), groups.data()) == 0;
  if (made && !restored) {
    close(sockets[0]);
    close(sockets[1]);
  }
  return made && restored;
}

}  // namespace

ClientPipe::ClientPipe() {
  int sockets[2];
  if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, sockets) != 0) return;
  server_ = posix::handleOpen(std::make_shared<SocketEnd>(sockets[0]));
  client_ = posix::handleOpen(std::make_shared<SocketEnd>(sockets[1]));
}

ClientPipe::ClientPipe(OtherUser) {
  int sockets[2];
  if (geteuid() != 0 || !socketPairAs(kOtherUser, kOtherUser, sockets)) return;
  server_ = posix::handleOpen(std::make_shared<SocketEnd>(sockets[0]));
  client_ = posix::handleOpen(std::make_shared<SocketEnd>(sockets[1]));
}

ClientPipe::~ClientPipe() {
  if (client_ != nullptr) CloseHandle(client_);
  if (server_ != nullptr) CloseHandle(server_);
}

std::unique_ptr<ClientPipe> ClientPipe::ofOtherUser() {
  std::unique_ptr<ClientPipe> pipe(new ClientPipe(OtherUser{}));
  if (!pipe->connected()) return nullptr;
  return pipe;
}

bool ClientPipe::hideFromOtherUser(const char* path) { return chmod(path, 0600) == 0; }
