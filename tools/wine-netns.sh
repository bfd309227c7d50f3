# shellcheck shell=bash
# Runs the Windows executables under Wine inside Linux network namespaces whose
# adapters carry chosen MACs and addresses: used by the demo, the benchmark and
# the end-to-end tests. Source this file; nothing runs on load.
#
# What Wine shows a program in a namespace (GetAdaptersAddresses):
#   - every Linux interface of the namespace, `lo` included, in ifindex order
#     (creation order); FriendlyName is the Linux interface name;
#   - MAC, every IPv4 address with its prefix length, the default route as the
#     gateway of the interface it goes through;
#   - the nameservers of the namespace's /etc/resolv.conf, on every adapter
#     (an empty resolv.conf shows up as 127.0.0.1).
# The adapter list comes from helper processes that belong to the prefix's
# wineserver, so a prefix must only ever be used from one namespace at a time;
# nubora_wine keeps one wineserver running per prefix and namespace, and stops
# it when the prefix changes namespace.
#
# Adapters are veth pairs; the peer end lives in a companion namespace
# "<ns>-peer" so that it does not appear in the adapter list. Nothing is routed
# to the host and no traffic leaves the namespaces.
#
# Environment:
#   NUBORA_CACHE      cache directory for the pristine prefix
#                     (default build/cache of the repository)
#   NUBORA_RECORDER   recorder executable to install as system32\netsh.exe
#   NUBORA_RECORDER32 32-bit recorder to install as syswow64\netsh.exe
#   NUBORA_ARCH=i686  prefixes for the 32-bit executable: booted with Wine's
#                     32-bit half (see wow64.sh), cached apart
#   NUBORA_WINE_TIMEOUT  if set, nubora_wine runs under `timeout` (seconds);
#                     exit status 124 then means the program was killed
#   NUBORA_WINEDLLOVERRIDES  overrides the default "netsh.exe=n"
#   NUBORA_KEEP=1     nubora_cleanup leaves prefixes on disk

NUBORA_WINE64=${NUBORA_WINE64:-/usr/lib/wine/wine64}
NUBORA_WINESERVER=${NUBORA_WINESERVER:-/usr/lib/wine/wineserver}
NUBORA_CACHE=${NUBORA_CACHE:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/cache}

# Namespaces and prefixes created through this file, for nubora_cleanup.
NUBORA_NETNS_LIST=${NUBORA_NETNS_LIST:-}
NUBORA_PREFIX_LIST=${NUBORA_PREFIX_LIST:-}

nubora_log() { printf '[nubora] %s\n' "$*" >&2; }
nubora_die() { printf '[nubora] error: %s\n' "$*" >&2; return 1; }

# nubora_windir PREFIX -> prints the Linux path of c:\windows in PREFIX.
nubora_windir() { printf '%s/drive_c/windows\n' "$1"; }

# --- prefixes ---------------------------------------------------------------

# Boots a brand-new prefix at DIR. Runs inside a throwaway namespace holding
# only `lo` so that booting cannot reach any network.
_nubora_boot_prefix() {
    local dir=$1 ns="nubora-boot-$$-$RANDOM" rc=0
    mkdir -p "$dir" || return 1
    ip netns add "$ns" || return 1
    ip netns exec "$ns" ip link set lo up
    ip netns exec "$ns" env WINEPREFIX="$dir" WINELOADER="$NUBORA_WINE64" WINEDEBUG=-all \
        WINEDLLOVERRIDES="mscoree,mshtml=" "$NUBORA_WINE64" wineboot -i >/dev/null 2>&1 || rc=$?
    ip netns exec "$ns" env WINEPREFIX="$dir" "$NUBORA_WINESERVER" -w || true
    ip netns delete "$ns"
    if [ "$rc" -ne 0 ] || [ ! -f "$dir/system.reg" ]; then
        nubora_die "wineboot failed in $dir (rc=$rc)"
        return 1
    fi
}

