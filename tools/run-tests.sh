#!/usr/bin/env bash
# Sets everything up and runs the whole test suite: natively, as Windows
# executables under Wine, under ASan/UBSan and under TSan; then each fuzz target
# (clang, libFuzzer, ASan/UBSan) for a fixed number of inputs from its seeds.
# With --mutants: the soak's mutation check instead (tools/mutants/run-mutants.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
if [ "${1:-}" = "--mutants" ]; then
  # The soak's mutation check (tools/mutants): long, so not part of the default run.
  exec bash tools/mutants/run-mutants.sh
fi
for preset in linux windows linux-asan linux-tsan linux-fuzz; do
  echo "=== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
