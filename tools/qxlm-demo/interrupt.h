// Ending the keep-open mode: Ctrl-C (SIGINT or SIGTERM off Windows, a console
// control event on Windows) or a call of requestInterrupt.
#pragma once

namespace demo {

// Installs the handler for this platform (interrupt_posix.cpp, interrupt_win.cpp).
void watchInterrupts();
bool interrupted();
// What the handler does; tests call it to end a keep-open run.
void requestInterrupt();
void clearInterrupt();

}  // namespace demo