# nubora_prefix_init DIR [RECORDER]
# Creates a ready-to-use prefix at DIR (DIR must not exist yet or be empty),
# copying the cached pristine prefix when there is one and booting (and
# caching) otherwise. Installs RECORDER (default $NUBORA_RECORDER) as
# c:\windows\system32\netsh.exe when given, and $NUBORA_RECORDER32 as
# c:\windows\syswow64\netsh.exe when set.
nubora_prefix_init() {
    local dir=$1 recorder=${2:-${NUBORA_RECORDER:-}}
    [ -n "$dir" ] || { nubora_die "usage: nubora_prefix_init DIR [RECORDER]"; return 1; }
    if [ -e "$dir" ] && [ -n "$(ls -A "$dir" 2>/dev/null)" ]; then
        nubora_die "prefix directory $dir is not empty"; return 1
    fi
    local name=prefix64
    [ "${NUBORA_ARCH:-x86_64}" = i686 ] && name="prefix-wow64"
    local cached="$NUBORA_CACHE/$name"
    mkdir -p "$NUBORA_CACHE" || return 1
    (
        # One builder at a time; the marker is written last, so a cache
        # without it is incomplete and gets rebuilt.
        flock 9
        if [ ! -f "$cached/.nubora_pristine" ]; then
            nubora_log "booting a new wine prefix (cache: $cached)"
            rm -rf "$cached" "$cached.tmp"
            _nubora_boot_prefix "$cached.tmp" || exit 1
            touch "$cached.tmp/.nubora_pristine"
            mv "$cached.tmp" "$cached"
        fi
    ) 9>"$NUBORA_CACHE/.$name.lock" || return 1
    mkdir -p "$(dirname "$dir")" || return 1
    rmdir "$dir" 2>/dev/null || true
    cp -a "$cached" "$dir" || return 1
    rm -f "$dir/.nubora_pristine"
    NUBORA_PREFIX_LIST="$NUBORA_PREFIX_LIST $dir"
    if [ -n "$recorder" ]; then
        [ -f "$recorder" ] || { nubora_die "recorder $recorder not found"; return 1; }
        cp "$recorder" "$dir/drive_c/windows/system32/netsh.exe" || return 1
    fi
    if [ -n "${NUBORA_RECORDER32:-}" ]; then
        [ -f "$NUBORA_RECORDER32" ] || { nubora_die "recorder $NUBORA_RECORDER32 not found"; return 1; }
        cp "$NUBORA_RECORDER32" "$dir/drive_c/windows/syswow64/netsh.exe" || return 1
    fi
}

# --- namespaces -------------------------------------------------------------

# nubora_netns_create NAME
# Creates namespace NAME (with lo up), its companion NAME-peer, and an empty
# /etc/netns/NAME/resolv.conf so the host's resolvers never leak in.
nubora_netns_create() {
    local ns=$1
    [ -n "$ns" ] || { nubora_die "usage: nubora_netns_create NAME"; return 1; }
    ip netns add "$ns" || return 1
    NUBORA_NETNS_LIST="$NUBORA_NETNS_LIST $ns"
    ip netns add "$ns-peer" || return 1
    ip netns exec "$ns" ip link set lo up || return 1
    mkdir -p "/etc/netns/$ns" && : >"/etc/netns/$ns/resolv.conf"
}

# nubora_netns_delete NAME
# Deletes NAME, NAME-peer and /etc/netns/NAME. Missing pieces are ignored.
nubora_netns_delete() {
    local ns=$1
    [ -n "$ns" ] || { nubora_die "usage: nubora_netns_delete NAME"; return 1; }
    ip netns delete "$ns" 2>/dev/null || true
    ip netns delete "$ns-peer" 2>/dev/null || true
    rm -rf "/etc/netns/${ns:?}"
}

