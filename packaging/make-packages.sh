#!/usr/bin/env bash
# Builds the Windows Installer packages of the shipped 32-bit executables:
# <out>/nubora-<version>-x64.msi (64-bit Windows) and -x86.msi (32-bit
# Windows). The entry point is scripts/package.sh; README "Packages" tells the
# pipeline around it.
#   --bin DIR         package DIR's service and tool executables as they
#                     are (PE32 i386, version resources X.Y.Z.0); without it the
#                     win32 build is brought up to date and packaged
#   --sign PFX        sign both executables before packaging and both packages
#                     after (Authenticode, SHA-256), and verify each signature;
#                     --password-file F holds the PFX's password, --timestamp
#                     URL a timestamp server
#   --version X.Y.Z   must equal the executables' version (a check)
#   --out DIR         default build/packages
#   --previous FILE   an earlier package: one of the same version and
#                     architecture must be this very package (as one in --out)
set -euo pipefail
usage="usage: scripts/package.sh [--bin DIR] [--sign PFX [--password-file F] [--timestamp URL]] [--version X.Y.Z] [--out DIR] [--previous FILE]"
bin="" pfx="" password_file="" timestamp="" version="" out="" previous=""
while [ $# -gt 0 ]; do
    [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }
    case $1 in
    --bin) bin=$2 ;;
    --sign) pfx=$2 ;;
    --password-file) password_file=$2 ;;
    --timestamp) timestamp=$2 ;;
    --version) version=$2 ;;
    --out) out=$2 ;;
    --previous) previous=$2 ;;
    *) echo "$usage" >&2; exit 2 ;;
    esac
    shift 2
done
[ -n "$pfx" ] || [ -z "$password_file$timestamp" ] || { echo "$usage" >&2; exit 2; }
# Paths given are the caller's; the script works from the source tree.
for path in bin pfx password_file out previous; do [ -z "${!path}" ] || printf -v "$path" '%s' "$(realpath -m -- "${!path}")"; done
cd "$(dirname "$0")/.."
die() { echo "package.sh: $*" >&2; exit 1; }

