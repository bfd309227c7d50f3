#!/usr/bin/env bash
# nubora-preview as a command: what it says of each section, its exit codes
# and messages, its run shown on a scenario's machine, and --adapters host in
# a namespace. Its run uses the stand-ins the unit player holds to the
# scenarios, so its agreement with the real executable needs no more here.
set -euo pipefail
source "$(dirname "$0")/common.sh"

preview=${NUBORA_PREVIEW:-$e2e_root/build/linux/nubora-preview}
data="$e2e_root/tests/data"
scenario="$e2e_root/tests/scenarios/first_run_configures"
out=$(mktemp -d /tmp/nbpv.XXXXXX)
nubora_cleanup_trap
trap 'rm -rf "$out"; nubora_cleanup' EXIT

run_preview() { # EXPECTED-RC NAME ARGS...: output in $out/NAME
    local expected=$1 name=$2 rc=0
    shift 2
    "$@" >"$out/$name" 2>"$out/$name.err" || rc=$?
    e2e_check "$name: exit code $expected" test "$rc" -eq "$expected"
}
section() { awk -v m="$2" '$0 == m {on = 1; next} /^----- / {on = 0} on' "$1"; }

run_preview 1 four-sections "$preview" "$scenario/ipconfig_xen_vm.ini"
e2e_same "four-sections: sections and records" "$data/preview/four_sections.expected" "$out/four-sections"
run_preview 1 odd-sections "$preview" "$e2e_root/tests/scenarios/odd_sections_dropped_or_kept/ipconfig_xen_vm.ini"
e2e_same "odd-sections: every reason" "$data/preview/odd_sections.expected" "$out/odd-sections"
run_preview 0 worked-alone "$preview" "$E2E_DATA/worked_example.ini"

run_preview 1 first-run "$preview" "$scenario/ipconfig_xen_vm.ini" --adapters "$scenario/adapters.ini"
section "$out/first-run" "----- log" | sed -E 's/^(start|end) time [0-9].*$/\1 time <time>/' >"$out/first-run.log"
section "$out/first-run" "----- netsh command lines" >"$out/first-run.netsh"
e2e_same "first run: the log" "$scenario/expected.log" "$out/first-run.log"
e2e_same "first run: the netsh lines" "$scenario/expected.netsh" "$out/first-run.netsh"

run_preview 1 missing "$preview" "$E2E_DATA/worked_example.ini" --adapters "$data/preview/missing_adapter.ini"
e2e_check "missing adapter: the record says so" grep -q -- '-- no adapter has this MAC' "$out/missing"
e2e_check "missing adapter: the pauses are told once, not waited" \
    test "$(grep -c 'would pause 7 times for 30 s (210 s in all)' "$out/missing")" -eq 1

run_preview 2 no-argument "$preview"
run_preview 2 no-file "$preview" "$data/does_not_exist.ini"
run_preview 2 bad-adapters "$preview" "$E2E_DATA/worked_example.ini" --adapters "$data/preview/bad_adapters.ini"
e2e_check "bad adapters file: one clear message" \
    grep -qx 'nubora-preview: \[lan0\] MAC: six hexadecimal groups are needed' "$out/bad-adapters.err"
run_preview 2 unknown-option "$preview" "$E2E_DATA/worked_example.ini" --frobnicate
run_preview 1 binary-input "$preview" /bin/true

ns="nbpv$$"
nubora_netns_create "$ns"
nubora_netns_add_adapter "$ns" Ethernet 00:00:5e:00:53:10 192.0.2.5/24
nubora_netns_set_gateway "$ns" 192.0.2.1 Ethernet
nubora_netns_set_dns "$ns" 198.51.100.2
run_preview 0 host-adapters ip netns exec "$ns" "$preview" "$E2E_DATA/worked_example.ini" --adapters host
e2e_check "host adapters: the snapshot is this namespace's" \
    grep -qx 'current config gateway=192.0.2.1' "$out/host-adapters"

e2e_summary
