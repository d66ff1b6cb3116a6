#!/usr/bin/env bash
# make bench: measures the Windows program against the baseline program (both built by the
# windows preset) under Wine, in a display and prefix of its own ("bench"). Prints one line per
# figure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
out=build/bench
mkdir -p "$out"

export GERM_WINE_ENV=bench
# Output to a file: the persistent wineserver would hold a pipe open for ever.
tools/wine-env.sh start >"$out/wine-env.log" 2>&1
trap 'tools/wine-env.sh stop >/dev/null 2>&1 || true' EXIT
# What the figures depend on: the release and its compiler (which built the program and the
# baseline), the Wine that runs them and the machine.
release=$(. /etc/os-release && echo "Debian $VERSION_ID")
compiler=$(dpkg-query -W -f='${Package} ${Version}' g++-mingw-w64-x86-64-posix 2>/dev/null || true)
echo "bench: $release, $compiler, $(wine --version 2>/dev/null), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
tools/wine-env.sh exec python3 bench/bench.py "$@"
