#!/usr/bin/env bash
# nubora-preview through the command itself: what it says of each section, the
# exit codes, and the log and netsh lines it predicts, which must be the ones
# the real executable wrote under Wine for the same input (the golden files of
# config_run.sh).
set -euo pipefail
source "$(dirname "$0")/common.sh"

preview=${NUBORA_PREVIEW:-$e2e_root/build/linux/nubora-preview}
data="$e2e_root/tests/data"
out=$(mktemp -d /tmp/nbpv.XXXXXX)
trap 'rm -rf "$out"' EXIT

run_preview() { # EXPECTED-RC NAME ARGS...: output in $out/NAME
    local expected=$1 name=$2 rc=0
    shift 2
    local -a run=("$preview")
    if [ "${*: -2:1}" = --in-namespace ]; then
        run=(ip netns exec "${*: -1}" "$preview")
        set -- "${@:1:$#-2}"
    fi
    "${run[@]}" "$@" >"$out/$name" 2>"$out/$name.err" || rc=$?
    e2e_check "$name: exit code $expected" test "$rc" -eq "$expected"
}
section() { # FILE FIRST-MARKER: the lines after the marker up to the next one
    awk -v m="$2" '$0 == m {on = 1; next} /^----- / {on = 0} on' "$1"
}
predicted_log() { section "$1" "----- log" | sed -E 's/^(start|end) time [0-9].*$/\1 time <time>/'; }

run_preview 1 four-sections "$data/config/four_sections.ini"
e2e_same "four-sections: sections and records" "$data/preview/four_sections.expected" \
    "$out/four-sections"
run_preview 1 odd-sections "$data/config/odd_sections.ini"
e2e_same "odd-sections: every reason" "$data/preview/odd_sections.expected" "$out/odd-sections"
run_preview 0 worked-alone "$E2E_DATA/worked_example.ini"

run_preview 1 first-run "$E2E_DATA/config_run.ini" --adapters "$e2e_root/examples/adapters.ini"
predicted_log "$out/first-run" >"$out/first-run.log"
section "$out/first-run" "----- netsh command lines" >"$out/first-run.netsh"
e2e_same "four-section example: the log under Wine" "$E2E_DATA/config_run_first.log" \
    "$out/first-run.log"
e2e_same "four-section example: the netsh lines under Wine" "$E2E_DATA/config_run_first.netsh" \
    "$out/first-run.netsh"

run_preview 0 worked "$E2E_DATA/worked_example.ini" --adapters "$E2E_DATA/worked_example_adapters.ini"
predicted_log "$out/worked" >"$out/worked.log"
section "$out/worked" "----- netsh command lines" >"$out/worked.netsh"
e2e_same "worked example: the log under Wine" "$E2E_DATA/config_run_worked.log" "$out/worked.log"
e2e_same "worked example: the netsh lines under Wine" "$E2E_DATA/config_run_worked.netsh" \
    "$out/worked.netsh"

run_preview 1 missing "$E2E_DATA/worked_example.ini" --adapters "$data/preview/missing_adapter.ini"
e2e_check "missing adapter: the record says so" grep -q -- '-- no adapter has this MAC' "$out/missing"
e2e_check "missing adapter: the pauses are told once, not waited" \
    test "$(grep -c 'would pause 7 times for 30 s (210 s in all)' "$out/missing")" -eq 1
e2e_check "missing adapter: the log still holds the seven retry lines" \
    test "$(grep -c '^retry find adapters retrycount=' "$out/missing")" -eq 7

run_preview 2 no-argument
run_preview 2 no-file "$data/config/does_not_exist.ini"
run_preview 2 bad-adapters "$E2E_DATA/worked_example.ini" --adapters "$data/preview/bad_adapters.ini"
e2e_check "bad adapters file: one clear message" \
    grep -qx 'nubora-preview: \[lan0\] MAC: six hexadecimal groups are needed' "$out/bad-adapters.err"
run_preview 2 unknown-option "$E2E_DATA/worked_example.ini" --frobnicate
run_preview 1 binary-input /bin/true
# The adapters of the machine it runs on: a namespace holding the example's.
nubora_cleanup_trap
trap 'rm -rf "$out"; nubora_cleanup' EXIT
ns="nbpv$$"
nubora_netns_create "$ns"
nubora_netns_add_adapter "$ns" Ethernet 00:00:5e:00:53:10 192.0.2.5/24
nubora_netns_set_gateway "$ns" 192.0.2.1 Ethernet
nubora_netns_set_dns "$ns" 198.51.100.2
run_preview 0 host-adapters "$E2E_DATA/worked_example.ini" --adapters host --in-namespace "$ns"
e2e_check "host adapters: the snapshot is this namespace's" \
    grep -qx 'current config gateway=192.0.2.1' "$out/host-adapters"

e2e_summary
