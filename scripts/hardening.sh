#!/usr/bin/env bash
# Memory and undefined-behaviour checks, natively on Linux:
#   1. the unit tests built with AddressSanitizer and UndefinedBehaviorSanitizer
#      (preset "asan", clang);
#   2. every libFuzzer target, built by the same preset, a fixed number of runs
#      from its seed corpus, or SECONDS each with --long SECONDS.
# (AddressSanitizer's leak checker covers what a memcheck run of the same unit
# tests would: the unit tests run once with sanitizers, not again under
# valgrind.)
# Exits non-zero when any step fails. Crash inputs land in
# build/asan/tests/fuzz/artifacts/.
set -uo pipefail
cd "$(dirname "$0")/.."

long=0
case "${1:-}" in
    --long)
        long=${2:-}
        [[ "$long" =~ ^[1-9][0-9]*$ ]] || { echo "usage: $0 [--long SECONDS]" >&2; exit 2; }
        ;;
    "") ;;
    *) echo "usage: $0 [--long SECONDS]" >&2; exit 2 ;;
esac

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

failed=()
step() {
    local name=$1
    shift
    echo "--- $name"
    local start=$SECONDS
    if "$@"; then
        echo "--- $name: ok ($((SECONDS - start)) s)"
    else
        echo "--- $name: FAILED ($((SECONDS - start)) s)"
        failed+=("$name")
    fi
}

# Quiet unless it fails.
build() {
    local preset=$1 log
    shift
    log=$(mktemp)
    if ! { cmake --preset "$preset" && cmake --build --preset "$preset" "$@"; } >"$log" 2>&1; then
        tail -n 80 "$log"
        rm -f "$log"
        return 1
    fi
    rm -f "$log"
}

fuzz_long() {
    local dir=build/asan/tests/fuzz status=0 target
    for binary in "$dir"/fuzz_*; do
        [ -f "$binary" ] && [ -x "$binary" ] || continue
        target=${binary##*/fuzz_}
        echo "fuzzing $target for $long s"
        mkdir -p "$dir/corpus/$target" "$dir/artifacts"
        "$binary" -max_total_time="$long" -max_len=2048 -timeout=10 -print_final_stats=1 \
            -artifact_prefix="$dir/artifacts/$target-" \
            "$dir/corpus/$target" "tests/fuzz/corpus/$target" 2>"$dir/$target.log" ||
            { tail -n 60 "$dir/$target.log"; status=1; }
        grep -E '^stat::(number_of_executed_units|new_units_added)' "$dir/$target.log"
    done
    return $status
}

step "build: asan" build asan
# In one process: a sanitized process start costs more than most tests.
step "the include direction" python3 tests/include_direction.py .
step "unit tests under ASan and UBSan" build/asan/tests/nubora_unit_tests --gtest_brief=1
if [ "$long" -gt 0 ]; then
    step "fuzz targets, $long s each" fuzz_long
else
    step "fuzz targets, fixed runs" ctest --preset asan --no-tests=error -R '^fuzz_' -j 2
fi

if [ ${#failed[@]} -gt 0 ]; then
    printf 'hardening failed: %s\n' "${failed[@]}"
    exit 1
fi
echo "hardening: all steps passed"
