#!/usr/bin/env bash
# Self-check of the end-to-end harness (lib.sh):
#  1. a program in a namespace sees exactly the adapters, addresses, gateway
#     and DNS servers set up with lib.sh (tests/tools/adapter_probe.cpp);
#  2. reusing the prefix from another namespace shows that namespace's
#     adapters (nubora_wine restarts the wineserver);
#  3. the recorder installed as system32\netsh.exe records the exact command
#     lines it is started with, where it ran from, and honours
#     NUBORA_TEST_NETSH_SLEEP_MS.
# Needs root (network namespaces), wine64 and mingw-w64. Exit status 0 = pass.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
data="$root/tests/data/e2e"
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$here/lib.sh"

CXX=${CXX_WIN64:-x86_64-w64-mingw32-g++-posix}
out=${NUBORA_TOOLS_OUT:-$root/build/e2e-tools}
mkdir -p "$out"
"$CXX" -municode -static -O2 -o "$out/adapter_probe.exe" "$root/tests/tools/adapter_probe.cpp" -liphlpapi -lws2_32
if [ -z "${NUBORA_RECORDER:-}" ]; then
    "$CXX" -municode -static -O2 -o "$out/netsh_recorder.exe" "$root/tests/tools/netsh_recorder.cpp"
    NUBORA_RECORDER="$out/netsh_recorder.exe"
fi

failures=0
check_same() { # NAME EXPECTED-FILE ACTUAL-FILE
    if diff -u --label "expected $1" --label "actual $1" "$2" "$3"; then
        echo "ok   $1"
    else
        echo "FAIL $1"
        failures=$((failures + 1))
    fi
}

nubora_cleanup_trap
tag="nbp$$"
ns="$tag-a"
ns2="$tag-b"
prefix="/tmp/$tag-w"
work=$(mktemp -d "/tmp/$tag-out.XXXXXX")
NUBORA_PREFIX_LIST="$NUBORA_PREFIX_LIST $work" # removed by nubora_cleanup

t0=$(date +%s.%N)
nubora_prefix_init "$prefix" "$NUBORA_RECORDER"
t1=$(date +%s.%N)

nubora_netns_create "$ns"
nubora_netns_add_adapter "$ns" lan0 00:00:5e:00:53:01 192.0.2.10/24 203.0.113.7/25
nubora_netns_add_adapter "$ns" lan1 00:00:5e:00:53:02 198.51.100.20/24
nubora_netns_set_gateway "$ns" 192.0.2.1 lan0
nubora_netns_set_dns "$ns" 198.51.100.53 203.0.113.53

# 1. adapters as seen from the first namespace
t2=$(date +%s.%N)
nubora_wine "$ns" "$prefix" "$out/adapter_probe.exe" >"$work/main.txt"
t3=$(date +%s.%N)
nubora_wine "$ns" "$prefix" "$out/adapter_probe.exe" >"$work/main2.txt"
t4=$(date +%s.%N)
check_same "adapters (namespace a)" "$data/probe_adapters_main.expected" "$work/main.txt"
check_same "adapters (namespace a, warm wineserver)" "$data/probe_adapters_main.expected" "$work/main2.txt"

# 2. same prefix, other namespace: no resolv.conf entries, one adapter
nubora_netns_create "$ns2"
nubora_netns_add_adapter "$ns2" wan0 00:00:5e:00:53:03 203.0.113.30/28
nubora_netns_set_gateway "$ns2" 203.0.113.17 wan0
nubora_wine "$ns2" "$prefix" "$out/adapter_probe.exe" >"$work/other.txt"
check_same "adapters (namespace b, same prefix)" "$data/probe_adapters_other.expected" "$work/other.txt"

# 3. recorder: through cmd.exe running a batch file (exact text of the line),
# then started directly by Wine from a Unix argv.
windir=$(nubora_windir "$prefix")
printf '@c:\\windows\\system32\\netsh.exe interface ip set address name="x" dhcp\r\n' >"$windir/probe_call.bat"
nubora_wine "$ns" "$prefix" cmd /c 'c:\windows\probe_call.bat'
t5=$(date +%s.%N)
NUBORA_TEST_NETSH_SLEEP_MS=2000 nubora_wine "$ns" "$prefix" 'c:\windows\system32\netsh.exe' \
    interface ip set address "name=Local Area Connection" static 192.0.2.10 255.255.255.0 192.0.2.1 1
t6=$(date +%s.%N)
check_same "netsh_calls.txt" "$data/netsh_calls.expected" "$windir/netsh_calls.txt"
check_same "netsh_where.txt" "$data/netsh_where.expected" "$windir/netsh_where.txt"
if awk -v a="$t5" -v b="$t6" 'BEGIN { exit !(b - a >= 2.0) }'; then
    echo "ok   NUBORA_TEST_NETSH_SLEEP_MS delays the exit"
else
    echo "FAIL NUBORA_TEST_NETSH_SLEEP_MS: run took only $(awk -v a="$t5" -v b="$t6" 'BEGIN { print b - a }') s"
    failures=$((failures + 1))
fi

nubora_wine_stop "$ns" "$prefix"
awk -v a="$t0" -v b="$t1" -v c="$t2" -v d="$t3" -v e="$t4" 'BEGIN {
    printf "timing: prefix init %.1f s, first run %.2f s, warm run %.2f s\n", b - a, d - c, e - d }'

if [ "$failures" -ne 0 ]; then
    echo "probe_adapters: $failures check(s) failed"
    exit 1
fi
echo "probe_adapters: all checks passed"
