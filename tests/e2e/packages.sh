#!/usr/bin/env bash
# The Windows Installer packages: what scripts/package.sh builds and refuses,
# their tables and signatures (no Wine), then the x64 package under wine64:
# refused where a piece was registered by hand or a file left at the path,
# installed with REPORT_OPTIONS, removed while the report service waits, a
# downgrade refused, removed.
set -euo pipefail
# The packages hold the shipped 32-bit executables: the services run as WOW64
# processes (tests/e2e/wow64.sh).
export NUBORA_ARCH=i686
source "$(dirname "$0")/common.sh"
e2e_setup nbp # the prefix and namespace, for later
data=$e2e_root/tests/data/packages bin=$e2e_root/build/win32 work=$out
old=$(tr -d '\r\n' <"$bin/version.txt")
new=${old%.*}.$((${old##*.} + 1))
package() { "$e2e_root/scripts/package.sh" "$@" >/dev/null 2>"$work/package.err"; }

# with_build DIR Z: copies of the shipped executables whose version resources
# say X.Y.Z.0 (VS_FIXEDFILEINFO: Z is the 16-bit word at its 15th byte, file
# version, and 23rd, product version).
with_build() {
    mkdir -p "$1"
    for exe in NuboraService.exe nubora.exe; do
        cp "$bin/$exe" "$1/"
        at=$(LC_ALL=C grep -obUaP '\xbd\x04\xef\xfe' "$1/$exe" | head -n 1 | cut -d: -f1)
        for seek in $((at + 14)) $((at + 22)); do
            printf "$(printf '\\x%02x' $(($2 & 255)) $(($2 >> 8)))" | dd of="$1/$exe" bs=1 seek=$seek conv=notrunc status=none
        done
    done
}
with_build "$work/new" "${new##*.}"
cp -r "$work/new" "$work/changed" && printf x >>"$work/changed/nubora.exe"

# EXIT-CODE OUT ARGUMENTS...: one tree built twice is one package (the
# second build passes beside the first or given it); the same version with
# other content is refused there or given the first (either architecture);
# versions are numbers and must be the executables'.
while read -r rc dir args; do
    # shellcheck disable=SC2086 # ARGUMENTS are words
    e2e_check "package.sh $args --out $dir: exit code $rc" test "$(package $args --out "$work/$dir"; echo $?)" = "$rc"
done <<EOF
0 one
0 one   --bin $bin --version ${old%.*}.0${old##*.}
0 new   --bin $work/new
1 new   --bin $work/changed
0 other --bin $work/changed
0 again --bin $work/new --previous $work/new/nubora-$new-x86.msi
1 again2 --bin $work/changed --previous $work/new/nubora-$new-x64.msi
1 one   --version $new
1 one   --bin $e2e_root/build/win64
EOF
same_executables() { cmp -s <(cat "$1/"{NuboraService,nubora}.exe) <(cat "$2/"{NuboraService,nubora}.exe); } # DIR DIR
mkdir "$work/files"
msiextract -C "$work/files" "$work/new/nubora-$new-x64.msi" >/dev/null
e2e_check "a package from --bin holds exactly the given bytes" same_executables "$work/files/Nubora/NuboraService" "$work/new"

# Signed with a throw-away self-signed code-signing certificate: both
# executables (as extracted) and both packages verify against it.
echo secret >"$work/password"
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 -subj "/CN=Nubora test" \
    -addext extendedKeyUsage=codeSigning 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -passout "file:$work/password" -out "$work/cert.pfx"
package --bin "$bin" --sign "$work/cert.pfx" --password-file "$work/password" --out "$work/signed" || cat "$work/package.err"
msiextract -C "$work/signed" "$work/signed/nubora-$old-x86.msi" >/dev/null # x86: under "Program Files"
verified() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >/dev/null 2>&1; }
for f in "$work/signed/"nubora-*.msi "$work/signed/Program Files/Nubora/NuboraService/"*.exe; do
    e2e_check "signed: $(basename "$f")" verified "$f"
done

# The rows the rules fix (the version written as <version>; the product code
# follows the version), the count of
# the display name's bytes in code page 936 and the summary information.
tables() {
    for t in Property ServiceInstall ServiceControl Upgrade LaunchCondition AppSearch RegLocator DrLocator Signature \
        Registry RemoveFile Component Directory File CustomAction; do msiinfo export "$1" $t | sed 1,3d; done | tr -d '\r' |
        awk -F'\t' -v OFS='\t' '$1 != "ProductCode" { if (NF == 8) { $4 = $5; NF = 4 } print }' | LC_ALL=C sort |
        sed "s/\b${old//./\\.}\b/<version>/g"
    msiinfo export "$1" InstallExecuteSequence | tr -d '\r' | sort -t$'\t' -k3,3n |
        grep -E '^(FindRelatedProducts|AppSearch|\w+ReportOptions|LaunchConditions|CostFinalize|SetInstallLocation|Install(Validate|Initialize|Execute|Finalize)|RemoveExistingProducts|\w+(Services|Files))\s'
    msiinfo export "$1" _ForceCodepage | tr -d '\r' | sed -n 3p
    msiinfo suminfo "$1" | grep -vE '^(Revision number|Created|Last saved)'
    LC_ALL=C grep -caF "$(printf 'Nubora服务' | iconv -t GBK)" "$1" || :
}
# An upgrade on the package's Windows finds the old version and all that the
# searches look for (its services, event source and files): no launch
# condition may refuse it.
for arch in x64 x86; do
    msi=$work/one/nubora-$old-$arch.msi
    tables "$msi" >"$work/$arch.tables"
    e2e_same "$arch package tables" "$data/$arch.tables" "$work/$arch.tables"
    e2e_check "$arch: an upgrade passes the launch conditions" python3 -c 'import re, sys
for c in sys.stdin:
    eval(re.sub(r"\w+", lambda m: m[0].lower() if m[0] in ("AND", "OR", "NOT") else str(m[0] in sys.argv[1:]), c)) or sys.exit(c)' \
        WIX_UPGRADE_DETECTED VersionNT $([ $arch = x86 ] || echo VersionNT64) $(msiinfo export "$msi" AppSearch | sed 1,3d | cut -f1) \
        < <(msiinfo export "$msi" LaunchCondition | tr -d '\r' | sed 1,3d | cut -f1)
done

# Under wine64, COM1 a pseudo-terminal. The wineserver stays up to the end: a
# restart would start the installed auto-start services.
nubora_console_pty "$ns" "$prefix" "$work/console"
cp "$work"/{one,new}/nubora-*-x*.msi "$prefix/drive_c/"
folder="$prefix/drive_c/Program Files/Nubora"
# Files that are not the package's; the log last written before this boot.
for f in ipconfig_xen_vm.ini ipconfig_post.bat ipconfig_service.log; do echo "not the package's" >"$windir/$f"; done
touch -d 2000-01-01 "$windir/ipconfig_service.log"

# The table's keys as "reg export" writes them (UTF-16: "reg query" prints the
# Chinese text as "?"), hex data joined onto one line; expected_registration:
# the table's, the ImagePaths unquoted as Wine's msiexec writes them.
registration() {
    local key
    for key in $(grep -v '^#' "$e2e_root/tests/data/registration.table" | cut -f1 | uniq); do
        rm -f "$prefix/drive_c/k.reg"
        e2e_wine_out reg export "HKLM\\SYSTEM\\CurrentControlSet\\Services\\$key" 'c:\k.reg' /y >/dev/null || continue
        iconv -f UTF-16 -t UTF-8 "$prefix/drive_c/k.reg" | tr -d '\r' | grep -vE '^(Windows Registry|"PreshutdownTimeout"|$)' |
            sed -e :a -e '/\\$/{N;s/\\\n  //;ba' -e '}'
    done
}
expected_registration() { python3 "$e2e_here/registration.py" export --unquoted \
    --tool 'C:\Program Files\Nubora\NuboraService\nubora.exe' "$@" >"$work/registration.expected"; }
# NAME EXIT-CODE PRODUCTS-AFTER INSTALLED-FROM(a folder, no, -) REFUSED-BY(-) MSIEXEC-ARGUMENTS...
# msiexec runs from a batch file, which hands it its command line as written.
# Wine's msiexec cuts its exit code to 8 bits: 1603 (failed) shows as 67.
# Its log tells neither a launch condition's message nor which one failed:
# only that the action failed ("Return value 0") and the properties.
step() {
    local rc=0
    printf '@msiexec %s /qn /l*v c:\\msi.log\r\n' "${*:6}" >"$prefix/drive_c/msiexec.bat"
    e2e_wine_out cmd /c 'c:\msiexec.bat' >/dev/null || rc=$?
    e2e_check "$1: exit code $2" test "$rc" = "$2"
    e2e_check "$1: products after: ${3:-none}" test "$(e2e_wine_out reg query \
        'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s | awk -v RS= \
        '/DisplayName +REG_SZ +Nubora\n/ { sub(/.*DisplayVersion +REG_SZ +/, ""); sub(/\n.*/, ""); print }')" = "$3"
    [ "$5" = - ] || e2e_check "$1: refused by a launch condition ($5)" grep -qzE \
        "LaunchConditions. Return value 0.*Property\(S\): $5 = " "$prefix/drive_c/msi.log"
    if [ "$4" = no ]; then
        e2e_check "$1: no file, no folder, no service, no event source" test ! -e "$folder" -a -z "$(registration)"
    elif [ "$4" != - ]; then
        e2e_check "$1: both executables in Program Files are the package's" same_executables "$folder/NuboraService" "$4"
    fi
}
step "x86 package on 64-bit Windows" 67 "" no VersionNT64 /i "c:\\nubora-$old-x86.msi"
# REGISTERED-BY-HAND | TAKEN-BACK | LAUNCH-CONDITION'S PROPERTY
while IFS='|' read -r registered taken_back property; do
    # shellcheck disable=SC2086 # commands are words
    e2e_wine_out $registered >/dev/null
    step "after $registered" 67 "" - "$property" /i "c:\\nubora-$old-x64.msi"
    # shellcheck disable=SC2086
    e2e_wine_out $taken_back >/dev/null
done <<EOF
$NUBORA_TOOL report --install-service --allow-writable-folder|$NUBORA_TOOL report --uninstall-service|REPORT_REGISTERED
reg add HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\NuboraService /v EventMessageFile /d c:\\n.exe|reg delete HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\NuboraService /f|EVENT_SOURCE_REGISTERED
$NUBORA_EXE install|$NUBORA_EXE uninstall|SERVICE_REGISTERED
EOF
# What "NuboraService.exe install" left, uninstalled (last above): Windows
# would neither replace a file of the same or a newer version nor keep it.
step "install over the file NuboraService.exe install left" 67 "" - SERVICE_LEFT /i "c:\\nubora-$old-x64.msi"
rm -r "$folder"
step install 0 "$old" "$bin" - /i "c:\\nubora-$old-x64.msi" 'REPORT_OPTIONS="--console none"'
registration >"$work/registration"
expected_registration --options ' --console none'
e2e_same "both services and the event source, REPORT_OPTIONS appended" "$work/registration.expected" "$work/registration"

# The report service waits for NuboraService, registered automatic and not
# run since the system started: the removal stops it and waits.
e2e_wine_out net start NuboraReport >/dev/null || :
e2e_check "NuboraReport waits for NuboraService" test "$(e2e_state NuboraReport)" = RUNNING
e2e_check "REPORT_OPTIONS kept for upgrades and repairs" test "$(e2e_wine_out reg query 'HKLM\SOFTWARE\Nubora\NuboraReport' \
    /v ReportOptions | sed -n 's/^ *ReportOptions *REG_SZ *//p')" = "--console none"
step "uninstall $old" 0 "" no - /x "c:\\nubora-$old-x64.msi"
# An upgrade installs over the old version and then removes it, which Wine's
# msiexec does in its own way (in these runs: the new files not always there,
# the upgrade code's registration gone): the tables above hold the upgrade.
step "install $new" 0 "$new" "$work/new" - /i "c:\\nubora-$new-x64.msi"
step downgrade 67 "$new" "$work/new" WIX_DOWNGRADE_DETECTED /i "c:\\nubora-$old-x64.msi"
step uninstall 0 "" no - /x "c:\\nubora-$new-x64.msi"
e2e_check "uninstall: the provisioning file, post script and log stay" test \
    "$(cat "$windir"/ipconfig_{xen_vm.ini,post.bat,service.log})" = "$(printf "not the package's\n%.0s" 1 2 3)"
e2e_check "nothing was written to COM1" test ! -s "$work/console"
e2e_summary
