#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer under AddressSanitizer + UndefinedBehaviorSanitizer
# (the "fuzz" preset) and runs each for a bounded time, starting from its saved corpus.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     default: 30 seconds, every target
#
# New inputs that widen coverage go to build-fuzz/corpus/<Target>/ (the saved corpus stays as
# it is). A crash stops the run with the target's report; its input is left as
# build-fuzz/crashes/<Target>/crash-*: copy it into fuzz/corpus/<Target>/ with the fix, so the
# replay test keeps it. The last line of each target's log gives its executions.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-30}"
shift || true
jobs="$(nproc)"

if [ "$#" -gt 0 ]; then
    targets=("$@")
else
    targets=()
    for source in fuzz/*Fuzz.cpp; do
        name="$(basename "$source" Fuzz.cpp)"
        targets+=("$name")
    done
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$jobs" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
for name in "${targets[@]}"; do
    work="build-fuzz/corpus/$name"
    crashes="build-fuzz/crashes/$name"
    mkdir -p "$work" "$crashes"
    log="build-fuzz/fuzz-$name.log"
    echo "== $name (${seconds} s)"
    if ! "build-fuzz/bin/fuzz_$name" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$crashes/" -max_len=70000 "$work" "fuzz/corpus/$name" >"$log" 2>&1; then
        echo "!! $name found a fault; see $log and $crashes/"
        tail -n 40 "$log"
        status=1
        continue
    fi
    grep -E '^stat::number_of_executed_units' "$log" | sed "s/^/$name: /" || true
done
exit "$status"
