#include <unistd.h>

#include "planted_file.h"

bool plantAsOtherUser(const std::string& path) {
  if (geteuid() != 0) return false;
  // The log's folder exists with the case the path gives: only the separators differ.
  std::string host = path;
  for (char& c : host) c = c == '\\' ? '/' : c;
  return chown(host.c_str(), 65534, 65534) == 0;
}
