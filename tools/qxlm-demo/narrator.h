// The demo's plain lines on standard output, one at a time from any thread, each
// stamped with the seconds of printer time since the run began.
#pragma once

#include <string>

namespace demo {

// Starts the stamps at 0.
void startNarration();
void say(const std::string& line);

}  // namespace demo
