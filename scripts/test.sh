#!/usr/bin/env bash
# Every test: installs what is missing, builds all configurations, runs the
# unit tests on Linux and under Wine, then the end-to-end suites on the real
# executable under Wine. Ends with one "N passed, N failed" line.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh || exit 1
scripts/build.sh >build.log 2>&1 || { cat build.log; exit 1; }

passed=0
failed=0
run() {
    local name=$1
    shift
    echo "=== $name"
    if "$@"; then
        passed=$((passed + 1))
    else
        echo "=== $name FAILED"
        failed=$((failed + 1))
    fi
}

run "unit tests (Linux)" ctest --preset linux
run "unit tests (Windows x86-64 under Wine)" ctest --preset win64
for suite in tests/e2e/frame.sh tests/e2e/config_run.sh tests/e2e/service.sh tests/e2e/preview.sh tests/e2e/bad_input.sh; do
    [ -f "$suite" ] && run "$suite" bash "$suite"
done

echo "suites: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
