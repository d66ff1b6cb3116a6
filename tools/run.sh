#!/usr/bin/env bash
# Starts the Windows program under Wine on the current display, in a project-local prefix.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${DISPLAY:-}" ]; then
    echo "make run: no display (DISPLAY is not set); run it from a desktop session, or start one with 'Xvfb :1 & DISPLAY=:1 make run'." >&2
    exit 1
fi
prefix="$root/build/wine-prefix"
"$root/tools/wineprefix.sh" "$prefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
exec wine "$root/build/windows/Germcatcher.exe"
