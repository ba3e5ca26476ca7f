#!/usr/bin/env bash
# Sets everything up and runs the whole test suite: natively, as Windows
# executables under Wine, under ASan/UBSan and under TSan; then each fuzz target
# (clang, libFuzzer, ASan/UBSan) for a fixed number of inputs from its seeds.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
for preset in linux windows linux-asan linux-tsan linux-fuzz; do
  echo "=== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
