#include "ctl_host.h"
#include "platform/win32_api.h"

namespace ctl {

bool standardOutputIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

std::string pathForMonitor(const std::string& path) {
  char full[MAX_PATH];
  const DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  return n == 0 || n >= sizeof full ? path : std::string(full, n);
}

}  // namespace ctl
