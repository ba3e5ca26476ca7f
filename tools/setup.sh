#!/usr/bin/env bash
# Installs what the builds and the fuzz targets need on a fresh Debian machine (run as root).
set -euo pipefail
packages=(cmake ninja-build g++ g++-mingw-w64-x86-64-posix wine64 googletest libbenchmark-dev clang libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi
