#!/usr/bin/env bash
# The host's side with real parts: nubora.exe report under Wine tells three
# boots on COM1 (a pseudo-terminal whose reader appends to a file; each boot's
# bytes then go to that VM's capture), the Linux nubora fleet reads the
# captures, promtool accepts its textfile, Debian's node_exporter on
# 127.0.0.1 serves it, and promtool test rules fires the shipped rules'
# alerts for those series.
set -euo pipefail
source "$(dirname "$0")/common.sh"
command -v promtool >/dev/null && command -v prometheus-node-exporter >/dev/null ||
    "$e2e_root/scripts/install-deps.sh"
fleet="$e2e_root/build/linux/nubora"

e2e_setup nbf
nubora_console_pty "$ns" "$prefix" "$out/console"
captures="$out/consoles"
mkdir -p "$captures" "$out/textfile"
e2e_as_written "$e2e_root/tests/scenarios/adapter_appears_at_third_pass/expected.log" >"$windir/web.log"
e2e_as_written "$e2e_root/tests/scenarios/adapter_never_appears/expected.log" >"$windir/db.log"
# boot UUID NAME ARGS...: one report, its console bytes as that VM's capture.
boot() {
    local uuid=$1 name=$2
    shift 2
    : >"$out/console"
    e2e_wine "$NUBORA_TOOL" report --no-eventlog "$@" >/dev/null 2>&1 || true
    e2e_console_settled 50
    cat "$out/console" >>"$captures/$uuid.log"
    echo "$uuid $name" >>"$out/map"
}
boot 11111111-1111-4111-8111-111111111111 web 'c:\windows\web.log'
boot 22222222-2222-4222-8222-222222222222 db 'c:\windows\db.log'
boot 33333333-3333-4333-8333-333333333333 cache --wait-for-service 1

e2e_exits 1 "fleet (two VMs not configured)" "$fleet" fleet "$captures" --map "$out/map" --prom "$out/textfile/nubora.prom"
worst_first() {
    [ "$(cut -d ';' -f 1 "$out/stdout" | sed 's/: NuboraService .*//')" = $'cache: not run\ndb: partly configured\nweb: configured' ] ||
        { cat "$out/stdout"; return 1; }
}
e2e_check "fleet: worst first, each VM by its mapped name" worst_first
"$fleet" fleet "$captures" --map "$out/map" --json >"$out/json" || true
e2e_check "fleet --json: valid against nubora/fleet/fleet.schema.json" \
    e2e_valid_json "$e2e_root/nubora/fleet/fleet.schema.json" "$out/json"
e2e_check "promtool check metrics: the textfile" sh -c 'promtool check metrics <"$1"' - "$out/textfile/nubora.prom"

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
prometheus-node-exporter --web.listen-address="127.0.0.1:$port" --collector.disable-defaults \
    --collector.textfile --collector.textfile.directory="$out/textfile" >"$out/exporter.log" 2>&1 &
exporter=$!
for ((i = 0; i < 50; i++)); do curl -sf "http://127.0.0.1:$port/metrics" >"$out/scraped" 2>/dev/null && break; sleep 0.1; done
kill "$exporter"
# A textfile it cannot parse it would serve none of them.
e2e_check "node_exporter serves the verdict of each VM" test "$(grep -c '^nubora_boot_verdict{.*} 1$' "$out/scraped")" = 3

e2e_check "promtool check rules: packaging/host/nubora-rules.yml" \
    promtool check rules "$e2e_root/packaging/host/nubora-rules.yml"
grep -v '^#' "$out/textfile/nubora.prom" |
    sed -E "s/^(.*) ([0-9]+)$/      - {series: '\1', values: '\2x10'}/" >"$out/series"
sed -e "s|@RULES@|$e2e_root/packaging/host/nubora-rules.yml|" -e "/@SERIES@/{r $out/series" -e 'd}' \
    "$e2e_root/tests/data/fleet/rules.test.yml" >"$out/rules.test.yml"
e2e_check "promtool test rules: the alerts for those boots" promtool test rules "$out/rules.test.yml"
nubora_wine_stop "$ns" "$prefix"
e2e_summary
