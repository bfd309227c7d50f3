#!/usr/bin/env bash
# Every machine of tests/scenarios (but those marked e2e=no) on the real
# executable under Wine: a network namespace built from adapters.ini, the INI
# file in c:\windows, one run, and its log block and netsh command lines held
# to the same expected files the unit player uses (what `nubora status` tells
# of expected.log is held by the unit tests), and the verdict of the
# scenario's expected.status, which `nubora.exe report` must tell on COM1 (a
# pseudo-terminal) and as its event. Each run also must exit with
# 0 without a crash, leave the earlier log bytes as they were, end its lines
# with CR LF, reach the netsh.exe of its own width and run the post script, in
# the 64-bit cmd.exe, exactly when it configured. Then, on the x86-64 build
# alone (that code is the same at either width), the inputs that need more
# than files, the verbs that do nothing, the report's missing port and the
# executables' imports.
set -euo pipefail
source "$(dirname "$0")/common.sh"

e2e_setup nbe
nubora_console_pty "$ns" "$prefix" "$out/console"
scenarios="$e2e_root/tests/scenarios"
log="$windir/ipconfig_service.log"
earlier='a line of an earlier run'
where=$([ "$NUBORA_ARCH" = i686 ] && echo syswow64 || echo system32)
export NUBORA_WINE_TIMEOUT=120
n=0
told=()  # NAME|VERDICT of each log saved for nubora.exe report

setting() { sed -n "s/^$2=//p" "$1/settings" 2>/dev/null | head -n 1; }
# The 32-bit pass plays the folders whose runs reach what differs by width:
# netsh in syswow64, the post script in the 64-bit cmd.exe with redirection
# off, a hung or missing netsh, adapters read from the 32-bit structures. The
# others are the same code at either width, and every run under the emulator
# costs seconds.
wow64_folders=(first_run_configures converged_changes_nothing mac_matched_on_all_six_bytes
    hung_netsh_times_out netsh_missing_fails_to_start post_script_missing)