# nubora_netns_add_adapter NS IFNAME MAC [ADDR/PREFIX ...]
# Adds an up veth interface IFNAME with MAC and the given IPv4 addresses to
# NS (in the order given; the first one is the primary). Its peer, also named
# IFNAME, is up in NS-peer, so IFNAME has carrier.
nubora_netns_add_adapter() {
    local ns=$1 ifname=$2 mac=$3
    [ $# -ge 3 ] || { nubora_die "usage: nubora_netns_add_adapter NS IFNAME MAC [ADDR/PREFIX ...]"; return 1; }
    shift 3
    ip netns exec "$ns" ip link add "$ifname" type veth peer name "$ifname" netns "$ns-peer" || return 1
    ip netns exec "$ns" ip link set "$ifname" address "$mac" || return 1
    local a
    for a in "$@"; do
        ip netns exec "$ns" ip -4 addr add "$a" dev "$ifname" || return 1
    done
    ip netns exec "$ns-peer" ip link set "$ifname" up || return 1
    ip netns exec "$ns" ip link set "$ifname" up
}

# nubora_netns_set_gateway NS GW DEV [METRIC]
# Sets (replaces) a default route via GW on DEV. GW need not be inside one of
# DEV's subnets.
nubora_netns_set_gateway() {
    local ns=$1 gw=$2 dev=$3 metric=${4:-}
    [ $# -ge 3 ] || { nubora_die "usage: nubora_netns_set_gateway NS GW DEV [METRIC]"; return 1; }
    ip netns exec "$ns" ip -4 route replace default via "$gw" dev "$dev" onlink ${metric:+metric "$metric"}
}

# nubora_netns_set_dns NS [SERVER ...]
# Writes the nameservers of NS (rewritten in place, so programs that already
# run in NS see the change). No server gives an empty file.
nubora_netns_set_dns() {
    local ns=$1
    [ $# -ge 1 ] || { nubora_die "usage: nubora_netns_set_dns NS [SERVER ...]"; return 1; }
    shift
    mkdir -p "/etc/netns/$ns" || return 1
    local s
    for s in "$@"; do printf 'nameserver %s\n' "$s"; done >"/etc/netns/$ns/resolv.conf"
}

# --- running programs ---------------------------------------------------------

# nubora_wine NS PREFIX EXE [ARGS ...]
# Runs EXE (a Linux path or a Windows path / builtin name) with wine64 inside
# NS. stdin/stdout/stderr are passed through and the exit status is EXE's.
# Other exported variables (e.g. NUBORA_TEST_NETSH_SLEEP_MS) pass through.
nubora_wine() {
    local ns=$1 prefix=$2
    [ $# -ge 3 ] || { nubora_die "usage: nubora_wine NS PREFIX EXE [ARGS ...]"; return 1; }
    shift 2
    local owner=""
    [ -f "$prefix/.nubora_netns" ] && owner=$(cat "$prefix/.nubora_netns")
    if [ "$owner" != "$ns" ]; then
        # The running wineserver (if any) would report another namespace.
        WINEPREFIX="$prefix" "$NUBORA_WINESERVER" -k 2>/dev/null || true
        WINEPREFIX="$prefix" "$NUBORA_WINESERVER" -w 2>/dev/null || true
        # One server for every program until the prefix is stopped or changes
        # namespace: Debian's starts with -p0 and shuts down as soon as its
        # last program has ended, and a program that starts then waits for it
        # to be gone, gives up after 5.5 s ("a wine server seems to be
        # running, but I cannot connect to it") and exits with 1.
        ip netns exec "$ns" env WINEPREFIX="$prefix" "$NUBORA_WINESERVER" -p </dev/null >/dev/null 2>&1 ||
            { nubora_die "no wineserver for $prefix"; return 1; }
        printf '%s\n' "$ns" >"$prefix/.nubora_netns"
    fi
    local -a tmo=()
    [ -n "${NUBORA_WINE_TIMEOUT:-}" ] && tmo=(timeout -k 5 "$NUBORA_WINE_TIMEOUT")
    "${tmo[@]}" ip netns exec "$ns" env WINEPREFIX="$prefix" WINELOADER="$NUBORA_WINE64" \
        WINEDEBUG="${NUBORA_WINEDEBUG:--all}" WINEDLLOVERRIDES="${NUBORA_WINEDLLOVERRIDES:-netsh.exe=n}" \
        "$NUBORA_WINE64" "$@"
}

# nubora_wine_stop NS PREFIX
# Ends PREFIX's wineserver and every Wine process of it, and waits for that.
nubora_wine_stop() {
    local ns=$1 prefix=$2
    [ $# -ge 2 ] || { nubora_die "usage: nubora_wine_stop NS PREFIX"; return 1; }
    if ip netns list | grep -qw -- "$ns"; then
        ip netns exec "$ns" env WINEPREFIX="$prefix" "$NUBORA_WINESERVER" -k 2>/dev/null || true
    else
        WINEPREFIX="$prefix" "$NUBORA_WINESERVER" -k 2>/dev/null || true
    fi
    WINEPREFIX="$prefix" "$NUBORA_WINESERVER" -w 2>/dev/null || true
    rm -f "$prefix/.nubora_netns"
}

# nubora_wine_boot NS PREFIX TOOL
# A boot of PREFIX: its wineserver restarted and kept for good, so that the
# automatic services run now and not again beside a later program; returns
# once NuboraService has stopped (TOOL: nubora.exe, which waits for it).
nubora_wine_boot() {
    nubora_wine_stop "$1" "$2"
    ip netns exec "$1" env WINEPREFIX="$2" "$NUBORA_WINESERVER" -p
    printf '%s\n' "$1" >"$2/.nubora_netns"
    nubora_wine "$1" "$2" "$3" report --wait-for-service 60 --console none --no-eventlog >/dev/null 2>&1 || true
}

# nubora_console_pty NS PREFIX FILE
# Maps PREFIX's COM1 to a raw pseudo-terminal whose output is appended to FILE
# (by a reader that ends with this shell) and COM2 to a path that does not
# exist, so that no program writes to this machine's serial ports. Wine's mount
# manager links dosdevices/comN from HKLM\Software\Wine\Ports at every server
# start: the values go straight into the stopped prefix's registry file.
nubora_console_pty() {
    local ns=$1 prefix=$2 file=$3 pty none=/nonexistent/ttyS-none
    python3 -c 'import os, select, sys, tty
m, s = os.openpty(); tty.setraw(s); print(os.ttyname(s), flush=True)
out, parent = open(sys.argv[1], "ab", 0), os.getppid()
while os.getppid() == parent:
    if select.select([m], [], [], 0.2)[0]: out.write(os.read(m, 4096))' "$file" >"$file.pty" &
    while [ ! -s "$file.pty" ]; do sleep 0.1; done
    pty=$(cat "$file.pty")
    nubora_wine_stop "$ns" "$prefix"
    awk -v pty="$pty" -v none="$none" '{print} /^\[Software\\\\Wine\\\\Ports\]/ {getline; print
        printf "\"COM1\"=\"%s\"\n\"COM2\"=\"%s\"\n", pty, none}' "$prefix/system.reg" >"$prefix/system.reg.new" &&
        mv "$prefix/system.reg.new" "$prefix/system.reg"
    grep -qxF "\"COM1\"=\"$pty\"" "$prefix/system.reg" || { nubora_die "no Ports key in $prefix"; return 1; }
    ln -sfn "$pty" "$prefix/dosdevices/com1"
    ln -sfn "$none" "$prefix/dosdevices/com2"
}

# --- cleanup ----------------------------------------------------------------

# nubora_cleanup
# Stops the wineservers of the prefixes made by nubora_prefix_init, deletes
# those prefixes (unless NUBORA_KEEP=1) and every namespace made by
# nubora_netns_create.
nubora_cleanup() {
    local p ns
    for p in $NUBORA_PREFIX_LIST; do
        [ -d "$p" ] || continue
        WINEPREFIX="$p" "$NUBORA_WINESERVER" -k 2>/dev/null || true
        WINEPREFIX="$p" "$NUBORA_WINESERVER" -w 2>/dev/null || true
        [ "${NUBORA_KEEP:-0}" = 1 ] || rm -rf "${p:?}"
    done
    for ns in $NUBORA_NETNS_LIST; do nubora_netns_delete "$ns"; done
    NUBORA_PREFIX_LIST=""
    NUBORA_NETNS_LIST=""
}

# nubora_cleanup_trap
# Runs nubora_cleanup when the script exits (also on INT/TERM), keeping the
# script's exit status.
nubora_cleanup_trap() {
    # shellcheck disable=SC2154  # nubora__rc is set inside the trap itself
    trap 'nubora__rc=$?; nubora_cleanup; exit $nubora__rc' EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
}
