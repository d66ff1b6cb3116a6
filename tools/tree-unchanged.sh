#!/usr/bin/env bash
# make test leaves the work tree as it found it: `save` records git's view of it before the
# tests, `check` fails, naming the paths, when the tests changed that view. Outside a git work
# tree there is nothing to compare.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
saved="$root/build/tree-before-test"
git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1 || exit 0
case "${1:-}" in
save)
    mkdir -p "$root/build"
    git -C "$root" status --porcelain --untracked-files=all >"$saved"
    ;;
check)
    now=$(git -C "$root" status --porcelain --untracked-files=all)
    if [ "$now" != "$(cat "$saved")" ]; then
        echo "make test changed the work tree (git status --porcelain before and after):" >&2
        diff <(cat "$saved") <(echo "$now") >&2 || true
        exit 1
    fi
    ;;
*)
    echo "usage: $0 save|check" >&2
    exit 2
    ;;
esac
