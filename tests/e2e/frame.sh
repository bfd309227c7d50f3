#!/usr/bin/env bash
# The frame of a run on the real executable under Wine: the log of a run
# without INI file, appended run after run with CR LF line ends; the verbs that
# must do nothing; and the imports of both Windows executables.
set -euo pipefail
source "$(dirname "$0")/common.sh"

e2e_setup nbf
log="$windir/ipconfig_service.log"

rc=0
nubora_wine "$ns" "$prefix" "$NUBORA_EXE" >"$out/run1.out" || rc=$?
e2e_check "a run without INI file exits with 0 and prints nothing" \
    test "$rc" -eq 0 -a ! -s "$out/run1.out"
nubora_wine "$ns" "$prefix" "$NUBORA_EXE" >/dev/null
e2e_check "log lines end with CR LF" e2e_all_crlf "$log"
e2e_normalize_log "$log" >"$out/log.txt"
e2e_same "two runs append two blocks" "$E2E_DATA/frame_no_config.log" "$out/log.txt"
e2e_check "no post script without configuration" test ! -e "$windir/netsh_calls.txt"

cp "$log" "$out/before.log"
verb_did_nothing() { # RC: says what went wrong, if anything
    local ok=0
    [ "$1" -eq 0 ] || { echo "  exit code $1"; ok=1; }
    [ ! -s "$out/verb.out" ] || { echo "  printed: $(head -c 200 "$out/verb.out")"; ok=1; }
    cmp -s "$out/before.log" "$log" || { echo "  the log changed:"; diff "$out/before.log" "$log" | head -5; ok=1; }
    return $ok
}
for verb in -k -K /install --install hello; do
    rc=0
    nubora_wine "$ns" "$prefix" "$NUBORA_EXE" "$verb" >"$out/verb.out" 2>/dev/null || rc=$?
    e2e_check "'$verb' exits with 0, prints and logs nothing" verb_did_nothing "$rc"
done

imports_are_system_dlls() {
    local dlls
    dlls=$(x86_64-w64-mingw32-objdump -p "$1" | awk '/DLL Name:/ {print tolower($3)}' | sort -u)
    [ -n "$dlls" ] || return 1
    ! grep -qvxE 'advapi32\.dll|iphlpapi\.dll|kernel32\.dll|msvcrt\.dll|ws2_32\.dll' <<<"$dlls"
}
shipped=${NUBORA_SHIPPED_EXE:-$e2e_root/build/win32/NuboraService.exe}
e2e_check "the shipped executable is PE32 for i386" \
    bash -c "file '$shipped' | grep -q 'PE32 executable (console) Intel 80386'"
e2e_check "the shipped executable imports only system DLLs" imports_are_system_dlls "$shipped"
e2e_check "the x86-64 executable imports only system DLLs" imports_are_system_dlls "$NUBORA_EXE"
e2e_check "the shipped executable carries its version resource" \
    bash -c "strings -el '$shipped' | grep -qx 'Nubora network configuration service'"

e2e_summary
