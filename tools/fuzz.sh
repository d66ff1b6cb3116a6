#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer) and runs each
# for the given number of seconds, starting from its seed corpus in tests/fuzz/corpus/<target>.
#   tools/fuzz.sh [SECONDS]   default 60 per target
# New inputs the fuzzer finds go to the build folder's corpus (the repository's seeds stay as
# they are); a crash leaves its input in <build>/artifacts and makes the script fail.
# GERM_FUZZ_BUILD names another build folder (default build/fuzz).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=${GERM_FUZZ_BUILD:-$root/build/fuzz}
case "$build" in /*) ;; *) build="$root/$build" ;; esac

for tool in clang clang++; do
    command -v "$tool" >/dev/null || { echo "fuzz: $tool is missing (tools/setup.sh installs it)" >&2; exit 2; }
done

targets=()
for src in "$root"/tests/fuzz/*.cpp; do
    targets+=("$(basename "$src" .cpp)")
done
[ ${#targets[@]} -gt 0 ] || { echo "fuzz: no targets in tests/fuzz" >&2; exit 2; }

cmake --preset fuzz -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j 2 --target "${targets[@]}"

mkdir -p "$build/artifacts"
failed=0
for t in "${targets[@]}"; do
    work="$build/corpus/$t"
    mkdir -p "$work"
    seeds="$root/tests/fuzz/corpus/$t"
    [ -d "$seeds" ] || seeds=""
    echo "fuzz: $t for ${seconds} s"
    # -max_len keeps inputs near the size of real settings and paths; -timeout catches a hang.
    if ! (cd "$build" && "./$t" -max_total_time="$seconds" -max_len=1024 -timeout=10 \
        -print_final_stats=1 -artifact_prefix="$build/artifacts/$t-" "$work" $seeds \
        >"$build/$t.log" 2>&1); then
        echo "fuzz: $t FAILED; last lines of $build/$t.log:" >&2
        tail -n 40 "$build/$t.log" >&2
        failed=1
        continue
    fi
    grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units)' "$build/$t.log" | tail -n 2 || true
done
if [ $failed = 0 ]; then
    echo "fuzz: ${#targets[@]} passed, 0 failed"
else
    echo "fuzz: some target found a fault" >&2
fi
exit $failed
