#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer under AddressSanitizer + UndefinedBehaviorSanitizer
# (the "fuzz" preset) and runs each for a bounded time, starting from its saved corpus.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     default: 30 seconds, every target
#
# BRASSLANE_FUZZ_PRESET=fuzz-fast runs the same targets built without AddressSanitizer (about
# three times the executions a second) for long runs; CI uses the default, "fuzz". Either way
# the saved corpus is replayed under AddressSanitizer by the asan build's tests.
#
# New inputs that widen coverage go to build-<preset>/corpus/<Target>/ (the saved corpus stays
# as it is). A crash stops the run with the target's report; its input is left as
# build-<preset>/crashes/<Target>/crash-*: copy it into fuzz/corpus/<Target>/ with the fix, so the
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

preset="${BRASSLANE_FUZZ_PRESET:-fuzz}"
build="build-$preset"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j"$jobs" --target "${targets[@]/#/fuzz_}"

# The longest input worth trying: a macro area or a profile file can be 64 KiB; for the others a
# few KiB reach every branch, and shorter inputs run many times faster.
max_len() {
    case "$1" in
    MacroBlob | ProfileFile) echo 70000 ;;
    SkinRect) echo 256 ;;
    KeyMapDecode) echo 1100 ;;
    *) echo 8192 ;;
    esac
}

# The file-based targets write each input to a file: keep those in memory when we can.
if [ -z "${TMPDIR:-}" ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
for name in "${targets[@]}"; do
    work="$build/corpus/$name"
    crashes="$build/crashes/$name"
    mkdir -p "$work" "$crashes"
    log="$build/fuzz-$name.log"
    echo "== $name (${seconds} s)"
    if ! "$build/bin/fuzz_$name" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$crashes/" -max_len="$(max_len "$name")" "$work" "fuzz/corpus/$name" >"$log" 2>&1; then
        echo "!! $name found a fault; see $log and $crashes/"
        tail -n 40 "$log"
        status=1
        continue
    fi
    grep -E '^stat::number_of_executed_units' "$log" | sed "s/^/$name: /" || true
done
exit "$status"
