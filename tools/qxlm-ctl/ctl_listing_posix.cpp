// The stand-in keeps each pipe as a socket in its pipe folder, under the pipe's
// name folded to lower case with other bytes than letters, digits, ".", "-" and
// "_" written as %XX of their UTF-8 form; names too long for a socket path are
// kept under a hash and cannot be listed.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdlib>

#include "ctl_listing.h"
#include "pipe_end.h"

namespace ctl {
namespace {

bool hexValue(char c, int* value) {
  if (c >= '0' && c <= '9') *value = c - '0';
  else if (c >= 'A' && c <= 'F') *value = c - 'A' + 10;
  else if (c >= 'a' && c <= 'f') *value = c - 'a' + 10;
  else return false;
  return true;
}

// The escaped file name back to the narrow (Latin-1) name; false for a name
// that is not one the stand-in writes.
bool unescape(const std::string& file, std::string* name) {
  std::string utf8;
  for (size_t i = 0; i < file.size(); ++i) {
    int high = 0, low = 0;
    if (file[i] != '%') {
      utf8 += file[i];
    } else if (i + 2 < file.size() && hexValue(file[i + 1], &high) && hexValue(file[i + 2], &low)) {
      utf8 += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      return false;
    }
  }
  name->clear();
  for (size_t i = 0; i < utf8.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      name->push_back(static_cast<char>(c));
    } else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()) {
      name->push_back(static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F)));
    } else {
      return false;  // outside the single-byte code page
    }
  }
  return true;
}

std::vector<std::string> entries(const std::string& folder, bool files) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat st;
    if (stat((folder + "/" + name).c_str(), &st) != 0) continue;
    if (files ? S_ISREG(st.st_mode) : S_ISSOCK(st.st_mode)) names.push_back(name);
  }
  closedir(dir);
  return names;
}

}  // namespace

bool listPortPipes(std::vector<std::string>* ports, DWORD* error) {
  ports->clear();
  // The stand-in's own rule tells where the pipes live and how the prefix is spelt.
  std::string prefixPath;
  if (!posix::pipeSocketPath(u"QXNamedPipe", &prefixPath)) {
    *error = ERROR_PATH_NOT_FOUND;
    return false;
  }
  const size_t slash = prefixPath.rfind('/');
  const std::string folder = prefixPath.substr(0, slash);
  const std::string prefix = prefixPath.substr(slash + 1);
  for (const std::string& file : entries(folder, false)) {
    std::string port;
    if (file.size() > prefix.size() && file.compare(0, prefix.size(), prefix) == 0 &&
        unescape(file.substr(prefix.size()), &port)) {
      ports->push_back(port);
    }
  }
  return true;
}

bool listFiles(const std::string& folder, std::vector<std::string>* names) {
  std::string host = folder;
  for (char& c : host) {
    if (c == '\\') c = '/';
  }
  struct stat st;
  if (stat(host.c_str(), &st) != 0) return false;
  *names = entries(host, true);
  return true;
}

}  // namespace ctl
