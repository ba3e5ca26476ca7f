#!/usr/bin/env bash
# Sets everything up and runs the whole test suite: natively, under ASan/UBSan,
# and as Windows executables under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
for preset in linux windows linux-asan; do
  echo "=== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
