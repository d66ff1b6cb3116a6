#!/usr/bin/env bash
# make bench: builds the baseline program, then measures the Windows program against it under
# Wine, in a display and prefix of its own ("bench"). Prints one line per figure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
out=build/bench
mkdir -p "$out"

# The baseline: built with the program's compiler, flags and manifest.
if [ ! -f "$out/baseline.exe" ] || [ bench/baseline/baseline.cpp -nt "$out/baseline.exe" ] ||
    [ bench/baseline/baseline.rc -nt "$out/baseline.exe" ] ||
    [ src/app/win32/germcatcher.manifest -nt "$out/baseline.exe" ]; then
    x86_64-w64-mingw32-windres bench/baseline/baseline.rc -O coff -o "$out/baseline.res.o"
    x86_64-w64-mingw32-g++-posix -std=c++20 -Os -Wall -Wextra -Werror -DUNICODE -D_UNICODE \
        -municode -mwindows -s -static -static-libgcc -static-libstdc++ \
        bench/baseline/baseline.cpp "$out/baseline.res.o" -o "$out/baseline.exe"
fi

export GERM_WINE_ENV=bench
# Output to a file: the persistent wineserver would hold a pipe open for ever.
tools/wine-env.sh start >"$out/wine-env.log" 2>&1
trap 'tools/wine-env.sh stop >/dev/null 2>&1 || true' EXIT
echo "bench: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(wine --version 2>/dev/null)"
tools/wine-env.sh exec python3 bench/bench.py "$@"
