#!/usr/bin/env bash
# Builds the Windows Installer packages from the shipped 32-bit executables:
# build/packages/nubora-<version>-x64.msi (64-bit Windows) and -x86.msi
# (32-bit Windows), after installing what is missing and bringing the win32
# build up to date. The version is the CMake project version, which that build
# writes to build/win32/version.txt; --version overrides it (the tests build a
# newer package that way).
#   scripts/package.sh [--version X.Y.Z] [--out DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/win32 out=build/packages version=""
while [ $# -gt 0 ]; do
    case $1 in
    --version) version=${2:-}; shift 2 ;;
    --out) out=${2:-}; shift 2 ;;
    *) echo "usage: scripts/package.sh [--version X.Y.Z] [--out DIR]" >&2; exit 2 ;;
    esac
done
die() { echo "package.sh: $*" >&2; exit 1; }
scripts/install-deps.sh
[ -f "$bin/build.ninja" ] || cmake --preset win32 >/dev/null
cmake --build --preset win32 >/dev/null || die "the win32 build failed"
file_version=$(tr -d '\r\n' <"$bin/version.txt").0
[ -n "$version" ] || version=${file_version%.0}
IFS=. read -r major minor build <<<"$version"
[[ $version =~ ^[0-9]{1,3}\.[0-9]{1,3}\.[0-9]{1,5}$ ]] && ((10#$major <= 255 && 10#$minor <= 255 && 10#$build <= 65535)) ||
    die "version '$version' is not X.Y.Z (X, Y at most 255, Z at most 65535)"

# The service's texts as NuboraService.exe install registers them
# (service/installer.h). Windows Installer has no UTF-8 databases: they go in
# as code page 936.
display_name='Nubora服务'
description='Windows Server初始化辅助服务，自动配置Nubora网络IP地址'

stage=$(mktemp -d /tmp/nubora-package.XXXXXX)
trap 'rm -rf "$stage"' EXIT
# wixl takes Source paths relative to the .wxs file.
cp packaging/nubora.wxs "$bin/NuboraService.exe" "$bin/nubora.exe" "$stage/"
upgrade_code=$(sed -n 's/.*UpgradeCode="\([^"]*\)".*/\1/p' packaging/nubora.wxs)

# A name-based GUID (SHA-1, RFC 4122 version 5 layout) of the upgrade code and
# the NAME: a rebuild of one version is the same product.
derived_guid() {
    local h
    h=$(printf '%s %s' "$upgrade_code" "$1" | sha1sum | cut -c1-32)
    printf '%s-%s-5%s-%x%s-%s\n' "${h:0:8}" "${h:8:4}" "${h:13:3}" \
        $(((0x${h:16:1} & 3) | 8)) "${h:17:3}" "${h:20:12}" | tr a-f A-F
}

mkdir -p "$out"
for arch in x64 x86; do
    msi="$stage/nubora-$version-$arch.msi"
    # This wixl exits 0 while it ignores what it does not know: any word on
    # standard error fails the build.
    wixl -a "$arch" -D Arch="$arch" -D Version="$version" \
        -D ProductCode="$(derived_guid "nubora-$version-$arch")" \
        -o "$msi" "$stage/nubora.wxs" 2>"$stage/wixl.err" || { cat "$stage/wixl.err" >&2; die "wixl failed ($arch)"; }
    [ ! -s "$stage/wixl.err" ] || { cat "$stage/wixl.err" >&2; die "wixl complained ($arch)"; }

    # This wixl cannot store the Chinese texts: code page first, then the
    # texts, which msibuild converts from UTF-8 into it.
    printf '\r\n\r\n936\t_ForceCodepage\r\n' >"$stage/_ForceCodepage.idt"
    msiinfo export "$msi" ServiceInstall |
        sed "s/\t@DISPLAY_NAME@\t/\t$display_name\t/; s/\t@DESCRIPTION@\r\?$/\t$description/" \
            >"$stage/ServiceInstall.idt"
    # Nor does it mark Type="expandable" values (the "#%" prefix): REG_EXPAND_SZ.
    msiinfo export "$msi" Registry | sed 's/\tEventMessageFile\t\[/\tEventMessageFile\t#%[/' >"$stage/Registry.idt"
    # Nor does it give the files their version, without which a file left by
    # "NuboraService.exe install" would be kept ("versioned files win"); the
    # file hashes are for unversioned files only.
    msiinfo export "$msi" File | awk -F'\t' -v OFS='\t' -v v="$file_version" 'NR > 3 { $5 = v } 1' >"$stage/File.idt"
    msiinfo export "$msi" MsiFileHash | sed -n 1,3p >"$stage/MsiFileHash.idt"
    (cd "$stage" && msibuild "$msi" -i _ForceCodepage.idt -i ServiceInstall.idt -i Registry.idt -i File.idt \
        -i MsiFileHash.idt) ||
        die "msibuild failed ($arch)"

    # Read back what Windows Installer will read.
    row=$(msiinfo export "$msi" ServiceInstall | tr -d '\r' | awk -F'\t' '$2 == "NuboraService"')
    [ "$(cut -f3 <<<"$row")" = "$display_name" ] && [ "$(cut -f13 <<<"$row")" = "$description" ] ||
        die "the service's display name or description did not go in ($arch)"
    [[ $(msiinfo export "$msi" Registry) == *$'\tEventMessageFile\t#%[#ToolExe]\t'* ]] ||
        die "EventMessageFile is not REG_EXPAND_SZ ($arch)"
    [ "$(msiinfo export "$msi" _ForceCodepage | tr -d '\r' | sed -n 3p)" = $'936\t_ForceCodepage' ] ||
        die "code page 936 did not go in ($arch)"
    mv "$msi" "$out/"
    echo "$out/nubora-$version-$arch.msi"
done
