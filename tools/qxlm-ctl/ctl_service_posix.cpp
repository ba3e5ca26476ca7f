// Off Windows the service is the foreground loop, ended by SIGINT or SIGTERM.
#include <csignal>

#include "ctl_service.h"

namespace ctl {
namespace {

std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

void onSignal(int) { stopRequested.store(true, std::memory_order_relaxed); }

}  // namespace

int runService(const FleetInvocation& inv, const Console& console) {
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
  return serveWatch(inv, console, stopRequested);
}

}  // namespace ctl
