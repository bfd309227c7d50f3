#!/usr/bin/env bash
# The fleet reader at scale (a benchmark, not a test): 10 000 captures of
# 2 MB each (virtlogd's default size), sparse but for their last 8 KB, which
# hold boot output and a report; `nubora fleet --prom` over the folder, warm
# cache (after one run to warm it). Prints the time, per file, and peak memory.
set -euo pipefail
cd "$(dirname "$0")/.."
nubora=${NUBORA:-build/linux/nubora}
count=${COUNT:-10000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/captures"
tail_bytes=$(python3 -c 'import sys
boot = "Booting from Hard Disk...\r\n" * 100
report = "\r\nNuboraService: 2024-05-01 10:00:00 verdict: configured\r\n"
report += "".join("NuboraService: 2024-05-01 10:00:00 section eth%d: configured\r\n" % i for i in range(40))
body = (boot + report).encode()
sys.stdout.buffer.write(body[-8192:].rjust(8192, b"\0"))' | base64 -w0)
echo "$tail_bytes" | base64 -d >"$work/tail"
for ((i = 0; i < count; i++)); do
    f=$(printf '%s/captures/%08x-0000-4000-8000-%012x.log' "$work" "$i" "$i")
    truncate -s $((2 * 1024 * 1024 - 8192)) "$f"
    cat "$work/tail" >>"$f"
done
"$nubora" fleet "$work/captures" --prom "$work/fleet.prom" >/dev/null || true
/usr/bin/time -f '%e %M' -o "$work/time" "$nubora" fleet "$work/captures" --prom "$work/fleet.prom" >/dev/null || true
read -r seconds kilobytes <"$work/time"
echo "$count captures of 2 MB, warm cache: $seconds s ($(python3 -c "print(f'{$seconds / $count * 1e6:.0f}')") us per file), peak memory $((kilobytes / 1024)) MB"
