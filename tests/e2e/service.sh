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
report_event_source='NuboraReport EventLog\Application\NuboraService'

e2e_prints "install prints success" "installservice successfully" "$NUBORA_EXE" install
e2e_check "the executable is at the install path" cmp -s "$NUBORA_EXE" "$installed"
e2e_prints "a second install fails with 1073" "installservice failed with errorcode=1073" "$NUBORA_EXE" INSTALL
e2e_prints "report --install-service prints success" "install report service successfully" \
    "$NUBORA_TOOL" report --install-service --allow-writable-folder

nubora_wine_stop "$ns" "$prefix"  # writes the registry out
# services_keys KEY...: the value lines of these keys under Services in
# system.reg (which doubles the backslashes of its key names), in any case.
services_keys() {
    tr -d '\r' <"$prefix/system.reg" | KEYS="$*" awk 'BEGIN { n = split(tolower(ENVIRON["KEYS"]), k, " ")
        for (i = 1; i <= n; i++) { gsub(/\\/, "/", k[i]); want["[system/currentcontrolset/services/" k[i] "]"] } }
        /^\[/ { h = tolower($1); gsub(/\\+/, "/", h); on = h in want } on && /^"/'
}
# The table's values of the keys, and the registry's lines of the values it names.
# shellcheck disable=SC2086 # the keys are words
for keys in "$report_event_source" NuboraService; do
    python3 "$e2e_here/registration.py" system.reg --tool "$(e2e_winpath "$NUBORA_TOOL")" $keys | sort >"$out/keys.expected"
    services_keys $keys | awk -F= 'NR == FNR { name[$1]; next } $1 in name' "$out/keys.expected" - | sort >"$out/keys"
    e2e_same "the registration of $keys" "$out/keys.expected" "$out/keys"
done

: >"$windir/ipconfig_service.log"
# The registration starts automatically when the system (here: the wineserver)
# starts, and stops by itself after its run; so does the report service, whose
# debug output (it inherits the first process's) goes to boot.err.
e2e_boot "$out/boot.err"
e2e_check "at system start the service runs and ends STOPPED" e2e_wait_state STOPPED 30
e2e_check "at system start the service ran once" \
    test "$(grep -c '^start time' "$windir/ipconfig_service.log")" -eq 1
e2e_check "at system start the report service ends STOPPED" e2e_wait_state STOPPED 30 NuboraReport
e2e_check "and tells the boot run's verdict" e2e_told \
    "$("$e2e_root/build/linux/nubora" status --codepage 1252 "$windir/ipconfig_service.log" | sed -n 's/^verdict: //p')" "$out/boot.err"

: >"$windir/ipconfig_service.log"
e2e_wine_out net start NuboraService >/dev/null || true
e2e_check "a started service ends STOPPED by itself" e2e_wait_state STOPPED 30
e2e_same_log "a start performs one run" "$E2E_DATA/service_run.log" "$windir/ipconfig_service.log"

: >"$windir/ipconfig_service.log"
# netsh takes 20 s: every check up to the report service's stop comes before
# the run's end, however slowly Wine starts each program.
echo 20000 >"$windir/netsh_sleep_ms.txt"
e2e_wine_out net start NuboraService >/dev/null || true
e2e_wine_out sc stop NuboraService >/dev/null || true
e2e_check "a stop request leaves the service STOP_PENDING" test "$(e2e_state)" = STOP_PENDING
# A service that has not stopped: a short wait for it tells its run incomplete.
: >"$out/console"
NUBORA_WINEDEBUG=fixme+advapi,+eventlog e2e_wine "$NUBORA_TOOL" report --wait-for-service 1 >/dev/null 2>"$out/wait.err"
e2e_check "report --wait-for-service 1 tells event 104" e2e_told incomplete "$out/wait.err"
e2e_check "and that NuboraService is still running" grep -q 'NuboraService still running after 1 s' "$out/console"
# A stop request ends the report service's wait at once, telling nothing.
: >"$out/console"
e2e_wine_out net start NuboraReport >/dev/null || true
e2e_wine_out sc stop NuboraReport >/dev/null || true
# Had it waited for the run's end (a 20 s run) instead, it would not stop
# within 15 s and would tell the run's verdict.
e2e_check "a stopped report service ends its wait" e2e_wait_state STOPPED 15 NuboraReport
e2e_check "and tells nothing" test ! -s "$out/console"
# The run's end line comes before the stop.
e2e_wait_for '^end time' "$windir/ipconfig_service.log" 60 || true
e2e_check "then STOPPED once the run is over" e2e_wait_state STOPPED 30
rm -f "$windir/netsh_sleep_ms.txt"
e2e_same_log "a stop during the run is logged and the run completes" "$E2E_DATA/service_run_stopped.log" \
    "$windir/ipconfig_service.log"

