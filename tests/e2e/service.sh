#!/usr/bin/env bash
# The service under Wine's service control manager, on the real executable:
# install, the registration it leaves, one configuration run per start, a stop
# request during the run, and removal; beside it the report service
# (`nubora.exe report --install-service`), which tells the boot run on COM1 (a
# pseudo-terminal) and in the Event Log once NuboraService has stopped.
set -euo pipefail
source "$(dirname "$0")/common.sh"

e2e_setup nbs
nubora_netns_add_adapter "$ns" mgmt0 00:00:5e:00:53:02 198.51.100.20/24
cp "$E2E_DATA/dhcp_only.ini" "$windir/ipconfig_xen_vm.ini"
installed="$prefix/drive_c/Program Files/Nubora/NuboraService/NuboraService.exe"
nubora_console_pty "$ns" "$prefix" "$out/console"
debug=fixme+advapi,+eventlog

wine_out() { nubora_wine "$ns" "$prefix" "$@" 2>/dev/null | tr -d '\r'; }
state() { wine_out sc query "${1:-NuboraService}" | awk '/STATE/ {print $4}'; }
wait_state() { # STATE SECONDS [SERVICE]
    local i
    for ((i = 0; i < $2; i++)); do
        [ "$(state "${3:-}")" = "$1" ] && return 0
        sleep 1
    done
    return 1
}

e2e_check "install prints success" \
    test "$(wine_out "$NUBORA_EXE" install)" = "installservice successfully"
e2e_check "the executable is at the install path" cmp -s "$NUBORA_EXE" "$installed"
e2e_check "a second install fails with 1073" \
    test "$(wine_out "$NUBORA_EXE" INSTALL)" = "installservice failed with errorcode=1073"

e2e_check "report --install-service prints success" \
    test "$(wine_out "$NUBORA_TOOL" report --install-service --allow-writable-folder)" = "install report service successfully"

nubora_wine_stop "$ns" "$prefix"  # writes the registry out
report_keys() { tr -d '\r' <"$prefix/system.reg" | sed -n -e '/^\[System\\\\CurrentControlSet\\\\Services\\\\NuboraReport\]/,/^$/p' \
    -e '/^\[System\\\\CurrentControlSet\\\\Services\\\\Event[Ll]og\\\\Application\\\\NuboraService\]/,/^$/p' | grep '^"'; }
# The table's values of the keys, and the registry's lines of the values it names.
python3 "$e2e_here/registration.py" system.reg --tool "$(printf 'Z:%s' "$NUBORA_TOOL" | tr / '\\')" NuboraReport \
    'EventLog\Application\NuboraService' | sort >"$out/report_keys.expected"
python3 "$e2e_here/registration.py" system.reg NuboraService | sort >"$out/registration.expected"
named_in() { awk -F= 'NR == FNR { name[$1]; next } $1 in name' "$1" - | sort; }
report_keys | named_in "$out/report_keys.expected" >"$out/report_keys"
e2e_same "the report service's registration and event source" "$out/report_keys.expected" "$out/report_keys"
tr -d '\r' <"$prefix/system.reg" | sed -n '/^\[System\\\\CurrentControlSet\\\\Services\\\\NuboraService\]/,/^$/p' |
    named_in "$out/registration.expected" >"$out/registration"
e2e_same "registration" "$out/registration.expected" "$out/registration"

: >"$windir/ipconfig_service.log"
# The registration starts automatically when the system (here: the wineserver)
# starts, and stops by itself after its run; so does the report service, whose
# debug output (it inherits the first process's) goes to boot.err.
: >"$out/console"
NUBORA_WINEDEBUG=$debug nubora_wine "$ns" "$prefix" cmd /c exit 2>>"$out/boot.err"
e2e_check "at system start the service runs and ends STOPPED" wait_state STOPPED 30
e2e_check "at system start the service ran once" \
    test "$(grep -c '^start time' "$windir/ipconfig_service.log")" -eq 1
e2e_check "at system start the report service ends STOPPED" wait_state STOPPED 30 NuboraReport
e2e_check "and tells the boot run's verdict" e2e_told \
    "$("$e2e_root/build/linux/nubora" status --codepage 1252 "$windir/ipconfig_service.log" | sed -n 's/^verdict: //p')" "$out/boot.err"

: >"$windir/ipconfig_service.log"
wine_out net start NuboraService >/dev/null || true
e2e_check "a started service ends STOPPED by itself" wait_state STOPPED 30
e2e_normalize_log "$windir/ipconfig_service.log" | e2e_without_slices >"$out/start.log"
e2e_same "a start performs one run" "$E2E_DATA/service_run.log" "$out/start.log"

