# shellcheck shell=bash
# Runs commands where Wine can start the shipped 32-bit executable as a WOW64
# process, on a machine that cannot execute 32-bit x86 code itself. Source
# this file (tools/wine-netns.sh first); nothing runs on load.
#
# What it takes, all kept in $NUBORA_WOW64_DIR (fetched once per machine, the
# machine's apt sources and dpkg database untouched):
#   - qemu-i386 from Debian's qemu-user (bookworm-backports: bookworm's own is
#     far too slow for Wine);
#   - Debian's 32-bit Wine (wine32 and libwine for i386, the same version as
#     the installed wine64) with the few i386 libraries it loads.
# The packages come through a private apt configuration (its own sources
# list, lists and archive cache under $NUBORA_WOW64_DIR/apt) and are unpacked
# with dpkg-deb, never installed.
#
# nubora_wow64_exec runs a command in a private user, mount and network
# namespace (`unshare`), in which:
#   - qemu-i386 is registered for i386 ELF files in the namespace's own
#     binfmt_misc instance (flag F: the emulator is opened at registration, so
#     it runs from any mount namespace);
#   - the i386 files are laid over /usr/lib (read-only overlay), so wine64
#     finds its 32-bit loader at /usr/lib/wine/wine and the wineserver, which
#     opens the 32-bit DLLs for the loader, sees them at their real paths;
#     /usr/lib/ld-linux.so.2 is the unpacked one even where libc6-i386 is
#     installed, and LD_LIBRARY_PATH gives it the unpacked libraries, its own
#     search path lacking the multiarch directory (64-bit programs skip them);
#   - /run/netns and /etc/netns are fresh tmpfs and /etc/resolv.conf is
#     empty: namespaces made by tools/wine-netns.sh, and their resolv.conf files, stay
#     inside;
#   - no interface but `lo` exists, so nothing can reach any network.
# Needs Linux 6.7 or later (binfmt_misc per user namespace) and root (the
# namespaces' uid 0 maps to the caller).

