#include <unistd.h>

#include "ctl_host.h"
#include "platform/posix/pipe_peer.h"

namespace ctl {

bool standardOutputIsTerminal() { return isatty(STDOUT_FILENO) != 0; }

std::string pathForMonitor(const std::string& path) { return path; }

// The stand-in's monitor runs as the user who starts it, as the spooler runs as
// SYSTEM: a server of any third account is not trusted.
bool pipeServerTrusted(HANDLE pipe, std::string* account) {
  uid_t uid = 0;
  if (!posix::pipeServerUserId(pipe, &uid)) {
    *account = "an account that cannot be told";
    return false;
  }
  *account = "user id " + std::to_string(uid);
  return uid == 0 || uid == geteuid();
}

}  // namespace ctl
