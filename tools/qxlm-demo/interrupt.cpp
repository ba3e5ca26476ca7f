#include "interrupt.h"

#include <atomic>

namespace demo {
namespace {

// Lock-free, so that a signal handler may set it.
std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

}  // namespace

bool interrupted() { return stopRequested.load(); }
void requestInterrupt() { stopRequested.store(true); }
void clearInterrupt() { stopRequested.store(false); }

}  // namespace demo