# The services' identity from platform/identity.h, in UTF-8, into the
# variables named: each value there is one statement of wide string pieces
# (only \\, \" and \uXXXX escapes), a number or an earlier value's name.
# Anything else there, or a value missing, fails the build.
identity=$(perl -CS -0777 -e '
    my $file = shift; open my $in, "<:utf8", $file or die "cannot read $file\n"; my $text = <$in>;
    my (%value, $v);
    for ($text =~ /^inline constexpr((?:[^;"]|"(?:[^"\\\n]|\\.)*")*);/mg) {
        /^\s+(?:const\s+)?(?:wchar_t|unsigned long)\s*\*?\s*(k\w+)(?:\[\])?\s*=\s*(.*?)\s*$/s or die "$file: not a value: $_\n";
        my ($name, $given) = ($1, $2);
        if ($given =~ /^(?:\d+|k\w+)$/) { $v = $given =~ /^k/ ? $value{$given} : $given; defined $v or die "$file: $name: no $given above\n" }
        elsif ($given =~ /^(?:L"(?:[^"\\]|\\[\\"]|\\u[0-9A-Fa-f]{4})*"\s*)+$/) {
            $v = join "", $given =~ /L"((?:[^"\\]|\\.)*)"/g;
            $v =~ s/\\u([0-9A-Fa-f]{4})|\\(.)/defined $1 ? chr(hex $1) : $2/ge;
            $v !~ /[\x00-\x1f]/ or die "$file: $name holds a control character\n";
        } else { die "$file: $name is not one literal, number or value name: $given\n" }
        $value{$name} = $v;
    }
    my @wanted = map { [split /=/] } @ARGV;
    defined $value{$_->[1]} or die "$file has no $_->[1]\n" for @wanted;
    print "$_->[0]\t$value{$_->[1]}\n" for @wanted;
' platform/identity.h service_name=kServiceName display_name=kServiceDisplayName description=kServiceDescription \
    service_path=kServiceInstallPath service_argument=kServiceArgument tool_exe=kToolFile report_name=kReportServiceName \
    report_display_name=kReportDisplayName report_description=kReportDescription report_arguments=kReportArguments \
    report_settings_key=kReportSettingsKey report_options_value=kReportOptionsValue \
    sources_key=kEventSourcesKey event_source=kEventSource message_value=kEventMessageFileValue \
    types_value=kTypesSupportedValue types=kTypesSupported 2>&1) || die "$identity"
while IFS=$'\t' read -r var value; do printf -v "$var" '%s' "$value"; done <<<"$identity"
# The packages install into Program Files: C:\Program Files\PRODUCT\FOLDER\EXE.
[[ $service_path =~ ^C:\\Program\ Files\\([^\\]+)\\([^\\]+)\\([^\\]+\.exe)$ ]] ||
    die "kServiceInstallPath is not C:\\Program Files\\PRODUCT\\FOLDER\\FILE.exe: $service_path"
service_exe=${BASH_REMATCH[3]} install_folder=${BASH_REMATCH[1]}\\${BASH_REMATCH[2]}
# Every value but the service's texts goes to wixl (defines for nubora.wxs),
# which takes ASCII only.
defines=()
for define in ServiceName="$service_name" ServiceExe="$service_exe" ServiceArgument="$service_argument" \
    ProductFolder="${BASH_REMATCH[1]}" InstallFolder="${BASH_REMATCH[2]}" InstallPath="${service_path%\\*}" \
    ToolExe="$tool_exe" ReportName="$report_name" ReportDisplayName="$report_display_name" \
    ReportDescription="$report_description" ReportArguments="$report_arguments" \
    ReportSettingsKey="$report_settings_key" ReportOptionsValue="$report_options_value" \
    EventSourceKey="$sources_key$event_source" MessageFileValue="$message_value" TypesValue="$types_value" Types="$types"; do
    ! LC_ALL=C grep -q '[^ -~]' <<<"$define" || die "platform/identity.h: ${define%%=*} is not ASCII"
    defines+=(-D "$define")
done

# Tools first: a missing one is installed from its Debian package, by name.
need=(wixl:wixl msiinfo:msitools msibuild:msitools file:file sha256sum:coreutils)
[ -n "$bin" ] || need+=(cmake:cmake ninja:ninja-build i686-w64-mingw32-g++-posix:g++-mingw-w64-i686-posix)
[ -z "$pfx" ] || need+=(osslsigncode:osslsigncode openssl:openssl)
missing=() tools=()
for tool_package in "${need[@]}"; do
    command -v "${tool_package%%:*}" >/dev/null || { tools+=("${tool_package%%:*}") missing+=("${tool_package#*:}"); }
done
if [ ${#missing[@]} -gt 0 ]; then
    mapfile -t missing < <(printf '%s\n' "${missing[@]}" | sort -u)
    echo "package.sh: ${tools[*]} missing: installing ${missing[*]}" >&2
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null || die "could not install ${missing[*]}"
fi

stage=$(mktemp -d /tmp/nubora-package.XXXXXX)
trap 'rm -rf "$stage"' EXIT
out=${out:-build/packages}
if [ -z "$bin" ]; then
    bin=build/win32
    [ -f "$bin/build.ninja" ] || cmake --preset win32 >"$stage/build.log" 2>&1 || { cat "$stage/build.log" >&2; die "cmake --preset win32 failed"; }
    cmake --build --preset win32 >"$stage/build.log" 2>&1 || { cat "$stage/build.log" >&2; die "the win32 build failed"; }
fi

# X.Y.Z as numbers: 1.0.01 is 1.0.1, as Windows Installer compares them.
numeric_version() {
    local major minor build
    [[ $1 =~ ^[0-9]{1,5}\.[0-9]{1,5}\.[0-9]{1,5}$ ]] || return 1
    IFS=. read -r major minor build <<<"$1"
    ((10#$major <= 255 && 10#$minor <= 255 && 10#$build <= 65535)) || return 1
    echo "$((10#$major)).$((10#$minor)).$((10#$build))"
}
# The file version of a PE image's VS_FIXEDFILEINFO (signature 0xFEEF04BD),
# which Windows Installer compares with the file at the path, as X.Y.Z.W.
file_version() {
    local at words
    at=$(LC_ALL=C grep -obUaP '\xbd\x04\xef\xfe' "$1" | head -n 1 | cut -d: -f1)
    [ -n "$at" ] || return 1
    read -r -a words < <(od -An -tu2 -j $((at + 8)) -N 8 "$1")
    echo "${words[1]}.${words[0]}.${words[3]}.${words[2]}"
}
exe_version=""
for exe in "$service_exe" "$tool_exe"; do
    [ -f "$bin/$exe" ] || die "no $exe in $bin"
    [[ $(file -b "$bin/$exe") == "PE32 executable "*"Intel 80386"* ]] || die "$bin/$exe is not a 32-bit x86 Windows executable"
    v=$(file_version "$bin/$exe") || die "$bin/$exe has no version resource"
    [[ $v == *.0 ]] && numeric_version "${v%.0}" >/dev/null || die "$bin/$exe has version $v, not X.Y.Z.0"
    [ -z "$exe_version" ] || [ "$v" = "$exe_version" ] || die "$service_exe and $tool_exe differ in version ($exe_version, $v)"
    exe_version=$v
    cp "$bin/$exe" "$stage/"
done
exe_version=${exe_version%.0}
if [ -n "$version" ]; then
    version=$(numeric_version "$version") || die "version '$version' is not X.Y.Z (X, Y at most 255, Z at most 65535)"
    [ "$version" = "$exe_version" ] || die "version $version differs from the executables' $exe_version"
fi
version=$exe_version

# Authenticode with SHA-256; each signature is verified against the
# certificate's own chain (the PFX's certificates and the system's CAs).
if [ -n "$pfx" ]; then
    pass=(-pass "") passin=(-passin pass:)
    [ -z "$password_file" ] || pass=(-readpass "$password_file") passin=(-passin "file:$password_file")
    openssl pkcs12 -in "$pfx" "${passin[@]}" -nokeys -out "$stage/chain.pem" 2>"$stage/openssl.err" ||
        { cat "$stage/openssl.err" >&2; die "cannot read $pfx"; }
    [ ! -f /etc/ssl/certs/ca-certificates.crt ] || cat /etc/ssl/certs/ca-certificates.crt >>"$stage/chain.pem"
fi
sign() {
    [ -n "$pfx" ] || return 0
    local ts=()
    [ -z "$timestamp" ] || ts=(-ts "$timestamp")
    osslsigncode sign -pkcs12 "$pfx" "${pass[@]}" -h sha256 "${ts[@]}" -in "$1" -out "$1.signed" >"$stage/sign.log" 2>&1 &&
        mv "$1.signed" "$1" &&
        osslsigncode verify -CAfile "$stage/chain.pem" -in "$1" >"$stage/sign.log" 2>&1 ||
        { cat "$stage/sign.log" >&2; die "signing or verifying $(basename "$1") failed"; }
}

# The product, as Programs and Features and the summary information name it.
product=Nubora subject='Nubora network configuration service and tool'
# wixl takes Source paths relative to the .wxs file.
cp packaging/nubora.wxs "$stage/"
upgrade_code=$(sed -n 's/.*UpgradeCode="\([^"]*\)".*/\1/p' packaging/nubora.wxs)
property() { msiinfo export "$1" Property 2>/dev/null | tr -d '\r' | sed -n "s/^$2\t//p"; }
[ -z "$previous" ] || [ "$(property "$previous" UpgradeCode | tr a-f A-F)" = "{${upgrade_code^^}}" ] ||
    die "$previous is not a package of $product"

# A name-based GUID (SHA-1, RFC 4122 version 5 layout) of the NAME.
derived_guid() {
    local h
    h=$(printf '%s' "$1" | sha1sum | cut -c1-32)
    printf '%s-%s-5%s-%x%s-%s\n' "${h:0:8}" "${h:8:4}" "${h:13:3}" \
        $(((0x${h:16:1} & 3) | 8)) "${h:17:3}" "${h:20:12}" | tr a-f A-F
}
# The package code follows everything that makes the package: the given
# executables, the sources and this script, the version, the signer.
inputs=$(sha256sum "$stage/$service_exe" "$stage/$tool_exe" packaging/{nubora.wxs,make-packages.sh} platform/identity.h \
    ${pfx:+"$pfx"} | cut -d' ' -f1)
for exe in "$stage"/*.exe; do sign "$exe"; done

template() { echo "$([ "$1" = x64 ] && echo x64 || echo Intel);1033"; }
package_code() { derived_guid "$upgrade_code $inputs $version $1"; }
# The same version with other content is another package, which Windows
# refuses (1638) where the first is installed: a version is never rebuilt
# with other content. Both architectures are checked before either is built.
for arch in x64 x86; do
    for earlier in "$out/nubora-$version-$arch.msi" ${previous:+"$previous"}; do
        [ -f "$earlier" ] && [ "$(property "$earlier" ProductVersion)" = "$version" ] || continue
        summary=$(msiinfo suminfo "$earlier")
        [[ $summary == *"Template: $(template $arch)"$'\n'* ]] || continue
        [[ $summary == *"Revision number (UUID): {$(package_code $arch)}"$'\n'* ]] ||
            die "$earlier is another package of version $version ($arch): a change that ships needs a new version"
    done
done

mkdir -p "$out"
for arch in x64 x86; do
    name=nubora-$version-$arch.msi msi=$stage/nubora-$version-$arch.msi
    template=$(template $arch) package_code=$(package_code $arch)
    # This wixl exits 0 while it ignores what it does not know: any word on
    # standard error fails the build.
    wixl -a "$arch" -D Arch="$arch" -D Version="$version" -D Product="$product" -D Subject="$subject" "${defines[@]}" \
        -D ProductCode="$(derived_guid "$upgrade_code nubora-$version-$arch")" \
        -o "$msi" "$stage/nubora.wxs" 2>"$stage/wixl.err" || { cat "$stage/wixl.err" >&2; die "wixl failed ($arch)"; }
    [ ! -s "$stage/wixl.err" ] || { cat "$stage/wixl.err" >&2; die "wixl complained ($arch)"; }

    # This wixl cannot store the service's Chinese texts: code page first
    # (Windows Installer has no UTF-8 databases), then the texts, which
    # msibuild converts from UTF-8 into it. Its services are not vital (error
    # control 1 without 0x8000): one that cannot be created would not fail the
    # package.
    printf '\r\n\r\n936\t_ForceCodepage\r\n' >"$stage/_ForceCodepage.idt"
    msiinfo export "$msi" ServiceInstall | tr -d '\r' | display_name=$display_name description=$description \
        awk -F'\t' -v OFS='\t' 'NR > 3 { $6 = 32769; if ($3 == "@DISPLAY_NAME@") $3 = ENVIRON["display_name"]
            if ($13 == "@DESCRIPTION@") $13 = ENVIRON["description"] } 1' >"$stage/ServiceInstall.idt"
    # Nor does it mark Type="expandable" values (the "#%" prefix): REG_EXPAND_SZ.
    msiinfo export "$msi" Registry | sed "s/\t$message_value\t\[/\t$message_value\t#%[/" >"$stage/Registry.idt"
    # Nor does it give the files their version; the file hashes are for
    # unversioned files only.
    msiinfo export "$msi" File | awk -F'\t' -v OFS='\t' -v v="$version.0" 'NR > 3 { $5 = v } 1' >"$stage/File.idt"
    msiinfo export "$msi" MsiFileHash | sed -n 1,3p >"$stage/MsiFileHash.idt"
    # Nor does it know file searches: SERVICE_LEFT and TOOL_LEFT, either
    # executable found at the install path (where the launch condition
    # refuses an install over one not the package's).
    printf 'Signature_\tParent\tPath\tDepth\r\ns72\tS72\tS255\tI2\r\nDrLocator\tSignature_\tParent\tPath\r\n' >"$stage/DrLocator.idt"
    for signature in ServiceLeft ToolLeft; do
        printf '%s\t\t[%s]%s\\\t0\r\n' $signature "$([ $arch = x64 ] && echo ProgramFiles64Folder || echo ProgramFilesFolder)" \
            "$install_folder" >>"$stage/DrLocator.idt"
    done
    # Nor a RemoveExistingProducts after InstallExecute: an upgrade installs
    # over the old product's components before it removes the old product,
    # whose shared components (the services' among them) stay; a failed
    # upgrade leaves it as it was. Nor custom actions: ARPINSTALLLOCATION for
    # Programs and Features; REPORT_OPTIONS given on the command line outlives
    # the search that reads back the kept one (which would overwrite it).
    (cd "$stage" && msibuild "$msi" -i _ForceCodepage.idt -i ServiceInstall.idt -i Registry.idt -i File.idt \
        -i MsiFileHash.idt -i DrLocator.idt \
        -q "INSERT INTO Signature (Signature, FileName) VALUES ('ServiceLeft', '$service_exe')" \
        -q "INSERT INTO Signature (Signature, FileName) VALUES ('ToolLeft', '$tool_exe')" \
        -q "INSERT INTO AppSearch (Property, Signature_) VALUES ('SERVICE_LEFT', 'ServiceLeft')" \
        -q "INSERT INTO AppSearch (Property, Signature_) VALUES ('TOOL_LEFT', 'ToolLeft')" \
        -q "INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('InstallExecute', 6500)" \
        -q "UPDATE InstallExecuteSequence SET Sequence = 6550 WHERE Action = 'RemoveExistingProducts'" \
        -q "INSERT INTO CustomAction (Action, Type, Source, Target) VALUES ('SetInstallLocation', 51, 'ARPINSTALLLOCATION', '[INSTALLDIR]')" \
        -q "INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('SetInstallLocation', 1001)" \
        -q "INSERT INTO CustomAction (Action, Type, Source, Target) VALUES ('SaveGivenReportOptions', 51, 'GIVEN_REPORT_OPTIONS', '[REPORT_OPTIONS]')" \
        -q "INSERT INTO CustomAction (Action, Type, Source, Target) VALUES ('RestoreGivenReportOptions', 51, 'REPORT_OPTIONS', '[GIVEN_REPORT_OPTIONS]')" \
        -q "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('SaveGivenReportOptions', 'REPORT_OPTIONS', 49)" \
        -q "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('RestoreGivenReportOptions', 'GIVEN_REPORT_OPTIONS', 51)" \
        -q "INSERT INTO InstallUISequence (Action, Condition, Sequence) VALUES ('SaveGivenReportOptions', 'REPORT_OPTIONS', 49)" \
        -q "INSERT INTO InstallUISequence (Action, Condition, Sequence) VALUES ('RestoreGivenReportOptions', 'GIVEN_REPORT_OPTIONS', 51)" \
        -q "UPDATE Property SET Value = 'REPORT_OPTIONS;$(property "$msi" SecureCustomProperties)' WHERE Property = 'SecureCustomProperties'" \
        -s "$subject" "$product" "$template" "{$package_code}") ||
        die "msibuild failed ($arch)"

    # Read back what Windows Installer will read.
    rows=$(msiinfo export "$msi" ServiceInstall | tr -d '\r')
    row=$(name=$service_name awk -F'\t' '$2 == ENVIRON["name"]' <<<"$rows")
    [ "$(cut -f3 <<<"$row")" = "$display_name" ] && [ "$(cut -f13 <<<"$row")" = "$description" ] ||
        die "the service's display name or description did not go in ($arch)"
    [ "$(awk -F'\t' 'NR > 3 { print $6 }' <<<"$rows" | sort -u)" = 32769 ] || die "the services are not vital ($arch)"
    [[ $(msiinfo export "$msi" Registry) == *$'\t'"$message_value"$'\t#%[#ToolExe]\t'* ]] ||
        die "$message_value is not REG_EXPAND_SZ ($arch)"
    [ "$(msiinfo export "$msi" _ForceCodepage | tr -d '\r' | sed -n 3p)" = $'936\t_ForceCodepage' ] ||
        die "code page 936 did not go in ($arch)"
    [ "$(msiinfo export "$msi" InstallExecuteSequence | tr -d '\r' | awk -F'\t' '{ at[$1] = $3 } END {
        print at["InstallServices"] < at["InstallExecute"] && at["InstallExecute"] < at["RemoveExistingProducts"] &&
            at["RemoveExistingProducts"] < at["InstallFinalize"] }')" = 1 ] ||
        die "RemoveExistingProducts is not between InstallExecute and InstallFinalize ($arch)"
    # 0x08: delete on install.
    [ -z "$(msiinfo export "$msi" ServiceControl | tr -d '\r' | awk -F'\t' 'NR > 3 && int($3 / 8) % 2')" ] ||
        die "a service is deleted on install ($arch)"
    summary=$(msiinfo suminfo "$msi")
    [[ $summary == *"Subject: $subject"$'\n'*"Author: $product"$'\n'*"Template: $template"$'\n'*"Revision number (UUID): {$package_code}"* ]] ||
        die "the summary information did not go in ($arch)"
    sign "$msi"
    mv "$msi" "$out/"
    echo "$out/$name"
done
