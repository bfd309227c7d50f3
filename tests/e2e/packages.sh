#!/usr/bin/env bash
# The Windows Installer packages: their tables (no Wine), then the x64 package
# under wine64: silent install, a newer package over it, an older one refused,
# removal; the x86 package refused on 64-bit Windows, and a package refused
# where "NuboraService.exe install" registered the service.
set -euo pipefail
source "$(dirname "$0")/common.sh"
nubora_cleanup_trap
data=$e2e_root/tests/data/packages
work=$(mktemp -d /tmp/nbp$$-pkg.XXXXXX)
NUBORA_PREFIX_LIST="$NUBORA_PREFIX_LIST $work"
old=$(tr -d '\r\n' <"$e2e_root/build/win32/version.txt")
new=${old%.*}.$((${old##*.} + 1))
"$e2e_root/scripts/package.sh" --out "$work" >/dev/null
"$e2e_root/scripts/package.sh" --out "$work/again" >/dev/null
"$e2e_root/scripts/package.sh" --out "$work" --version "$new" >/dev/null

# The rows the packages must hold, the version written as <version>.
tables() {
    for t in Property ServiceInstall ServiceControl Upgrade LaunchCondition AppSearch RegLocator \
        Registry RemoveFile Component Directory; do msiinfo export "$1" $t | tr -d '\r' | sed 1,3d | LC_ALL=C sort; done |
        grep -v '^ProductCode' | sed "s/\b${old//./\\.}\b/<version>/g"
    msiinfo export "$1" File | tr -d '\r' | sed 1,3d | cut -f1-3 | LC_ALL=C sort
    msiinfo export "$1" _ForceCodepage | tr -d '\r' | sed -n 3p
    msiinfo suminfo "$1" | grep '^Template'
}
code() { msiinfo export "$1" Property | awk '$1 == "ProductCode" {print $2}'; }
for arch in x64 x86; do
    msi=$work/nubora-$old-$arch.msi
    tables "$msi" >"$work/$arch.tables"
    e2e_same "$arch package tables" "$data/$arch.tables" "$work/$arch.tables"
    e2e_check "$arch: the display name is stored in code page 936" \
        grep -qaF "$(printf 'Nubora服务' | iconv -t GBK)" "$msi"
    e2e_check "$arch: a rebuild is the same product" test "$(code "$msi")" = "$(code "$work/again/${msi##*/}")"
    e2e_check "$arch: a newer version is another product" \
        test "$(code "$msi")" != "$(code "$work/nubora-$new-$arch.msi")"
done

# Under wine64. The wineserver stays up to the end: a restart would start the
# installed auto-start services, which the packages themselves never start.
ns="nbp$$-a" prefix="/tmp/nbp$$-w"
NUBORA_RECORDER='' nubora_prefix_init "$prefix"
nubora_netns_create "$ns"
echo "$ns" >"$prefix/.nubora_netns"
ip netns exec "$ns" env WINEPREFIX="$prefix" "$NUBORA_WINESERVER" -p
cp "$work"/nubora-*-x*.msi "$prefix/drive_c/"
windir=$(nubora_windir "$prefix") folder="$prefix/drive_c/Program Files/Nubora"
for f in ipconfig_xen_vm.ini ipconfig_post.bat ipconfig_service.log; do echo "not the package's" >"$windir/$f"; done

# Wine's msiexec cuts its exit code to 8 bits: 1603 (failed) shows as 67.
msiexec() { # ACTION PACKAGE -> its exit code; its log in $work/msi.log
    local rc=0
    nubora_wine "$ns" "$prefix" msiexec "$1" "c:\\$2" /qn /l*v 'c:\msi.log' >/dev/null 2>&1 || rc=$?
    tr -d '\r' <"$prefix/drive_c/msi.log" >"$work/msi.log"
    echo "$rc"
}
refused_by() { # PROPERTY: the launch conditions stopped the install, PROPERTY set
    grep -q 'LaunchConditions. Return value 0' "$work/msi.log" && grep -q "Property(S): $1 = " "$work/msi.log"
}
# Both services and the event source as "reg export" writes them (UTF-16:
# "reg query" prints the Chinese text as "?"). Wine writes ImagePath without
# the quotes around the path that Windows puts there: quotes are dropped.
registration() {
    local key
    for key in NuboraService NuboraReport EventLog\\Application\\NuboraService; do
        rm -f "$prefix/drive_c/k.reg"
        nubora_wine "$ns" "$prefix" reg export "HKLM\\SYSTEM\\CurrentControlSet\\Services\\$key" 'c:\k.reg' /y \
            >/dev/null 2>&1 || continue
        iconv -f UTF-16 -t UTF-8 "$prefix/drive_c/k.reg" | tr -d '\r' |
            grep -vE '^(Windows Registry|"PreshutdownTimeout"|$)' | sed '/^"ImagePath"/s/\\"//g'
    done
}
products() { # the version of each product named Nubora in Programs and Features
    nubora_wine "$ns" "$prefix" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s \
        2>/dev/null | tr -d '\r' | awk -v RS= '/DisplayName +REG_SZ +Nubora\n/ {
            sub(/.*DisplayVersion +REG_SZ +/, ""); sub(/\n.*/, ""); printf "%s ", $0 }'
}
installed_as_built() { cmp -s "$folder/NuboraService/NuboraService.exe" "$e2e_root/build/win32/NuboraService.exe" &&
    cmp -s "$folder/NuboraService/nubora.exe" "$e2e_root/build/win32/nubora.exe"; }

e2e_check "the x86 package on 64-bit Windows: refused" test "$(msiexec /i "nubora-$old-x86.msi")" = 67
e2e_check "by its launch condition" refused_by VersionNT64

e2e_check "install: exit code 0" test "$(msiexec /i "nubora-$old-x64.msi")" = 0
e2e_check "install: both executables in Program Files" installed_as_built
registration >"$work/registration"
e2e_same "install: both services and the event source" "$data/registration" "$work/registration"
e2e_check "install: one product, $old" test "$(products)" = "$old "
e2e_check "NuboraService.exe install over the package fails with 1073" test \
    "$(nubora_wine "$ns" "$prefix" "$NUBORA_EXE" install 2>/dev/null | tr -d '\r')" = "installservice failed with errorcode=1073"

e2e_check "upgrade: exit code 0" test "$(msiexec /i "nubora-$new-x64.msi")" = 0
e2e_check "upgrade: one product, $new" test "$(products)" = "$new "
registration >"$work/registration"
e2e_same "upgrade: the services and the event source kept" "$data/registration" "$work/registration"
e2e_check "upgrade: both executables in Program Files" installed_as_built

e2e_check "downgrade: refused" test "$(msiexec /i "nubora-$old-x64.msi")" = 67
e2e_check "downgrade: by its launch condition" refused_by WIX_DOWNGRADE_DETECTED
e2e_check "downgrade: still one product, $new" test "$(products)" = "$new "

e2e_check "uninstall: exit code 0" test "$(msiexec /x "nubora-$new-x64.msi")" = 0
e2e_check "uninstall: no product" test -z "$(products)"
e2e_check "uninstall: no file, no folder" test ! -e "$folder"
e2e_check "uninstall: no service, no event source" test -z "$(registration)"
e2e_check "uninstall: the provisioning file, post script and log stay" test \
    "$(cat "$windir"/ipconfig_{xen_vm.ini,post.bat,service.log})" = "$(printf "not the package's\n%.0s" 1 2 3)"

nubora_wine "$ns" "$prefix" "$NUBORA_EXE" install >/dev/null 2>&1
e2e_check "where NuboraService.exe install registered the service: refused" \
    test "$(msiexec /i "nubora-$old-x64.msi")" = 67
e2e_check "by its launch condition" refused_by SERVICE_REGISTERED
nubora_wine "$ns" "$prefix" "$NUBORA_EXE" uninstall >/dev/null 2>&1

e2e_summary
