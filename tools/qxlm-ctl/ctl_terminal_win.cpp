#include "ctl_terminal.h"
#include "platform/win32_api.h"

namespace ctl {

bool standardOutputIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

}  // namespace ctl
