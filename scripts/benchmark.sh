#!/usr/bin/env bash
# Measures a converged run (four static adapters that already have what the INI
# file asks for, a post script that does nothing) of the real x86-64 executable
# under Wine, side by side with a floor measured in the same session: a minimal
# program that starts "cmd.exe /c exit" once and waits for it. Prints medians of
# wall time and peak memory, their ratio, the netsh processes a converged run
# starts, and the size of the shipped 32-bit executable.
#   scripts/benchmark.sh [RUNS]   (default 15 of each, interleaved)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-15}
scripts/install-deps.sh
for preset in win64 win32 linux; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" >/dev/null
done
source tools/wine-netns.sh

nubora_cleanup_trap
ns="nbbench$$"
prefix="/tmp/nbbench$$-w"
nubora_prefix_init "$prefix" build/win64/tools/netsh_recorder.exe
windir=$(nubora_windir "$prefix")
stats=$(mktemp -d "/tmp/nbbench$$-stats.XXXXXX")
NUBORA_PREFIX_LIST="$NUBORA_PREFIX_LIST $stats"  # removed with the prefix
cp tests/data/e2e/four_adapters.ini "$windir/ipconfig_xen_vm.ini"
printf '@echo off\r\n' >"$windir/ipconfig_post.bat"
nubora_netns_create "$ns"
nubora_netns_add_adapter "$ns" a0 00:00:5e:00:53:21 192.0.2.21/24
nubora_netns_add_adapter "$ns" a1 00:00:5e:00:53:22 192.0.2.22/24
nubora_netns_add_adapter "$ns" a2 00:00:5e:00:53:23 198.51.100.23/24 198.51.100.24/24
nubora_netns_add_adapter "$ns" a3 00:00:5e:00:53:24 203.0.113.25/25
nubora_netns_set_gateway "$ns" 192.0.2.1 a0
nubora_netns_set_dns "$ns" 198.51.100.53

# timed CODES COMMAND...: "seconds kilobytes" of COMMAND (wall time, peak
# memory), taken whatever it exits with; an exit code not in CODES (it could
# not run, was killed, or did not get to the work timed) fails the script,
# with the reason, instead of giving a figure.
timed() {
    local codes=" $1 " start end rc=0
    shift
    start=$(date +%s%N)
    /usr/bin/time -f '%M' -o "$stats/kb" "$@" >/dev/null 2>"$stats/err" || rc=$?
    end=$(date +%s%N)
    if [[ $codes != *" $rc "* || ! $(tail -n 1 "$stats/kb" 2>/dev/null) =~ ^[0-9]+$ ]]; then
        echo "benchmark.sh: no figure for $*: exit code $rc; $(head -c 300 "$stats/err")" >&2
        exit 1
    fi
    echo "$(awk -v ns=$((end - start)) 'BEGIN {printf "%.4f", ns / 1e9}') $(tail -n 1 "$stats/kb")"
}
measure() { # LABEL EXE: appends "seconds kilobytes" to $stats/LABEL
    timed 0 ip netns exec "$ns" env WINEPREFIX="$prefix" WINELOADER="$NUBORA_WINE64" WINEDEBUG=-all \
        WINEDLLOVERRIDES=netsh.exe=n "$NUBORA_WINE64" "$2" >>"$stats/$1"
}
median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# Warm up: the wineserver and its helpers start with the first program.
nubora_wine "$ns" "$prefix" build/win64/NuboraService.exe
nubora_wine "$ns" "$prefix" build/win64/tools/floor_run.exe
: >"$windir/netsh_calls.txt"
: >"$stats/floor"
: >"$stats/run"
for _ in $(seq 1 "$runs"); do
    measure floor build/win64/tools/floor_run.exe
    measure run build/win64/NuboraService.exe
done

run_s=$(cut -d' ' -f1 "$stats/run" | median)
floor_s=$(cut -d' ' -f1 "$stats/floor" | median)
run_kb=$(cut -d' ' -f2 "$stats/run" | median)
floor_kb=$(cut -d' ' -f2 "$stats/floor" | median)
netsh=$(($(wc -l <"$windir/netsh_calls.txt") / runs))
unchanged=$(tr -d '\r' <"$windir/ipconfig_service.log" | tail -n 40 | grep -c 'is not changed' || true)
shipped=$(stat -c %s build/win32/NuboraService.exe)

echo "converged run, $runs runs each, medians (Wine $(/usr/lib/wine/wine64 --version), $(nproc) cores)"
printf '  converged run:  %.3f s wall, %d KB peak memory\n' "$run_s" "$run_kb"
printf '  floor:          %.3f s wall, %d KB peak memory\n' "$floor_s" "$floor_kb"
printf '  ratio of medians (run / floor): %.2f (target: at most 1.20)\n' \
    "$(awk -v a="$run_s" -v b="$floor_s" 'BEGIN {print a / b}')"
echo "  netsh processes per converged run: $netsh (target: 0)"
echo "  'is not changed' lines in the last run's block: $unchanged (four adapters, two parts each)"
# nubora status on a 100 MB log: a real block repeated, the last run read from the end.
sed -E 's/^(start|end) time <time>$/\1 time 2024-5-17, 9: 3: 0/; s/$/\r/' tests/data/status/first_run.log >"$stats/b"
for _ in $(seq 420); do cat "$stats/b"; done >"$stats/mb" && for _ in $(seq 100); do cat "$stats/mb"; done >"$stats/log"
for verb in "" --all; do
    figure=$(timed "0 1" build/linux/nubora status $verb "$stats/log")  # 1: a verdict
    printf '  nubora status %-5s of a %d MB log: %.3f s, %d KB peak memory (target: under 1 s for the last run)\n' \
        "${verb:-(last)}" "$(($(stat -c %s "$stats/log") >> 20))" ${figure}
done
# nubora doctor beside the preview of the same file on the same adapters.
: >"$stats/preview"
: >"$stats/doctor"
for _ in $(seq 1 "$runs"); do
    for verb in preview doctor; do  # 1: a record without its adapter, a finding
        args=(doctor)
        [ "$verb" = doctor ] || args=(preview 'c:\windows\ipconfig_xen_vm.ini' --adapters host)
        timed "0 1" ip netns exec "$ns" env WINEPREFIX="$prefix" WINELOADER="$NUBORA_WINE64" WINEDEBUG=-all \
            "$NUBORA_WINE64" build/win64/nubora.exe "${args[@]}" >>"$stats/$verb"
    done
done
preview_s=$(cut -d' ' -f1 "$stats/preview" | median)
doctor_s=$(cut -d' ' -f1 "$stats/doctor" | median)
printf '  nubora doctor: %.3f s, its preview %.3f s: %.3f s more (target: at most 1 s)\n' \
    "$doctor_s" "$preview_s" "$(awk -v a="$doctor_s" -v b="$preview_s" 'BEGIN {print a - b}')"
printf '  shipped 32-bit executable: %d bytes (%d KB; target: under 400 KB)\n' "$shipped" \
    "$((shipped / 1024))"
