#include "sim/firmware_name.h"

#include <cstdio>

namespace sim {

std::string firmwareVersionFromFileName(const std::string& path) {
  const size_t slash = path.find_last_of("\\/:");
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = base.rfind('.');
  if (dot != std::string::npos) base.resize(dot);
  const size_t end = base.find_last_of("0123456789");
  if (end == std::string::npos) return std::string();
  size_t start = end;
  while (start > 0 && base[start - 1] >= '0' && base[start - 1] <= '9') --start;
  const std::string digits = base.substr(start, end + 1 - start);
  if (digits.size() < 3 || digits.size() > 6) return std::string();
  const unsigned major = static_cast<unsigned>(std::stoul(digits.substr(0, digits.size() - 2)));
  char version[24];
  snprintf(version, sizeof version, "V%u.%s", major, digits.substr(digits.size() - 2).c_str());
  return version;
}

}  // namespace sim
