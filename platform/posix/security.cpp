// Acting as a pipe client. The server end of a pipe is a connected Unix socket, and
// the kernel keeps the credentials of the process at its far end. Impersonation
// gives the calling thread that client's file-system identity (fsuid, fsgid and
// supplementary groups) until RevertToSelf. Linux keeps credentials per thread, and
// the raw setgroups system call (unlike the C library's, which changes every thread)
// changes the caller's only, so no other thread of the process is affected.
//
// Only a process running as root can take another user's identity. A client of the
// process's own user needs no change; a client of any other user, when the process
// is not root, cannot be impersonated and the call fails. A client that lent only
// its identification is acted as in name only: the thread opens no file until it
// reverts, as with an identification-level token on Windows.
#include <sys/fsuid.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/posix/kernel_object.h"

namespace {

// The thread's own groups while it acts as a client.
struct SavedIdentity {
  bool active = false;
  std::vector<gid_t> groups;
};
thread_local SavedIdentity t_saved;
thread_local bool t_identifiesOnly = false;

bool peerGroups(int socket, std::vector<gid_t>& groups) {
  socklen_t length = 16 * sizeof(gid_t);
  for (;;) {
    groups.resize(length / sizeof(gid_t));
    if (getsockopt(socket, SOL_SOCKET, SO_PEERGROUPS, groups.data(), &length) == 0) {
      groups.resize(length / sizeof(gid_t));
      return true;
    }
    if (errno != ERANGE) return false;  // on ERANGE length now holds the size needed
  }
}

bool ownGroups(std::vector<gid_t>& groups) {
  const int count = getgroups(0, nullptr);
  if (count < 0) return false;
  groups.resize(static_cast<size_t>(count));
  return getgroups(count, groups.data()) == count;
}

// setfsuid and setfsgid report the id in force before the call and never fail
// visibly: a call with an impossible id reads the current one back.
bool switchTo(uid_t uid, gid_t gid, const std::vector<gid_t>& groups) {
  if (syscall(SYS_setgroups, groups.size(), groups.data()) != 0) return false;
  setfsgid(gid);
  setfsuid(uid);
  return static_cast<gid_t>(setfsgid(static_cast<gid_t>(-1))) == gid &&
         static_cast<uid_t>(setfsuid(static_cast<uid_t>(-1))) == uid;
}

BOOL cannotImpersonate() {
  SetLastError(ERROR_CANNOT_IMPERSONATE);
  return FALSE;
}

}  // namespace

bool posix::threadIdentifiesOnly() { return t_identifiesOnly; }

BOOL ImpersonateNamedPipeClient(HANDLE hNamedPipe) {
  std::shared_ptr<posix::KernelObject> object = posix::handleObject(hNamedPipe);
  if (object == nullptr) return FALSE;
  const int socket = object->clientSocket();
  if (socket < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  struct ucred client = {};
  socklen_t length = sizeof client;
  std::vector<gid_t> clientGroups;
  if (getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &client, &length) != 0 || !peerGroups(socket, clientGroups)) {
    return cannotImpersonate();
  }
  if (object->clientIdentifiesOnly()) {
    t_identifiesOnly = true;
    return TRUE;
  }
  if (!t_saved.active && client.uid == geteuid() && client.gid == getegid()) return TRUE;
  if (geteuid() != 0) return cannotImpersonate();

  if (!t_saved.active) {
    if (!ownGroups(t_saved.groups)) return cannotImpersonate();
    t_saved.active = true;
  }
  if (!switchTo(client.uid, client.gid, clientGroups)) {
    RevertToSelf();
    return cannotImpersonate();
  }
  return TRUE;
}

BOOL RevertToSelf(void) {
  t_identifiesOnly = false;
  if (!t_saved.active) return TRUE;
  if (!switchTo(geteuid(), getegid(), t_saved.groups)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  t_saved.active = false;
  t_saved.groups.clear();
  return TRUE;
}
