// Ctrl-C and termination requests off Windows.
#include <csignal>

#include "interrupt.h"

namespace demo {
namespace {

void onSignal(int) { requestInterrupt(); }

}  // namespace

void watchInterrupts() {
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
}

}  // namespace demo
