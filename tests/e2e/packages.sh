#!/usr/bin/env bash
# The Windows Installer packages: their tables (no Wine), then the x64 package
# under wine64: silent install, a newer package over it, an older one refused,
# removal; the x86 package refused on 64-bit Windows, and a package refused
# where "NuboraService.exe install" registered the service.
set -euo pipefail
source "$(dirname "$0")/common.sh"
e2e_setup nbp # the prefix and namespace, for later
data=$e2e_root/tests/data/packages bin=$e2e_root/build/win32 work=$out
old=$(tr -d '\r\n' <"$bin/version.txt")
new=${old%.*}.$((${old##*.} + 1))
for v in "$old" "$new"; do "$e2e_root/scripts/package.sh" --out "$work" --version "$v" >/dev/null; done

# The rows the rules fix (the version written as <version>; the product code
# follows the version: the upgrade below fails if it does not) and the count
# of the display name's bytes in code page 936.
tables() {
    for t in Property ServiceInstall ServiceControl Upgrade LaunchCondition AppSearch RegLocator Registry \
        RemoveFile Component Directory File; do msiinfo export "$1" $t | sed 1,3d; done | tr -d '\r' |
        awk -F'\t' -v OFS='\t' '$1 != "ProductCode" { if (NF == 8) { $4 = $5; NF = 4 } print }' | LC_ALL=C sort |
        sed "s/\b${old//./\\.}\b/<version>/g"
    msiinfo export "$1" _ForceCodepage | tr -d '\r' | sed -n 3p
    msiinfo suminfo "$1" | grep '^Template'
    LC_ALL=C grep -caF "$(printf 'Nubora服务' | iconv -t GBK)" "$1" || :
}
for arch in x64 x86; do
    tables "$work/nubora-$old-$arch.msi" >"$work/$arch.tables"
    e2e_same "$arch package tables" "$data/$arch.tables" "$work/$arch.tables"
done

# Under wine64. The wineserver stays up to the end: a restart would start the
# installed auto-start services, which the packages themselves never start.
echo "$ns" >"$prefix/.nubora_netns"
ip netns exec "$ns" env WINEPREFIX="$prefix" "$NUBORA_WINESERVER" -p
cp "$work"/nubora-*-x*.msi "$prefix/drive_c/"
folder="$prefix/drive_c/Program Files/Nubora"
for f in ipconfig_xen_vm.ini ipconfig_post.bat ipconfig_service.log; do echo "not the package's" >"$windir/$f"; done
wine() { nubora_wine "$ns" "$prefix" "$@" 2>/dev/null | tr -d '\r'; }

# Both services and the event source as "reg export" writes them (UTF-16:
# "reg query" prints the Chinese text as "?"). Wine writes ImagePath without
# the quotes that Windows puts around the path: quotes are dropped.
registration() {
    local key
    for key in NuboraService NuboraReport EventLog\\Application\\NuboraService; do
        rm -f "$prefix/drive_c/k.reg"
        wine reg export "HKLM\\SYSTEM\\CurrentControlSet\\Services\\$key" 'c:\k.reg' /y >/dev/null || continue
        iconv -f UTF-16 -t UTF-8 "$prefix/drive_c/k.reg" | tr -d '\r' |
            grep -vE '^(Windows Registry|"PreshutdownTimeout"|$)' | sed '/^"ImagePath"/s/\\"//g'
    done
}
# NAME ACTION PACKAGE EXIT-CODE PRODUCTS-AFTER INSTALLED-AFTER(yes, no, -) REFUSED-BY(-)
# Wine's msiexec cuts its exit code to 8 bits: 1603 (failed) shows as 67.
# Its log tells neither a launch condition's message nor which one failed:
# only that the action failed ("Return value 0") and the properties.
step() {
    local rc=0
    wine msiexec "$2" "c:\\$3" /qn /l*v 'c:\msi.log' >/dev/null || rc=$?
    e2e_check "$1: exit code $4" test "$rc" = "$4"
    e2e_check "$1: products after: ${5:-none}" test "$(wine reg query \
        'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s | awk -v RS= \
        '/DisplayName +REG_SZ +Nubora\n/ { sub(/.*DisplayVersion +REG_SZ +/, ""); sub(/\n.*/, ""); print }')" = "$5"
    [ "$7" = - ] || e2e_check "$1: refused by a launch condition ($7)" grep -qzE \
        "LaunchConditions. Return value 0.*Property\(S\): $7 = " "$prefix/drive_c/msi.log"
    if [ "$6" = yes ]; then
        e2e_check "$1: both executables in Program Files" cmp -s \
            <(cat "$folder/NuboraService/"{NuboraService,nubora}.exe) <(cat "$bin/"{NuboraService,nubora}.exe)
        registration >"$work/registration"
        e2e_same "$1: both services and the event source" "$data/registration" "$work/registration"
    elif [ "$6" = no ]; then
        e2e_check "$1: no file, no folder, no service, no event source" test ! -e "$folder" -a -z "$(registration)"
    fi
}
step "x86 package on 64-bit Windows" /i "nubora-$old-x86.msi" 67 "" no VersionNT64
step install /i "nubora-$old-x64.msi" 0 "$old" yes -
step upgrade /i "nubora-$new-x64.msi" 0 "$new" yes -
step downgrade /i "nubora-$old-x64.msi" 67 "$new" yes WIX_DOWNGRADE_DETECTED
step uninstall /x "nubora-$new-x64.msi" 0 "" no -
e2e_check "uninstall: the provisioning file, post script and log stay" test \
    "$(cat "$windir"/ipconfig_{xen_vm.ini,post.bat,service.log})" = "$(printf "not the package's\n%.0s" 1 2 3)"
wine "$NUBORA_EXE" install >/dev/null
step "service registered by install" /i "nubora-$old-x64.msi" 67 "" - SERVICE_REGISTERED
wine "$NUBORA_EXE" uninstall >/dev/null
e2e_summary
