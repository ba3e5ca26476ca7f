#include "narrator.h"

#include <cstdio>
#include <mutex>

#include "platform/clock.h"

namespace demo {
namespace {

std::mutex& lineLock() {
  static std::mutex lock;
  return lock;
}

DWORD startTick = 0;

}  // namespace

void startNarration() {
  std::lock_guard<std::mutex> held(lineLock());
  startTick = clockTickCount();
}

void say(const std::string& line) {
  std::lock_guard<std::mutex> held(lineLock());
  const DWORD ms = clockTickCount() - startTick;
  printf("[%4u.%03u] %s\n", static_cast<unsigned>(ms / 1000), static_cast<unsigned>(ms % 1000), line.c_str());
  fflush(stdout);
}

}  // namespace demo
