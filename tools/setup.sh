#!/usr/bin/env bash
# Installs what the builds, the fuzz targets and the checks of contrib/ (promtool,
# python3 with yaml) need on a fresh Debian machine (run as root).
set -euo pipefail
packages=(cmake ninja-build g++ g++-mingw-w64-x86-64-posix wine64 googletest libbenchmark-dev unzip locales
          clang libclang-rt-14-dev prometheus python3 python3-yaml)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi
# The tests of code page 932 run under Wine in a Japanese locale, which Wine can
# use for file names only when the host has it.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; then
  grep -qx 'ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