# Set to manual start, not started since the server started: the report
# service, which starts with the server, tells that it did not run, not the
# verdict of the log's last run.
e2e_reg_set 'HKLM\System\CurrentControlSet\Services\NuboraService' Start REG_DWORD 3
e2e_boot "$out/manual.err"
e2e_check "manual, never started: the report service ends STOPPED" e2e_wait_state STOPPED 30 NuboraReport
e2e_check "and tells event 105" e2e_told "not run: NuboraService did not run this boot" "$out/manual.err"

e2e_prints "uninstall prints success" "uninstallservice successfully" "$NUBORA_EXE" uninstall

# Run from the installed file under another spelling (drive Z: is Wine's whole
# file system): nothing is copied onto the running image, the registration stays.
e2e_prints "install from the installed file spelled through Z: succeeds" "installservice successfully" \
    "$(e2e_winpath "$installed")" install
e2e_check "and keeps its registration" test "$(e2e_state)" = STOPPED
e2e_wine_out "$NUBORA_EXE" uninstall >/dev/null
e2e_prints "a second uninstall fails with 1060" "uninstallservice failed with errorcode=1060" "$NUBORA_EXE" uninstall
e2e_prints "report --uninstall-service prints success" "uninstall report service successfully" \
    "$NUBORA_TOOL" report --uninstall-service
e2e_prints "a second one fails with 1060" "uninstall report service failed with errorcode=1060" \
    "$NUBORA_TOOL" report --uninstall-service
# Options go into the registered command line. COM2 is mapped to a path that
# does not exist: the port opens and the write fails, which stops the service
# with specific code 2.
stopped_with() { # CODE SECONDS: NuboraReport stopped, with that specific exit code
    e2e_wait_state STOPPED "$2" NuboraReport && e2e_wine_out sc query NuboraReport | grep -qE "SERVICE_EXIT_CODE *: *$1 "
}
e2e_wine_out "$NUBORA_TOOL" report --install-service --console COM2 --no-eventlog --allow-writable-folder >/dev/null
e2e_wine_out net start NuboraReport >/dev/null || true
e2e_check "a port that fails stops the report service with specific code 2" stopped_with 2 10
# A typo in its command line: at the next start of the system it reports all
# the same, says what it passed over, and stops with specific code 4.
e2e_reg_set 'HKLM\System\CurrentControlSet\Services\NuboraReport' ImagePath REG_EXPAND_SZ \
    "\"$(e2e_winpath "$NUBORA_TOOL")\" report --service --consol COM2"
e2e_boot "$out/typo.err"
e2e_check "an option it does not know stops the report service with specific code 4" stopped_with 4 30
e2e_check "after telling the boot" e2e_told "not run: NuboraService did not run this boot" "$out/typo.err"
e2e_check "and the option it passed over" grep -q 'ignored option: --consol COM2' "$out/console"
e2e_wine_out "$NUBORA_TOOL" report --uninstall-service >/dev/null
nubora_wine_stop "$ns" "$prefix"
# shellcheck disable=SC2086
e2e_check "the report service and the event source are gone" test -z "$(services_keys $report_event_source)"

e2e_summary
