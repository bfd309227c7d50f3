#!/usr/bin/env bash
# Every test: installs what is missing, builds all configurations, runs the
# unit tests under Wine and (in the background) natively with sanitizers,
# with the fuzz targets, then the end-to-end suites on the real
# executables under Wine: the x86-64 build, then the shipped 32-bit build as a
# WOW64 process. Ends with each stage's seconds (wall, and CPU: user + system
# of the processes it waited for) and one "N passed, N failed, N skipped"
# line; a suite that could not run is named and counted as skipped (in CI it
# fails).
set -uo pipefail
cd "$(dirname "$0")/.."
# As many compilers as cores: more only make each slower here.
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}

passed=0
failed=0
not_run=()
table=()
times_file=$(mktemp)
cpu_ms() { # user + system CPU time of the children waited for so far, in ms
    awk 'NR == 2 {for (i = 1; i <= 2; i++) {split($i, p, "m"); t += p[1] * 60000 + p[2] * 1000}
         printf "%d", t}' "$times_file"
}
stage() { # NAME COMMAND...: times COMMAND; its exit status
    local name=$1 rc=0 start cpu
    shift
    times >"$times_file"  # in this shell: a subshell has no children yet
    start=$(date +%s%N) cpu=$(cpu_ms)
    "$@" || rc=$?
    times >"$times_file"
    table+=("$(printf '%7.1f %7.1f  %s%s' "$((($(date +%s%N) - start) / 1000000))e-3" \
        "$(($(cpu_ms) - cpu))e-3" "$name" "$([ "$rc" -eq 0 ] || echo " (exit $rc)")")")
    return "$rc"
}
summary() {
    printf '%s\n' "   wall     cpu  stage (seconds)" "${table[@]}"
    rm -f "$times_file"
}
run() { # NAME COMMAND...: exit status 77 means the suite could not run
    local name=$1 rc=0
    shift
    echo "=== $name"
    stage "$name" "$@" || rc=$?
    if [ "$rc" -eq 0 ]; then
        passed=$((passed + 1))
    elif [ "$rc" -eq 77 ]; then
        echo "=== $name NOT RUN"
        not_run+=("$name")
    else
        echo "=== $name FAILED"
        failed=$((failed + 1))
    fi
}

stage "install what is missing" scripts/install-deps.sh || { summary; exit 1; }
# The native checks (no Wine) need nothing the other stages build: they start
# now, at the lowest priority, on the CPU the others leave idle.
hardening_log=$(mktemp)
nice -n 19 scripts/hardening.sh >"$hardening_log" 2>&1 &
hardening_pid=$!
# Natively only the tool: the unit tests run natively with the sanitizers.
build() {
    local preset
    for preset in linux win64 win32; do
        cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" \
            $([ "$preset" != linux ] || echo --target nubora) || return 1
    done
}
# Beside the build, once: the pristine Wine prefixes (build/cache) booted and
# the 32-bit Wine fetched (tests/e2e/wow64.sh; a suite that finds no emulator
# says so itself).
warm=$(mktemp -d)
(source tools/wine-netns.sh && source tests/e2e/wow64.sh && nubora_prefix_init "$warm/prefix" &&
    nubora_wow64_fetch && nubora_wow64_exec env NUBORA_ARCH=i686 bash -c \
    'source tools/wine-netns.sh && nubora_prefix_init "$1"' - "$warm/prefix-wow64"
    rm -rf "$warm") >/dev/null 2>&1 &
stage "build: the Linux tool, win64, win32" build >build.log 2>&1 || { cat build.log; summary; exit 1; }

# Lanes side by side once the build has ended, each showing its output when
# it ends: the x86-64 unit tests, scenarios and nubora.sh (which shares the
# unit tests' prefix) here; the other Wine suites of both widths, the 32-bit
# ones through the emulator (tests/e2e/wow64.sh), in two lanes. A lane's
# suites run one after another; no check counts 2 s slices.
lanes=$(mktemp -d)
lane_pids=()
job_file() { echo "$lanes/${1/:/_}"; } # ARCH:SUITE: where its output and result go
lane() { # ARCH:SUITE...: in turn, in the background
    (
        for job in "$@"; do
            f=$(job_file "$job") start=$(date +%s%N) rc=0
            NUBORA_ARCH=${job%%:*} bash "tests/e2e/${job#*:}.sh" >"$f.out" 2>&1 || rc=$?
            echo "$rc $((($(date +%s%N) - start) / 1000000))" >"$f.done"
        done
    ) &
    lane_pids+=($!)
}
wine_lane1=(x86_64:service x86_64:fleet i686:service i686:packages)
wine_lane2=(i686:scenarios x86_64:doctor i686:doctor)
lane "${wine_lane1[@]}"
lane "${wine_lane2[@]}"

run "unit tests (Windows x86-64 under Wine)" ctest --preset win64
for suite in tests/e2e/scenarios.sh tests/e2e/nubora.sh; do
    run "$suite" bash "$suite"
done

hardening_result() {
    local rc=0
    wait "$hardening_pid" || rc=$?
    cat "$hardening_log"
    rm -f "$hardening_log"
    return "$rc"
}
run "sanitizers and fuzzing (the rest of their time)" hardening_result

# The other lanes: their suites' output and exit codes, in their order.
wait "${lane_pids[@]}"
for job in "${wine_lane1[@]}" "${wine_lane2[@]}"; do
    f=$(job_file "$job")
    read -r rc ms <"$f.done" || { rc=1 ms=0; }
    run "tests/e2e/${job#*:}.sh (${job%%:*}, ${ms%???} s in its lane)" \
        sh -c 'cat "$1"; exit "$2"' - "$f.out" "$rc"
done
rm -rf "$lanes"

summary
[ ${#not_run[@]} -eq 0 ] || printf 'not run: %s\n' "${not_run[@]}"
echo "suites: $passed passed, $failed failed, ${#not_run[@]} skipped"
[ "$failed" -eq 0 ]
