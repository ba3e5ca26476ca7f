// Pipe names: each "\\.\pipe\NAME" is a Unix socket in the stand-in's pipe folder,
// $QXLM_PIPE_DIR or the "pipe" folder of the Windows folder. Names are compared
// without regard to case, so the socket's file name is the folded name, with every
// byte other than letters, digits, ".", "-" and "_" written as %XX.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/posix/pipe_end.h"
#include "platform/posix/text_fold.h"

namespace posix {
namespace {

// Every local account may create pipe names, as on Windows; the sticky bit keeps
// one account from removing another's.
std::string pipeFolder() {
  const char* configured = getenv("QXLM_PIPE_DIR");
  std::string dir;
  if (configured != nullptr && *configured != 0) {
    dir = configured;
  } else {
    char windows[MAX_PATH];
    const UINT n = GetWindowsDirectoryA(windows, sizeof windows);
    if (n == 0 || n >= sizeof windows) return std::string();
    dir = std::string(windows) + "/pipe";
  }
  if (mkdir(dir.c_str(), 01777) == 0) chmod(dir.c_str(), 01777);
  return dir;
}

void appendEscaped(std::string& out, unsigned char byte) {
  const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
                     byte == '.' || byte == '-' || byte == '_';
  if (plain) {
    out += static_cast<char>(byte);
    return;
  }
  char escaped[4];
  snprintf(escaped, sizeof escaped, "%%%02X", byte);
  out += escaped;
}

// "~" and the 64-bit FNV-1a hash of the escaped name in hex; "~" never appears in an
// escaped name, so a hashed name cannot meet a plain one.
std::string hashedFileName(const std::string& file) {
  unsigned long long hash = 0xcbf29ce484222325ULL;
  for (char c : file) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3ULL;
  }
  char name[20];
  snprintf(name, sizeof name, "~%016llx", hash);
  return name;
}

}  // namespace

bool pipeSocketPath(const std::u16string& name, std::string* path) {
  const std::string dir = pipeFolder();
  if (dir.empty() || name.empty()) return false;
  std::string file;
  for (char16_t unit : name) {
    const char16_t c = foldCase(unit);
    if (c < 0x80) {
      appendEscaped(file, static_cast<unsigned char>(c));
    } else if (c < 0x800) {
      appendEscaped(file, static_cast<unsigned char>(0xC0 | (c >> 6)));
      appendEscaped(file, static_cast<unsigned char>(0x80 | (c & 0x3F)));
    } else {
      appendEscaped(file, static_cast<unsigned char>(0xE0 | (c >> 12)));
      appendEscaped(file, static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F)));
      appendEscaped(file, static_cast<unsigned char>(0x80 | (c & 0x3F)));
    }
  }
  // A socket's path has little room (sun_path); a name that does not fit in a deep
  // folder is stored under a hash of itself instead, still one file per folded name.
  if (dir.size() + 1 + file.size() >= sizeof(sockaddr_un{}.sun_path)) file = hashedFileName(file);
  *path = dir + "/" + file;
  return path->size() < sizeof(sockaddr_un{}.sun_path);
}

PipeNameLock::PipeNameLock() : fd_(-1) {
  const std::string dir = pipeFolder();
  if (dir.empty()) return;
  fd_ = open((dir + "/.names.lock").c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd_ < 0) return;
  while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
  }
}

PipeNameLock::~PipeNameLock() {
  if (fd_ >= 0) close(fd_);  // closing the only descriptor releases the lock
}

}  // namespace posix
