// Whether the program's standard output is a terminal (a console on Windows).
#pragma once

namespace ctl {

bool standardOutputIsTerminal();

}  // namespace ctl
