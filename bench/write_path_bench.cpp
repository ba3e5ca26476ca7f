// The write path's own CPU time: writes of a started document, in 4096-byte
// packets without page ends, into a lower port that takes every byte at once. No
// page end means no protocol pause on this path; the clock is sped up only so that
// the open, start and end around the measurement are quick.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "entry/monitor_entry.h"
#include "platform/clock.h"
#include "port/monitor_state.h"
#include "sim/lower_monitor.h"

namespace {

const DWORD kPacket = 4096;
const size_t kBytesPerIteration = 1 << 20;

BOOL WINAPI takeEverything(HANDLE, LPBYTE, DWORD size, LPDWORD written) {
  *written = size;
  return TRUE;
}

std::basic_string<WCHAR> widen(const std::string& text) { return std::basic_string<WCHAR>(text.begin(), text.end()); }

// Ticket-like data with commands but no ESC e.
std::vector<BYTE> packetData() {
  std::vector<BYTE> data;
  while (data.size() < kPacket) {
    const char text[] = "ADMIT ONE  ROW 12 SEAT 7  GATE B  ";
    data.insert(data.end(), text, text + sizeof text - 1);
    const BYTE move[] = {0x1B, 'L', 0x10, 0x20};
    data.insert(data.end(), move, move + sizeof move);
  }
  data.resize(kPacket);
  return data;
}

void BM_WritePath(benchmark::State& state) {
  clockSetScale(0.001);
  std::basic_string<WCHAR> root = widen("SOFTWARE\\qxlm-bench");
  LPMONITOREX table = InitializePrintMonitor(&root[0]);
  MONITOR lower = sim::lowerMonitor();
  lower.pfnWritePort = takeEverything;
  std::basic_string<WCHAR> port = widen("USB090");
  std::basic_string<WCHAR> printer = widen("Bench Printer");
  HANDLE hPort = nullptr;
  if (table == nullptr || !table->Monitor.pfnOpenPortEx(&port[0], &printer[0], &hPort, &lower)) {
    state.SkipWithError("the port did not open");
    return;
  }
  DOC_INFO_1W info = {&printer[0], nullptr, nullptr};
  if (!table->Monitor.pfnStartDocPort(hPort, &printer[0], 1, 1, reinterpret_cast<LPBYTE>(&info))) {
    state.SkipWithError("the document did not start");
    table->Monitor.pfnClosePort(hPort);
    return;
  }
  std::vector<BYTE> data = packetData();
  for (auto _ : state) {
    for (size_t sent = 0; sent < kBytesPerIteration; sent += kPacket) {
      DWORD written = 0;
      benchmark::DoNotOptimize(table->Monitor.pfnWritePort(hPort, data.data(), kPacket, &written));
    }
  }
  const double megabytes = static_cast<double>(state.iterations()) * kBytesPerIteration / (1 << 20);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytesPerIteration));
  // CPU seconds per MB of job data.
  state.counters["cpu_per_MB"] = benchmark::Counter(megabytes, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  table->Monitor.pfnEndDocPort(hPort);
  table->Monitor.pfnClosePort(hPort);
  clockSetScale(1.0);
}

BENCHMARK(BM_WritePath)->Unit(benchmark::kMillisecond);

}  // namespace
