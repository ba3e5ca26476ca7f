// The benchmarks start the monitor's code as the library's process attach would.
#include <benchmark/benchmark.h>

#include "entry/monitor_entry.h"
#include "port/monitor_state.h"

int main(int argc, char** argv) {
  ProcessAttach(nullptr);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