: >"$windir/ipconfig_service.log"
# netsh takes 20 s: every check up to the report service's stop comes before
# the run's end, however slowly Wine starts each program.
echo 20000 >"$windir/netsh_sleep_ms.txt"
wine_out net start NuboraService >/dev/null || true
wine_out sc stop NuboraService >/dev/null || true
e2e_check "a stop request leaves the service STOP_PENDING" test "$(state)" = STOP_PENDING
# A service that has not stopped: a short wait for it tells its run incomplete.
: >"$out/console"
NUBORA_WINEDEBUG=$debug nubora_wine "$ns" "$prefix" "$NUBORA_TOOL" report --wait-for-service 1 >/dev/null 2>"$out/wait.err"
e2e_check "report --wait-for-service 1 tells event 104" e2e_told incomplete "$out/wait.err"
e2e_check "and that NuboraService is still running" grep -q 'NuboraService still running after 1 s' "$out/console"
# A stop request ends the report service's wait at once, telling nothing.
: >"$out/console"
wine_out net start NuboraReport >/dev/null || true
wine_out sc stop NuboraReport >/dev/null || true
# Had it waited for the run's end (a 20 s run) instead, it would not stop
# within 15 s and would tell the run's verdict.
e2e_check "a stopped report service ends its wait" wait_state STOPPED 15 NuboraReport
e2e_check "and tells nothing" test ! -s "$out/console"
# The run's end line comes before the stop.
e2e_wait_for '^end time' "$windir/ipconfig_service.log" 60 || true
e2e_check "then STOPPED once the run is over" wait_state STOPPED 30
rm -f "$windir/netsh_sleep_ms.txt"
e2e_normalize_log "$windir/ipconfig_service.log" | e2e_without_slices >"$out/stop.log"
e2e_same "a stop during the run is logged and the run completes" \
    "$E2E_DATA/service_run_stopped.log" "$out/stop.log"

# Set to manual start, not started since the server started: the report
# service, which starts with the server, tells that it did not run, not the
# verdict of the log's last run.
wine_out reg add 'HKLM\System\CurrentControlSet\Services\NuboraService' /v Start /t REG_DWORD /d 3 /f >/dev/null
nubora_wine_stop "$ns" "$prefix"
: >"$out/console"
NUBORA_WINEDEBUG=$debug nubora_wine "$ns" "$prefix" cmd /c exit 2>"$out/manual.err"
e2e_check "manual, never started: the report service ends STOPPED" wait_state STOPPED 30 NuboraReport
e2e_check "and tells event 105" e2e_told "not run: NuboraService did not run this boot" "$out/manual.err"

e2e_check "uninstall prints success" \
    test "$(wine_out "$NUBORA_EXE" uninstall)" = "uninstallservice successfully"

# Run from the installed file under another spelling (drive Z: is Wine's whole
# file system): nothing is copied onto the running image, the registration stays.
installed_via_z="Z:$(printf '%s' "$installed" | tr / '\\')"
e2e_check "install from the installed file spelled through Z: succeeds" \
    test "$(wine_out "$installed_via_z" install)" = "installservice successfully"
e2e_check "and keeps its registration" test "$(state)" = STOPPED
wine_out "$NUBORA_EXE" uninstall >/dev/null
e2e_check "a second uninstall fails with 1060" \
    test "$(wine_out "$NUBORA_EXE" uninstall)" = "uninstallservice failed with errorcode=1060"

e2e_check "report --uninstall-service prints success" \
    test "$(wine_out "$NUBORA_TOOL" report --uninstall-service)" = "uninstall report service successfully"
e2e_check "a second one fails with 1060" \
    test "$(wine_out "$NUBORA_TOOL" report --uninstall-service)" = "uninstall report service failed with errorcode=1060"
# Options go into the registered command line. COM2 is mapped to a path that
# does not exist: the port opens and the write fails, which stops the service
# with specific code 2.
wine_out "$NUBORA_TOOL" report --install-service --console COM2 --no-eventlog --allow-writable-folder >/dev/null
wine_out net start NuboraReport >/dev/null || true
e2e_check "a port that fails stops the report service with specific code 2" eval \
    'wait_state STOPPED 10 NuboraReport && wine_out sc query NuboraReport | grep -qE "SERVICE_EXIT_CODE *: *2 "'
# A typo in its command line: at the next start of the system it reports all
# the same, says what it passed over, and stops with specific code 4.
wine_out reg add 'HKLM\System\CurrentControlSet\Services\NuboraReport' /v ImagePath /t REG_EXPAND_SZ \
    /d "\"$(printf 'Z:%s' "$NUBORA_TOOL" | tr / '\\')\" report --service --consol COM2" /f >/dev/null
nubora_wine_stop "$ns" "$prefix"
: >"$out/console"
NUBORA_WINEDEBUG=$debug nubora_wine "$ns" "$prefix" cmd /c exit 2>"$out/typo.err"
e2e_check "an option it does not know stops the report service with specific code 4" eval \
    'wait_state STOPPED 30 NuboraReport && wine_out sc query NuboraReport | grep -qE "SERVICE_EXIT_CODE *: *4 "'
e2e_check "after telling the boot" e2e_told "not run: NuboraService did not run this boot" "$out/typo.err"
e2e_check "and the option it passed over" grep -q 'ignored option: --consol COM2' "$out/console"
wine_out "$NUBORA_TOOL" report --uninstall-service >/dev/null
nubora_wine_stop "$ns" "$prefix"
e2e_check "the report service and the event source are gone" test -z "$(report_keys)"

e2e_summary
