// The end-of-page scanner's throughput on ticket-like data and on data made mostly
// of skipped blocks, beside memchr over the same bytes as the reference.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "jobs/document.h"

namespace {

const size_t kBytes = 4 << 20;

// Ticket-like: text and short commands, an ESC every few dozen bytes.
std::vector<BYTE> ticketData() {
  std::vector<BYTE> data;
  data.reserve(kBytes);
  while (data.size() < kBytes) {
    const char text[] = "ADMIT ONE  ROW 12 SEAT 7  GATE B  20:30  ";
    data.insert(data.end(), text, text + sizeof text - 1);
    const BYTE move[] = {0x1B, 'L', 0x10, 0x20};
    data.insert(data.end(), move, move + sizeof move);
  }
  data.resize(kBytes);
  return data;
}

// Raster-heavy: ESC d blocks of 4000 bytes full of 0x1B that must not be looked at.
std::vector<BYTE> rasterData() {
  std::vector<BYTE> data;
  data.reserve(kBytes);
  while (data.size() + 4004 <= kBytes) {
    const BYTE header[] = {0x1B, 'd', 4000 % 256, 4000 / 256};
    data.insert(data.end(), header, header + sizeof header);
    data.insert(data.end(), 4000, 0x1B);
  }
  data.resize(kBytes, 0);
  return data;
}

void scan(benchmark::State& state, const std::vector<BYTE>& data) {
  INIPORT port{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(findEOP_PAPER(&port, data.data(), static_cast<DWORD>(data.size())));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
}

void memchrAll(benchmark::State& state, const std::vector<BYTE>& data) {
  for (auto _ : state) {
    size_t found = 0;
    const BYTE* p = data.data();
    const BYTE* end = p + data.size();
    while (p < end) {
      const void* hit = memchr(p, 0x1B, static_cast<size_t>(end - p));
      if (hit == nullptr) break;
      ++found;
      p = static_cast<const BYTE*>(hit) + 1;
    }
    benchmark::DoNotOptimize(found);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
}

void BM_ScannerTicketData(benchmark::State& state) { scan(state, ticketData()); }
void BM_MemchrTicketData(benchmark::State& state) { memchrAll(state, ticketData()); }
void BM_ScannerSkippedBlocks(benchmark::State& state) { scan(state, rasterData()); }
void BM_MemchrSkippedBlocks(benchmark::State& state) { memchrAll(state, rasterData()); }

BENCHMARK(BM_ScannerTicketData);
BENCHMARK(BM_MemchrTicketData);
BENCHMARK(BM_ScannerSkippedBlocks);
BENCHMARK(BM_MemchrSkippedBlocks);

}  // namespace
