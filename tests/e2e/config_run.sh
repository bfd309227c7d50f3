#!/usr/bin/env bash
# The configuration run on the real executable under Wine, in a network
# namespace whose adapters carry the INI file's MACs: the first run configures
# (log and netsh command lines against golden files), the second run after the
# namespace matches the wanted configuration changes nothing for the static
# adapter; the post script runs; a hung netsh is waited for 30 s, not more.
set -euo pipefail
source "$(dirname "$0")/common.sh"

e2e_setup nbc
nubora_netns_add_adapter "$ns" lan0 00:00:5e:00:53:01 203.0.113.5/24
nubora_netns_add_adapter "$ns" mgmt0 00:00:5e:00:53:02 198.51.100.20/24
nubora_netns_set_dns "$ns" 203.0.113.53

cp "$E2E_DATA/config_run.ini" "$windir/ipconfig_xen_vm.ini"
printf '@echo off\r\necho post script ran>> c:\\windows\\post_mark.txt\r\n%s\r\n' \
    'echo %PROCESSOR_ARCHITECTURE%>> c:\windows\post_arch.txt' >"$windir/ipconfig_post.bat"

run_once() { # NAME: one run; its log and netsh lines go to $out/NAME.*
    : >"$windir/netsh_calls.txt"
    : >"$windir/netsh_where.txt"
    : >"$windir/ipconfig_service.log"
    nubora_wine "$ns" "$prefix" "$NUBORA_EXE" >/dev/null
    e2e_normalize_log "$windir/ipconfig_service.log" >"$out/$1.log"
    tr -d '\r' <"$windir/netsh_calls.txt" >"$out/$1.netsh"
    tr -d '\r' <"$windir/netsh_where.txt" >"$out/$1.where"
}

run_once first
e2e_same "first run: log" "$E2E_DATA/config_run_first.log" "$out/first.log"
e2e_same "first run: netsh command lines" "$E2E_DATA/config_run_first.netsh" "$out/first.netsh"
post_runs() { tr -d '\r' <"$windir/post_mark.txt" | grep -cx 'post script ran'; }
e2e_check "first run: the post script ran" test "$(post_runs)" -eq 1
# A 32-bit build reaches the 32-bit netsh.exe (syswow64, file-system
# redirection on) but runs the post script with redirection off, in the
# 64-bit cmd.exe; a 64-bit build uses system32 for both.
e2e_same "first run: the netsh.exe started" "$E2E_DATA/config_run_where.$NUBORA_ARCH" "$out/first.where"
e2e_check "first run: the post script ran in the 64-bit cmd.exe" \
    test "$(tr -d '\r' <"$windir/post_arch.txt")" = AMD64

# Make the namespace what the INI file asks for.
ip netns exec "$ns" ip -4 addr flush dev lan0
ip netns exec "$ns" ip -4 addr add 192.0.2.10/24 dev lan0
ip netns exec "$ns" ip -4 addr add 192.0.2.11/24 dev lan0
nubora_netns_set_gateway "$ns" 192.0.2.1 lan0
nubora_netns_set_dns "$ns" 198.51.100.53 198.51.100.54

run_once converged
e2e_same "converged run: log" "$E2E_DATA/config_run_converged.log" "$out/converged.log"
e2e_same "converged run: netsh command lines" "$E2E_DATA/config_run_converged.netsh" \
    "$out/converged.netsh"
e2e_check "converged run: the post script ran again" \
    test "$(post_runs)" -eq 2

# One address and one DNS server short: the whole address part and the whole
# DNS part are applied again, further entries with their "add" commands.
nubora_netns_add_adapter "$ns" Ethernet 00:00:5e:00:53:10 192.0.2.5/24
nubora_netns_set_gateway "$ns" 192.0.2.1 Ethernet
nubora_netns_set_dns "$ns" 198.51.100.2
cp "$E2E_DATA/worked_example.ini" "$windir/ipconfig_xen_vm.ini"
run_once worked
e2e_same "one address short: log" "$E2E_DATA/config_run_worked.log" "$out/worked.log"
e2e_same "one address short: netsh command lines" "$E2E_DATA/config_run_worked.netsh" \
    "$out/worked.netsh"

# A netsh that hangs past the wait: fifteen count lines, the time-out line,
# and the run goes on to its post script.
cp "$E2E_DATA/dhcp_only.ini" "$windir/ipconfig_xen_vm.ini"
start=$(date +%s)
NUBORA_TEST_NETSH_SLEEP_MS=40000 run_once hung
elapsed=$(($(date +%s) - start))
e2e_same "hung netsh: log" "$E2E_DATA/config_run_hung.log" "$out/hung.log"
e2e_check "hung netsh: waited about 30 s ($elapsed s)" test "$elapsed" -ge 29 -a "$elapsed" -le 45

if [ "$NUBORA_ARCH" = i686 ]; then
    # The 32-bit cmd.exe tells itself apart, so the check above can fail.
    arch=$(nubora_wine "$ns" "$prefix" 'c:\windows\syswow64\cmd.exe' /c 'echo %PROCESSOR_ARCHITECTURE%')
    e2e_check "the 32-bit cmd.exe reports x86" test "$(tr -d '\r' <<<"$arch")" = x86
fi

e2e_summary
