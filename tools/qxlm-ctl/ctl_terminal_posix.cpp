#include <unistd.h>

#include "ctl_terminal.h"

namespace ctl {

bool standardOutputIsTerminal() { return isatty(STDOUT_FILENO) != 0; }

}  // namespace ctl
