#!/usr/bin/env bash
# make demo: plays both paths of the Windows program under Wine in a display of its own ("demo")
# and writes a picture of every stage and an animation per path into build/demo/.
#   demo.sh [--docs] [yes|no ...]   --docs also copies the README's pictures into docs/
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
docs=0
if [ "${1:-}" = "--docs" ]; then docs=1; shift; fi
out=build/demo
rm -rf "$out"
mkdir -p "$out"

export GERM_WINE_ENV=demo
# Output to a file: the persistent wineserver would hold a pipe open for ever.
tools/wine-env.sh start >"$out/wine-env.log" 2>&1
trap 'tools/wine-env.sh stop >/dev/null 2>&1 || true' EXIT
tools/wine-env.sh exec python3 tools/demo.py "$@"
# The frames stay in $out/frames-* for a closer look.
echo "demo: pictures in $out"

if [ $docs = 1 ]; then
    mkdir -p docs
    for f in yes-1-question.crop yes-2-erasing.crop no-3-sending.crop yes-3-finale-1 \
        no-6-finale-3.crop; do
        cp "$out/$f.png" "docs/${f%.crop}.png"
    done
    cp "$out"/yes.gif "$out"/no.gif docs/
    du -ch docs/*.png docs/*.gif | tail -1
fi
