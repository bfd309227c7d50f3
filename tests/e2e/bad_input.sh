#!/usr/bin/env bash
# Bad input, end to end on the real executable under Wine: for each case the
# run ends with exit code 0 and no crash, the log keeps every line of the runs
# before it, and the new block holds the lines the case calls for.
set -euo pipefail
source "$(dirname "$0")/common.sh"

e2e_setup nbb
nubora_netns_add_adapter "$ns" lan0 00:00:5e:00:53:01 198.51.100.20/24
nubora_netns_set_dns "$ns" 198.51.100.53
cases="$e2e_root/tests/data/bad_input"
locker="$e2e_root/build/win64/tests/file_locker.exe"
ini="$windir/ipconfig_xen_vm.ini"
log="$windir/ipconfig_service.log"
printf 'a line of an earlier run\r\n' >"$log"
export NUBORA_WINE_TIMEOUT=120

# run_case NAME [EXPECTED-LINE ...]: one run; each expected line must be in
# the run's block, whole.
run_case() {
    local name=$1 rc=0
    shift
    cp "$log" "$out/before" 2>/dev/null || : >"$out/before"
    : >"$windir/netsh_calls.txt"
    nubora_wine "$ns" "$prefix" "$NUBORA_EXE" >"$out/stdout" 2>"$out/stderr" || rc=$?
    local ok=1 size
    [ "$rc" -eq 0 ] || { echo "  exit code $rc"; ok=0; }
    if grep -qiE 'unhandled|page fault|backtrace' "$out/stderr"; then echo "  crashed"; ok=0; fi
    if [ -f "$log" ]; then
        size=$(stat -c %s "$out/before")
        cmp -s -n "$size" "$out/before" "$log" || { echo "  earlier lines changed"; ok=0; }
        tail -c +"$((size + 1))" "$log" | tr -d '\r' >"$out/block"
        head -n 1 "$out/block" | grep -q '^start time ' || { echo "  no start line"; ok=0; }
        tail -n 2 "$out/block" | grep -qE '^(end time .*|.*config file error , no configure information)$' \
            || { echo "  the block does not end as a run ends"; ok=0; }
        local line
        for line in "$@"; do
            grep -qxF -- "$line" "$out/block" || { echo "  missing: $line"; ok=0; }
        done
    fi
    if [ "$ok" -eq 1 ]; then e2e_ok "$name"; else e2e_fail "$name"; fi
}

: >"$ini"
run_case "empty file" \
    "GetPrivateProfileSectionNames failedconfig file error , no configure information"

head -c 65536 "$NUBORA_EXE" >"$ini"
run_case "binary file"

{ for i in $(seq 1 100000); do printf '; filler line %06d of a large provisioning file\r\n' "$i"; done
  printf '[lan]\r\nMAC=00:00:5e:00:53:01\r\nDHCP=1\r\n'; } >"$ini"
e2e_check "the large file is over 5 MB" test "$(stat -c %s "$ini")" -gt 5000000
run_case "5 MB file" 'c:\windows\system32\netsh.exe interface ip set address name="lan0" dhcp'

cp "$cases/utf16.ini" "$ini"
run_case "UTF-16 file" "Find Adapter Name: lan0" "config ip=192.0.2.10"

printf '[lan]\r\nMAC=00:00:5e:00:53:01\r\nIP=%s\r\nMASK=255.255.255.0\r\n' "$(printf '9%.0s' $(seq 1 5000))" >"$ini"
run_case "a value of 5000 characters" "ip=$(printf '9%.0s' $(seq 1 1023))" \
    "command line too long , not run : c:\\windows\\system32\\netsh.exe interface ip set address name=\"lan0\" static $(printf '9%.0s' $(seq 1 1023)) 255.255.255.0  "

for i in $(seq 1 200); do printf '[section-%03d]\r\nMAC=00:00:5e:00:53:01\r\nDHCP=1\r\n' "$i"; done >"$ini"
run_case "200 sections" "parsing config file for section-001" "parsing config file for section-085"
e2e_check "200 sections: only the names that fit are read" \
    test "$(grep -cE '^parsing config file for section-[0-9]{3}$' "$out/block")" -eq 85

cp "$cases/sections_alike.ini" "$ini"
run_case "sections named alike"
e2e_check "sections named alike: each reads the first of its name" \
    test "$(grep -c '^mac=00:00:5e:00:53:01$' "$out/block")" -eq 3

cp "$cases/mac_11_chars.ini" "$ini"
run_case "a MAC of 11 characters" "config macaddr=00:00:5e:00" \
    "config file error , no configure information"
cp "$cases/mac_40_chars.ini" "$ini"
run_case "a MAC of 40 characters" "Find Adapter Name: lan0" "dhcp enabled"

printf '[lan]\r\nMAC=00:00:5e:00:53:01\r\nIP=%s\r\nMASK=255.255.255.0\r\n' \
    "$(seq -s, -f '192.0.2.%g' 1 100)" >"$ini"
run_case "an IP list of 100 items" "ip adr : 192.0.2.1" "start set config ip submask gateway..."
e2e_check "an IP list of 100 items: one command per address read" \
    test "$(grep -c '^c:.*netsh.exe interface ip ...\? address' "$out/block")" -eq \
    "$(grep -c '^ip adr : ' "$out/block")"

cp "$cases/utf16.ini" "$ini"
nubora_wine "$ns" "$prefix" "$locker" 'c:\windows\ipconfig_xen_vm.ini' 8000 &
locker_pid=$!
sleep 3
run_case "a file locked by another process"
wait "$locker_pid" || true

printf '[lan]\r\nMAC=00:00:5e:00:53:01\r\nDHCP=1\r\n' >"$ini"
mv "$windir/system32/netsh.exe" "$out/netsh.exe"
run_case "netsh.exe missing" "CreateProcess failed (2)" \
    'wait c:\windows\system32\cmd.exe /c c:\windows\ipconfig_post.bat  successfully'
mv "$out/netsh.exe" "$windir/system32/netsh.exe"

rm -f "$windir/ipconfig_post.bat"
run_case "post script missing" 'c:\windows\system32\cmd.exe /c c:\windows\ipconfig_post.bat'

mv "$log" "$out/kept.log"
mkdir "$log"
run_case "a log file that cannot be written"
e2e_check "a log file that cannot be written: the run still configured" \
    grep -q 'name="lan0" dhcp' "$windir/netsh_calls.txt"
rmdir "$log"
mv "$out/kept.log" "$log"

e2e_summary
