#!/usr/bin/env bash
# The nubora tool through its command line. preview: a missing adapter's
# record, and --adapters host in a namespace (its run uses the stand-ins the
# unit player holds to the scenarios, on Linux and under Wine alike, so its
# agreement with the real executable needs no more here). status: a missing
# log, the JSON schema, the memory a huge last line costs, and the Windows
# build telling the same as the Linux one.
set -euo pipefail
source "$(dirname "$0")/common.sh"

nubora=$e2e_root/build/linux/nubora  # the Linux build; nubora.exe runs under Wine below
data="$e2e_root/tests/data"
scenario="$e2e_root/tests/scenarios/first_run_configures"
out=$(mktemp -d /tmp/nbpv.XXXXXX)
nubora_cleanup_trap
trap 'rm -rf "$out"; nubora_cleanup' EXIT

section() { awk -v m="$2" '$0 == m {on = 1; next} /^----- / {on = 0} on' "$1"; }

# Built hardened: buffer calls checked (glibc's _chk forms), stack canaries.
e2e_check "the Linux tool: fortified and with stack canaries" bash -c \
    'symbols=$(nm -D "$1") && grep -q "__stack_chk_fail" <<<"$symbols" && grep -q "__.*_chk@" <<<"$symbols"' - "$nubora"

e2e_exits 1 "preview, an adapter missing" "$nubora" preview "$E2E_DATA/worked_example.ini" --adapters "$data/preview/missing_adapter.ini"
e2e_check "missing adapter: the record says so" grep -q -- '-- no adapter has this MAC' "$out/stdout"
section "$out/stdout" "----- log" | sed 's/$/\r/' >"$out/missing.crlf"
e2e_exits 2 "status of a missing log" "$nubora" status "$data/status/does_not_exist.log"
e2e_check "a missing log: its error told in words" grep -q '(error 2: file not found)' "$out/stderr"
e2e_exits 1 "status --json of the preview's log" "$nubora" status --json "$out/missing.crlf"
# Every JSON document it gives of the test logs holds to the schema it ships.
for log in "$data"/status/*.log "$e2e_root"/tests/scenarios/*/expected.log; do
    e2e_as_written "$log" >"$out/schema.crlf"
    name=$(basename "$(dirname "$log")")-$(basename "$log" .log)
    for form in --json --all; do
        "$nubora" status --json $form "$out/schema.crlf" >"$out/$name$form.json" || true
    done
done
e2e_check "status --json: every document valid against nubora/status/status.schema.json" /usr/bin/python3 - \
    "$e2e_root/nubora/status/status.schema.json" "$out"/*.json "$out/stdout" "$data"/status/*.status <<'EOF'
import json, sys, jsonschema
schema = json.load(open(sys.argv[1]))
jsonschema.Draft7Validator.check_schema(schema)
validator, bad = jsonschema.Draft7Validator(schema), 0
for path in sys.argv[2:]:
    text = open(path, encoding="utf-8").read()
    if not text.startswith("{"): continue  # a golden file of text
    for error in validator.iter_errors(json.loads(text)):
        print(path, list(error.absolute_path), error.message)
        bad += 1
sys.exit(bad > 0)
EOF
# A last line of 50 MB (NULs after a power cut), or a run of 2 000 000 lines, costs
# the readers at most 16 MB more.
e2e_as_written "$scenario/expected.log" >"$out/short.crlf"
{ cat "$out/short.crlf"; head -c 50000000 /dev/zero; } >"$out/long.crlf"
{ head -1 "$out/short.crlf"; head -c 2000000 /dev/zero | tr '\0' '\n'; } >"$out/lines.crlf"
peak_kb() { { /usr/bin/time -f %M "$@" 2>&1 >/dev/null || true; } | tail -1; }
for verb in "status" "status --all" "report --console none --no-eventlog"; do
    short=$(peak_kb "$nubora" $verb "$out/short.crlf")
    for big in "long:a 50 MB last line costs" "lines:2 000 000 lines cost"; do
        more=$(($(peak_kb "$nubora" $verb "$out/${big%%:*}.crlf") - short))
        e2e_check "$verb: ${big#*:} $more KB more (at most 16 MB)" test "$more" -le 16384
    done
done
# Short of memory a log is told unread, never a crash: under the least limit a short
# log is read under, a run of long lines is not.
limit=4000
while ((limit < 65536)) && ! (ulimit -v $limit; "$nubora" status "$out/short.crlf" >/dev/null; (($? == 1))) 2>/dev/null; do
    limit=$((limit + 250))
done
{ head -1 "$out/short.crlf"; awk 'BEGIN { for (i = 0; i < 20000; i++) printf "%0100d\r\n", 0 }'; } >"$out/wide.crlf"
e2e_exits 2 "status short of memory" bash -c "ulimit -v $limit; exec \"$nubora\" status \"$out/wide.crlf\""
e2e_check "short of memory: told as a log it cannot read" grep -q '(out of memory)$' "$out/stderr"
# The Windows build reads the same bytes the same way (a CP936 section name),
# in the code page of LocalSystem's locale (Chinese, PRC) without being told.
e2e_as_written "$data/status/cp936.log" >"$out/cp936.crlf"
wine_unit() { NUBORA_UNIT_PREFIX=${NUBORA_UNIT_PREFIX:-$e2e_root/build/cache/wine-unit} "$e2e_root/scripts/wine-run.sh" "$@"; }
international='HKU\.DEFAULT\Control Panel\International'
locale=$(wine_unit reg query "$international" /v Locale 2>/dev/null | tr -d '\r' | awk '$1 == "Locale" {print $3}' || true)
wine_unit reg add "$international" /v Locale /d 00000804 /f >/dev/null
for form in --json ""; do  # --all is written the way the text is
    # Text in the C locale: characters it lacks come out as '?', as in Wine's code page 1252.
    LC_ALL=C "$nubora" status --codepage 936 $form "$out/cp936.crlf" >"$out/cp936-linux" || true
    wine_unit "$e2e_root/build/win64/nubora.exe" status $form "$out/cp936.crlf" | tr -d '\r' >"$out/cp936-wine" || true
    e2e_same "status ${form:-(text)} of a CP936 log: nubora.exe under Wine as on Linux" \
        "$out/cp936-linux" "$out/cp936-wine"
done
if [[ -n $locale ]]; then wine_unit reg add "$international" /v Locale /d "$locale" /f >/dev/null
else wine_unit reg delete "$international" /v Locale /f >/dev/null; fi

# The adapters of the machine it runs on: a namespace holding the example's.
ns="nbpv$$"
nubora_netns_create "$ns"
nubora_netns_add_adapter "$ns" Ethernet 00:00:5e:00:53:10 192.0.2.5/24
nubora_netns_set_gateway "$ns" 192.0.2.1 Ethernet
nubora_netns_set_dns "$ns" 198.51.100.2
e2e_exits 0 "preview --adapters host" ip netns exec "$ns" "$nubora" preview "$E2E_DATA/worked_example.ini" --adapters host
e2e_check "host adapters: the snapshot is this namespace's" grep -qx 'current config gateway=192.0.2.1' "$out/stdout"

e2e_summary
