#!/usr/bin/env bash
# The main job on the built-in example: the real x86-64 executable under Wine,
# in a throwaway network namespace whose adapters carry the example's MACs.
# Prints the log it wrote and the netsh command lines it issued, for a first
# run (which configures) and a second run once the namespace matches the INI
# file (which changes nothing but the DHCP adapter's one command). After each
# run `nubora.exe report` tells it: the lines it wrote to COM1 (here a
# pseudo-terminal) and the event it reported (Wine shows it in its debug
# output); then what nubora status tells of the last run in that log; last,
# nubora doctor on a machine whose old adapter, gone with a driver change,
# still keeps the example's static address: told, mended with its backup
# shown, and told healthy after.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 >/dev/null
source tools/wine-netns.sh

nubora_cleanup_trap
tag="nbdemo$$"
ns="$tag"
prefix="/tmp/$tag-w"
nubora_prefix_init "$prefix" build/win64/tools/netsh_recorder.exe 2>&1  # progress, not an error
windir=$(nubora_windir "$prefix")
cp examples/ipconfig_xen_vm.ini "$windir/ipconfig_xen_vm.ini"
cp examples/ipconfig_post.bat "$windir/ipconfig_post.bat"

# Adapters of the example: lan (static) and mgmt (DHCP); old and partial are
# sections the service skips.
nubora_netns_create "$ns"
nubora_netns_add_adapter "$ns" lan0 00:00:5e:00:53:01 203.0.113.5/24
nubora_netns_add_adapter "$ns" mgmt0 00:00:5e:00:53:02 198.51.100.20/24
nubora_netns_set_dns "$ns" 203.0.113.53
console="$prefix/console.out"
nubora_console_pty "$ns" "$prefix" "$console"

show_run() {
    : >"$windir/netsh_calls.txt"
    local before=0
    [ ! -f "$windir/ipconfig_service.log" ] || before=$(wc -c <"$windir/ipconfig_service.log")
    nubora_wine "$ns" "$prefix" "$PWD/build/win64/NuboraService.exe"
    echo "----- c:\\windows\\ipconfig_service.log (this run's block)"
    tail -c +"$((before + 1))" "$windir/ipconfig_service.log" | tr -d '\r'
    echo "----- netsh command lines issued"
    tr -d '\r' <"$windir/netsh_calls.txt"
    : >"$console"
    NUBORA_WINEDEBUG=fixme+advapi,+eventlog nubora_wine "$ns" "$prefix" "$PWD/build/win64/nubora.exe" \
        report >/dev/null 2>"$prefix/report.err"
    sleep 0.3  # the pseudo-terminal's reader
    echo "----- serial console COM1 (nubora.exe report)"
    tr -d '\r' <"$console"
    echo "----- Event Log: source NuboraService, type and event ID, then the text"
    sed -n 's/.*fixme:advapi:ReportEventW ([^,]*,\(0x[0-9a-f]*\),[^,]*,\(0x[0-9a-f]*\),.*/type \1, ID \2/p; s/.*eventlog:ReportEventW //p' "$prefix/report.err"
    echo
}

echo "===== first run: the adapters differ from the INI file"
show_run

ip netns exec "$ns" ip -4 addr flush dev lan0
ip netns exec "$ns" ip -4 addr add 192.0.2.10/24 dev lan0
ip netns exec "$ns" ip -4 addr add 192.0.2.11/24 dev lan0
nubora_netns_set_gateway "$ns" 192.0.2.1 lan0
nubora_netns_set_dns "$ns" 198.51.100.53 198.51.100.54
echo "===== second run: lan0 now has what the INI file asks for"
show_run

echo "===== nubora status: what the log says of the last run"
nubora_wine "$ns" "$prefix" "$PWD/build/win64/nubora.exe" status | tr -d '\r' || true

echo "===== nubora doctor: a driver change left the old adapter's settings behind"
# The example without its dropped section, the service installed (a boot
# runs it) and run, and a non-present adapter's interface key holding lan's address.
sed '/^\[partial\]/,$d' examples/ipconfig_xen_vm.ini >"$windir/ipconfig_xen_vm.ini"
nubora_wine "$ns" "$prefix" "$PWD/build/win64/NuboraService.exe" install | tr -d '\r'
nubora_wine_boot "$ns" "$prefix" "$PWD/build/win64/nubora.exe"
# Under Wine the boot's own run finds no adapter listed yet: a run by hand.
nubora_wine "$ns" "$prefix" "$PWD/build/win64/NuboraService.exe"
cp tests/data/doctor/planted_ghost.reg "$windir/planted.reg"
nubora_wine "$ns" "$prefix" reg import 'c:\windows\planted.reg' 2>/dev/null
doctor() { nubora_wine "$ns" "$prefix" "$PWD/build/win64/nubora.exe" doctor "$@" | tr -d '\r' || echo "(exit $?)"; }
doctor
echo "===== nubora doctor --fix ghost-addresses --backup c:\windows\ghost-backup.reg"
doctor --fix ghost-addresses --backup 'c:\windows\ghost-backup.reg'
echo "----- the backup (reg import c:\windows\ghost-backup.reg puts the key back)"
iconv -f UTF-16 -t UTF-8 "$windir/ghost-backup.reg" | tr -d '\r'
echo "===== nubora doctor, after the mend"
doctor
