// What a failed system call means to the person running qxlm-setup: the exit code
// and, where there is one, what to do about it.
#pragma once

#include <cstdint>
#include <string>

#include "setup_command_line.h"

namespace setup {

ExitCode exitCodeForError(uint32_t error);

// One line of advice for the error, or empty.
std::string adviceForError(uint32_t error);

// A copy or delete of the installed DLL failed because a process has it loaded.
bool isFileInUse(uint32_t error);

}  // namespace setup
