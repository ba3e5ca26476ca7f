#!/usr/bin/env bash
# Sets everything up and runs the monitor on a virtual printer: the native build of
# qxlm-demo with its defaults (USB001, three tickets, real time). Options given to
# this script go to the demo, e.g. --fault paper-out or --keep-open (see --help).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target qxlm-demo -j2
exec build/linux/tools/qxlm-demo "$@"
