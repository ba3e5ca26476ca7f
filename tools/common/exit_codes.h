// The exit codes every qxlm program shares, so that a script reads them alike
// whichever program it runs. A program's own codes take the numbers between and
// after these (2 to 5, 7 and up) and are listed in its --help.
#pragma once

namespace tools {

const int EXIT_OK = 0;
const int EXIT_USAGE = 1;   // the command line was not understood
const int EXIT_FAILED = 6;  // the work failed for a reason with no code of its own

}  // namespace tools
