#include "platform/clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

std::atomic<double> g_scale{1.0};

using Steady = std::chrono::steady_clock;
const Steady::time_point g_start = Steady::now();

double realMs(DWORD ms) { return static_cast<double>(ms) * g_scale.load(std::memory_order_relaxed); }

}  // namespace

void clockSleep(DWORD ms) {
  if (g_scale.load(std::memory_order_relaxed) == 1.0) {
    Sleep(ms);
    return;
  }
  // Some hosts (MinGW's runtime) cut a sleep to whole milliseconds, which would drop
  // the short pauses of a sped-up clock: sleep until the pause has really passed.
  const Steady::time_point end = Steady::now() + std::chrono::microseconds(static_cast<long long>(realMs(ms) * 1000.0));
  for (Steady::time_point now = Steady::now(); now < end; now = Steady::now()) std::this_thread::sleep_for(end - now);
}

DWORD clockTickCount(void) {
  const double scale = g_scale.load(std::memory_order_relaxed);
  DWORD ticks;
  if (scale == 1.0) {
    ticks = GetTickCount();
  } else {
    const double elapsedUs =
        static_cast<double>(std::chrono::duration_cast<std::chrono::microseconds>(Steady::now() - g_start).count());
    ticks = static_cast<DWORD>(static_cast<unsigned long long>(elapsedUs / 1000.0 / scale));
  }
  return ticks;
}

DWORD clockWait(HANDLE h, DWORD ms) {
  if (ms == INFINITE || ms == 0 || g_scale.load(std::memory_order_relaxed) == 1.0) return WaitForSingleObject(h, ms);
  const double real = realMs(ms);
  DWORD realWhole = static_cast<DWORD>(real);
  if (static_cast<double>(realWhole) < real) ++realWhole;  // never shorten a wait to nothing
  return WaitForSingleObject(h, realWhole);
}

void clockSetScale(double scale) { g_scale.store(scale > 0.0 ? scale : 1.0, std::memory_order_relaxed); }

double clockScale(void) { return g_scale.load(std::memory_order_relaxed); }