NUBORA_WOW64_DIR=${NUBORA_WOW64_DIR:-$NUBORA_CACHE/wow64}
# The Debian archive this machine's apt already uses (not its security one).
_nubora_debian_mirror() {
    local f
    for f in /etc/apt/sources.list.d/*.sources /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -r "$f" ] || continue
        awk '($1 == "URIs:" || $1 == "deb") {
                 for (i = 2; i <= NF; i++)
                     if ($i ~ /^[a-z+]+:\/\// && $i !~ /-security/) {print $i; exit}
             }' "$f"
    done | awk 'NR == 1'
}
NUBORA_DEBIAN_MIRROR=${NUBORA_DEBIAN_MIRROR:-$(_nubora_debian_mirror)}
# i386 packages unpacked next to wine32; the loader needs the C library only,
# FreeType spares every 32-bit process a warning about fonts.
NUBORA_WOW64_I386_PACKAGES=(wine32 libwine libc6 libgcc-s1 libfreetype6 libpng16-16 zlib1g libbrotli1)

# The apt-get options that make apt use only the private configuration.
_nubora_wow64_apt() {
    local a="$NUBORA_WOW64_DIR/apt"
    apt-get -q -o Dir::Etc::sourcelist="$a/sources.list" -o Dir::Etc::sourceparts="$a/none" \
        -o Dir::Etc::preferencesparts="$a/none" -o Dir::State::Lists="$a/lists" \
        -o Dir::Cache="$a/cache" -o Dir::State::status="$a/status" \
        -o APT::Architectures::=i386 -o Acquire::Languages=none -o APT::Sandbox::User=root \
        -o Acquire::Retries=1 -o Acquire::http::Timeout=60 "$@"
}

# Downloads and unpacks what nubora_wow64_exec needs, unless already there.
# Fails with the reason on stderr.
_nubora_wow64_fetch() {
    local d=$NUBORA_WOW64_DIR version p
    version=$(dpkg-query -W -f='${Version}' wine64 2>/dev/null) ||
        { nubora_die "wine64 is not installed"; return 1; }
    [ -f "$d/.ready" ] && [ "$(cat "$d/.ready")" = "$version" ] && return 0
    nubora_log "fetching qemu-i386 and 32-bit Wine $version into $d"
    rm -rf "$d/apt" "$d/debs" "$d/root.tmp" "$d/root" "$d/qemu-i386" "$d/.ready"
    mkdir -p "$d/apt/lists/partial" "$d/apt/cache/archives/partial" "$d/apt/none" "$d/debs" \
        "$d/root.tmp" || return 1
    : >"$d/apt/status"
    local key=/usr/share/keyrings/debian-archive-keyring.gpg
    printf 'deb [arch=%s signed-by=%s] %s %s main\n' amd64 "$key" "$NUBORA_DEBIAN_MIRROR" bookworm-backports \
        i386 "$key" "$NUBORA_DEBIAN_MIRROR" bookworm >"$d/apt/sources.list"
    _nubora_wow64_apt update >"$d/apt/update.log" 2>&1 ||
        { nubora_die "apt-get update (private sources) failed: $(tail -n 2 "$d/apt/update.log")"; return 1; }
    local -a want=(qemu-user/bookworm-backports)
    for p in "${NUBORA_WOW64_I386_PACKAGES[@]}"; do
        case $p in wine32 | libwine) want+=("$p:i386=$version") ;; *) want+=("$p:i386") ;; esac
    done
    (cd "$d/debs" && _nubora_wow64_apt download "${want[@]}") >"$d/apt/download.log" 2>&1 ||
        { nubora_die "apt-get download failed: $(tail -n 2 "$d/apt/download.log")"; return 1; }
    dpkg-deb --fsys-tarfile "$d"/debs/qemu-user_*.deb | tar -xO ./usr/bin/qemu-i386 >"$d/qemu-i386.tmp" &&
        chmod 755 "$d/qemu-i386.tmp" && mv "$d/qemu-i386.tmp" "$d/qemu-i386" || return 1
    for p in "$d"/debs/*_i386.deb; do dpkg-deb -x "$p" "$d/root.tmp" || return 1; done
    # Lay the packages' /lib into /usr/lib (this system has merged /usr), and
    # give the 32-bit side the zlib1.dll that libwine's install script makes
    # (the installed libwine made the i386 one too).
    [ ! -d "$d/root.tmp/lib" ] || { cp -a "$d/root.tmp/lib/." "$d/root.tmp/usr/lib/" && rm -rf "$d/root.tmp/lib"; } || return 1
    cp /usr/lib/x86_64-linux-gnu/wine/i386-windows/zlib1.dll \
        "$d/root.tmp/usr/lib/i386-linux-gnu/wine/i386-windows/" || return 1
    rm -rf "$d/root.tmp/usr/share/doc" "$d/debs"
    mv "$d/root.tmp" "$d/root" && printf '%s\n' "$version" >"$d/.ready"
}

# nubora_wow64_fetch: _nubora_wow64_fetch, one caller at a time.
nubora_wow64_fetch() {
    mkdir -p "$NUBORA_WOW64_DIR" || return 1
    (flock 9 && _nubora_wow64_fetch) 9>"$NUBORA_WOW64_DIR/.lock"
}

# nubora_wow64_exec COMMAND [ARGS ...]
# Runs COMMAND in the namespace described above (call nubora_wow64_fetch
# first). The exit status is COMMAND's.
nubora_wow64_exec() {
    local d=$NUBORA_WOW64_DIR
    [ -x "$d/qemu-i386" ] && [ -d "$d/root/usr/lib" ] || { nubora_die "no emulator in $d"; return 1; }
    mkdir -p /run/netns /etc/netns || return 1
    # shellcheck disable=SC2016  # expanded by the inner shell
    unshare --user --map-root-user --mount --net --propagation private bash -c '
        set -e
        mount -t binfmt_misc nubora-binfmt /proc/sys/fs/binfmt_misc
        printf "%s%s:F\n" ":nubora-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:" \
            "$1" >/proc/sys/fs/binfmt_misc/register
        mount -t overlay nubora-i386 -o "lowerdir=$2/usr/lib:/usr/lib" /usr/lib
        export LD_LIBRARY_PATH=/usr/lib/i386-linux-gnu
        mount -t tmpfs nubora-netns /run/netns
        mount -t tmpfs nubora-etc-netns /etc/netns
        : >/etc/netns/.empty-resolv.conf
        mount --bind /etc/netns/.empty-resolv.conf /etc/resolv.conf
        ip link set lo up
        shift 2
        exec "$@"' nubora-wow64 "$d/qemu-i386" "$d/root" "$@"
}

# nubora_wow64_check: whether an i386 program runs in such a namespace.
nubora_wow64_check() {
    local out
    out=$(nubora_wow64_exec /usr/lib/wine/wine --version 2>&1) || true
    [[ $out == wine-* ]] || { nubora_die "the 32-bit Wine loader does not run under the emulator: $out"; return 1; }
}
