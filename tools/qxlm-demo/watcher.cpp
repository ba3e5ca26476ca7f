#include "watcher.h"

#include "platform/clock.h"

namespace demo {
namespace {

// About 50 ms of real time between looks at the event log, at any time scale.
DWORD pollMs() {
  const double ms = 50.0 / clockScale();
  return ms < 1.0 ? 1 : static_cast<DWORD>(ms);
}

}  // namespace

Watcher::Watcher(sim::Printer& printer, const std::string& eventLogPath)
    : printer_(printer), log_(eventLogPath), thread_([this] { run(); }) {}

Watcher::~Watcher() { stop(); }

void Watcher::run() {
  while (!stopping_.load()) {
    printer_.poll(pollMs());
    log_.poll();
  }
}

void Watcher::stop() {
  if (!thread_.joinable()) return;
  stopping_.store(true);
  thread_.join();
  printer_.poll(0);
  log_.poll();
}

}  // namespace demo
