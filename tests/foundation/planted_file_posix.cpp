#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "planted_file.h"

namespace {

std::string hostPath(const std::string& path) {
  // The log's folder exists with the case the path gives: only the separators differ.
  std::string host = path;
  for (char& c : host) c = c == '\\' ? '/' : c;
  return host;
}

int g_held = -1;

}  // namespace

bool plantAsOtherUser(const std::string& path) {
  if (geteuid() != 0) return false;
  return chown(hostPath(path).c_str(), 65534, 65534) == 0;
}

// A read lease: the kernel tells its holder of a breaking open by SIGIO, which is
// ignored here, and lets the open wait until the holder lets go or the system's
// lease break time has passed.
bool holdWithLock(const std::string& path) {
  signal(SIGIO, SIG_IGN);
  g_held = open(hostPath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (g_held >= 0 && fcntl(g_held, F_SETLEASE, F_RDLCK) == 0) return true;
  letGoOfLock();
  return false;
}

void letGoOfLock() {
  if (g_held >= 0) close(g_held);
  g_held = -1;
}