# machine FOLDER: a fresh namespace holding FOLDER's adapters, in file order so
# that Wine's adapter ids are the ones adapters.ini gives; refuses what Wine
# cannot show (DNS lists that differ or are empty, a second gateway). The
# machine in place (its namespace and Wine server) is kept when it holds the
# same adapters and its last run left no process behind: Wine's adapter list
# keeps every interface it has seen by index, so adapters are never swapped
# under a running server.
machine() {
    local adapters
    adapters=$(cat "$1/adapters.ini" 2>/dev/null; echo .)
    [ "$adapters" != "${machine_adapters:-}" ] && machine_adapters=$adapters || return 0
    # Every process of the last machine ends first: a netsh that outlived its
    # run must not write into the next run's standard error.
    nubora_wine_stop "$ns" "$prefix"
    nubora_netns_delete "$ns"
    ns="nbe$$-$((n += 1))"
    nubora_netns_create "$ns"
    [ -s "$1/adapters.ini" ] || return 0
    local name mac addresses gateway dns id dnslist="" gateways=0 index=1
    while IFS='|' read -r name mac addresses gateway dns id; do
        index=$((index + 1))
        [ -n "$dns" ] && [ "$dnslist" = "" -o "$dnslist" = "$dns" ] || { echo "  $name: Wine shows one DNS list on every adapter"; return 1; }
        [ "$id" = "{0000000$index-0000-0000-0000-4E6574446576}" ] || { echo "  $name: Wine's id is number $index"; return 1; }
        dnslist=$dns
        # shellcheck disable=SC2086
        nubora_netns_add_adapter "$ns" "$name" "$mac" ${addresses//,/ }
        [ -z "$gateway" ] || { nubora_netns_set_gateway "$ns" "$gateway" "$name"; gateways=$((gateways + 1)); }
    done < <(awk -F= 'function section() { if (s) print s "|" k["MAC"] "|" k["ADDRESSES"] "|" k["GATEWAY"] "|" k["DNS"] "|" k["ID"] }
                      /^\[/ {section(); s = substr($0, 2, length($0) - 2); delete k; next}
                      /=/ {k[$1] = substr($0, length($1) + 2)} END {section()}' <(tr -d '\r' <"$1/adapters.ini"))
    [ "$gateways" -le 1 ] || { echo "  one default gateway at most"; return 1; }
    # shellcheck disable=SC2086
    nubora_netns_set_dns "$ns" ${dnslist//,/ }
}

# run NAME: one run on the INI file in place; the generic checks, and the
# block it appended, normalized, in $out/block. Fails when a check does.
run() {
    local rc=0 ok=0 size
    printf '%s\r\n' "$earlier" >"$log"
    : >"$windir/netsh_calls.txt"
    : >"$windir/netsh_where.txt"
    rm -f "$windir/post_mark.txt"
    e2e_wine "$NUBORA_EXE" >"$out/stdout" 2>"$out/stderr" || rc=$?
    [ "$rc" -eq 0 ] || { echo "  exit code $rc"; ok=1; }
    [ ! -s "$out/stdout" ] || { echo "  printed: $(head -c 200 "$out/stdout")"; ok=1; }
    ! grep -iE 'unhandled|page fault|backtrace' "$out/stderr" >"$out/crash" || { echo "  crashed: $(head -c 300 "$out/crash")"; ok=1; }
    [ -f "$log" ] || return $ok
    size=$(printf '%s\r\n' "$earlier" | wc -c)
    [ "$(head -c "$size" "$log")" = "$earlier"$'\r' ] || { echo "  earlier lines changed"; ok=1; }
    e2e_all_crlf "$log" || { echo "  a line without CR LF"; ok=1; }
    tail -c +"$((size + 1))" "$log" >"$out/raw"
    e2e_normalize_log "$out/raw" >"$out/block"
    local ran=0 configured=0
    [ -f "$windir/post_mark.txt" ] && ran=1
    grep -qx 'configure end' "$out/block" && [ -f "$windir/ipconfig_post.bat" ] && configured=1
    [ "$ran" -eq "$configured" ] || { echo "  post script ran: $ran, expected: $configured"; ok=1; }
    [ "$ran" -eq 0 ] || [ "$(tr -d '\r\n' <"$windir/post_mark.txt")" = AMD64 ] ||
        { echo "  post script not in the 64-bit cmd.exe: $(cat "$windir/post_mark.txt")"; ok=1; }
    ! grep -qvx "c:\\\\windows\\\\$where\\\\netsh.exe" "$windir/netsh_where.txt" ||
        { echo "  netsh.exe not from $where:"; head -c 300 "$windir/netsh_where.txt"; ok=1; }
    return $ok
}

logged_time() { date -d "$(sed -n "s/^$1 time //p" "$out/raw" | tr -d ' \r' | tr , ' ')" +%s; }
post_script() { printf '@echo off\r\necho %%PROCESSOR_ARCHITECTURE%%>> c:\\windows\\post_mark.txt\r\n' >"$windir/ipconfig_post.bat"; }
netsh_away() { for d in system32 syswow64; do [ ! -f "$windir/$d/netsh.exe" ] || mv "$windir/$d/netsh.exe" "$windir/$d/netsh.away"; done; }
netsh_back() { for d in system32 syswow64; do [ ! -f "$windir/$d/netsh.away" ] || mv "$windir/$d/netsh.away" "$windir/$d/netsh.exe"; done; }

# Folders that share their adapters one after another, so that they share a
# machine.
for name in $(cd "$scenarios" && for f in ${NUBORA_SCENARIOS:-*}/; do
    echo "$(cat "$f/adapters.ini" 2>/dev/null | md5sum | cut -c 1-32) ${f%/}"; done | sort | cut -d ' ' -f 2-); do
    folder=$scenarios/$name
    [ -d "$folder" ] && [ "$(setting "$folder" e2e)" != no ] || continue
    [ "$NUBORA_ARCH" != i686 ] || [[ " ${wow64_folders[*]} " == *" $name "* ]] || continue
    machine "$folder" >"$out/machine" || { machine_adapters=""; cat "$out/machine"; e2e_fail "$name: the machine"; continue; }
    rm -f "$windir/ipconfig_xen_vm.ini"
    [ ! -f "$folder/ipconfig_xen_vm.ini" ] || cp "$folder/ipconfig_xen_vm.ini" "$windir/"
    post_script
    [ "$(setting "$folder" post_script)" != missing ] || rm "$windir/ipconfig_post.bat"
    [ -z "$(setting "$folder" netsh_start_error)" ] || netsh_away
    [ "$(setting "$folder" netsh_ends_in_slice)" != 0 ] || echo 40000 >"$windir/netsh_sleep_ms.txt"
    e2e_check "$name: the run" run
    netsh_back
    rm -f "$windir/netsh_sleep_ms.txt"
    e2e_same_log "$name: log" "$folder/expected.log" "$out/block"
    tr -d '\r' <"$windir/netsh_calls.txt" >"$out/netsh"
    e2e_same "$name: netsh command lines" "$folder/expected.netsh" "$out/netsh"
    cp "$log" "$windir/report${#told[@]}.log"
    told+=("$name|$(sed -n 's/^verdict: //p' "$folder/expected.status")")
    if [ "$(setting "$folder" netsh_ends_in_slice)" = 0 ]; then
        # By the run's own clock lines: Wine's start-up is not the run's wait.
        elapsed=$(($(logged_time end) - $(logged_time start)))
        e2e_check "$name: waited about 30 s ($elapsed s)" test "$elapsed" -ge 29 -a "$elapsed" -le 50
        machine_adapters=""  # its netsh still runs
    fi
done

# Each scenario's log told by nubora.exe report, all in one Wine start: one
# cmd.exe runs them in turn; the console splits at each report's leading CR LF,
# the events come in order.
if [ "${#told[@]}" -gt 0 ]; then
    { printf '@echo off\r\n'; for i in "${!told[@]}"; do
        printf '"%s" report c:\\windows\\report%d.log\r\n' "$(e2e_winpath "$NUBORA_TOOL")" "$i"; done; } >"$windir/reports.bat"
    : >"$out/console"
    NUBORA_WINEDEBUG=fixme+advapi,+eventlog e2e_wine cmd /c 'c:\windows\reports.bat' >/dev/null 2>"$out/reports.err" || true
    for ((i = 0; i < 50; i++)); do [ "$(grep -c $'^\r$' "$out/console")" -lt "${#told[@]}" ] || break; sleep 0.1; done
    sleep 0.5
    cp "$out/console" "$out/consoles"
    for i in "${!told[@]}"; do
        awk -v want="$((i + 1))" '/^\r$/ {k++} k == want' "$out/consoles" >"$out/console"
        for channel in fixme:advapi eventlog; do grep -a "$channel:ReportEventW" "$out/reports.err" | sed -n "$((i + 1))p"; done >"$out/report.err"
        e2e_check "${told[i]%%|*}: nubora.exe report tells its verdict" e2e_told "${told[i]#*|}" "$out/report.err"
    done
    : >"$out/console"
fi
if [ "$NUBORA_ARCH" = i686 ]; then
    # The 32-bit cmd.exe tells itself apart, so the post script's check can fail.
    e2e_prints "the 32-bit cmd.exe reports x86" x86 'c:\windows\syswow64\cmd.exe' /c 'echo %PROCESSOR_ARCHITECTURE%'
    e2e_summary
    exit
fi
# The rest goes through code that is the same at either width: once, on the
# x86-64 build.

# Inputs that need more than a file, on a machine with one adapter, lan0.
machine "$scenarios/netsh_missing_fails_to_start"
post_script
ini="$windir/ipconfig_xen_vm.ini"
{ for i in $(seq 1 100000); do printf '; filler line %06d of a large provisioning file\r\n' "$i"; done
  printf '[lan]\r\nMAC=00:00:5e:00:53:01\r\nDHCP=1\r\n'; } >"$ini"
e2e_check "a 5 MB file: the run" run
e2e_check "a 5 MB file: lan0 switched to DHCP" grep -q 'name="lan0" dhcp' "$windir/netsh_calls.txt"

# The locker holds the file from its "locked" until its standard input ends.
mkfifo "$out/hold"
e2e_wine "$e2e_root/build/win64/tests/file_locker.exe" 'c:\windows\ipconfig_xen_vm.ini' \
    <"$out/hold" >"$out/locked" &
locker=$!
exec 7>"$out/hold"
for ((i = 0; i < 600; i++)); do [ ! -s "$out/locked" ] || break; sleep 0.1; done
e2e_check "a file locked by another process: the run" run
e2e_same "a file locked by another process: read as an empty file" \
    "$scenarios/empty_file/expected.log" "$out/block"
exec 7>&-
wait "$locker" || true

rm -f "$log"
mkdir "$log"
e2e_exits 0 "a log that cannot be written" e2e_wine "$NUBORA_EXE"
e2e_check "a log that cannot be written: the run still configured" grep -q 'name="lan0" dhcp' "$windir/netsh_calls.txt"
rmdir "$log"

# "-k" is left out: run by hand, Wine's dispatcher connects to the control
# pipe of whichever service the service manager started last, so what it
# does depends on Wine's services, not on this executable.
printf '%s\r\n' "$earlier" >"$log"
verb_did_nothing() { # VERB: exit code 0, nothing printed, nothing logged
    local rc=0
    e2e_wine "$NUBORA_EXE" "$1" >"$out/verb.out" 2>/dev/null || rc=$?
    [ "$rc" -eq 0 ] && [ ! -s "$out/verb.out" ] && [ "$(cat "$log")" = "$earlier"$'\r' ] ||
        { echo "  exit code $rc, printed $(head -c 100 "$out/verb.out"), log: $(head -c 300 "$log")"; return 1; }
}
for verb in /install --install hello; do
    e2e_check "'$verb' exits with 0, prints and logs nothing" verb_did_nothing "$verb"
done

# A port that cannot be written (COM2: a path that does not exist) is told on
# standard error, and the report still ends with 0.
e2e_exits 0 "report --console COM2 (no such port)" e2e_wine "$NUBORA_TOOL" report --console COM2
e2e_check "report --console COM2: told on standard error" grep -q 'cannot write to COM2' "$out/stderr"

# Each executable as shipped: only system DLLs imported, ASLR and DEP, stack
# canaries linked in; the 32-bit tool large-address-aware; the service under
# 400 KB.
shipped_right() { # EXE [CHARACTERISTIC]
    local header
    header=$(x86_64-w64-mingw32-objdump -p "$1") && grep -q DYNAMIC_BASE <<<"$header" &&
        grep -q NX_COMPAT <<<"$header" && grep -qa 'stack smashing detected' "$1" &&
        ! awk '/DLL Name:/ {print tolower($3)}' <<<"$header" |
        grep -qvxE 'advapi32\.dll|iphlpapi\.dll|kernel32\.dll|msvcrt\.dll|setupapi\.dll|ws2_32\.dll' &&
        { [ -z "${2:-}" ] || [ $(($(awk '/^Characteristics/ {print $2}' <<<"$header") & $2)) -ne 0 ]; }
}
service32="$e2e_root/build/win32/NuboraService.exe"
e2e_check "build/win32/NuboraService.exe: under 400 KB ($(stat -c %s "$service32") bytes)" \
    test "$(stat -c %s "$service32")" -lt 409600
for exe in "$service32" "$NUBORA_EXE" "$NUBORA_TOOL"; do
    e2e_check "${exe#"$e2e_root"/}: system DLLs only, ASLR, DEP, stack canaries" shipped_right "$exe"
done
e2e_check "build/win32/nubora.exe: the same, and large-address-aware" shipped_right "$e2e_root/build/win32/nubora.exe" 0x20

e2e_summary
