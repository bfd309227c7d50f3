# shellcheck shell=bash
# Shared by the end-to-end suites: where the executables are, how a log is
# compared with its golden file, and the pass/fail count.
e2e_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
e2e_root=$(cd "$e2e_here/../.." && pwd)
# shellcheck source=../../tools/wine-netns.sh
source "$e2e_here/../../tools/wine-netns.sh"

E2E_DATA="$e2e_root/tests/data/e2e"
e2e_passed=0
e2e_failed=0

# NUBORA_ARCH selects the executable: x86_64 (default) runs the x86-64 build;
# i686 runs the shipped 32-bit build as a WOW64 process, the suite re-run as a
# whole inside the namespace of wow64.sh. A suite that cannot run for want of
# the emulator says so and exits with 77, or 1 when CI=true.
NUBORA_ARCH=${NUBORA_ARCH:-x86_64}
e2e_suite="$(basename "$0")"
case $NUBORA_ARCH in x86_64) e2e_build=win64 ;; i686) e2e_build=win32 ;; *)
    echo "unknown NUBORA_ARCH=$NUBORA_ARCH (x86_64 or i686)" >&2
    exit 2 ;;
esac
NUBORA_EXE=${NUBORA_EXE:-$e2e_root/build/$e2e_build/NuboraService.exe}
NUBORA_TOOL=${NUBORA_TOOL:-$e2e_root/build/$e2e_build/nubora.exe}
if [ "$NUBORA_ARCH" = i686 ]; then
    e2e_suite="${e2e_suite}[i686]"
    export NUBORA_RECORDER32=${NUBORA_RECORDER32:-$e2e_root/build/win32/tools/netsh_recorder.exe}
    # shellcheck source=wow64.sh
    source "$e2e_here/wow64.sh"
    if [ -z "${NUBORA_WOW64_INSIDE:-}" ]; then
        if ! nubora_wow64_fetch || ! nubora_wow64_check; then
            echo "NOT RUN $e2e_suite: no emulator for 32-bit Wine (see above)"
            [ "${CI:-}" = true ] && exit 1
            exit 77
        fi
        export NUBORA_ARCH NUBORA_EXE NUBORA_TOOL
        export NUBORA_WOW64_INSIDE=1
        nubora_wow64_exec bash "$0" "$@"
        exit $?
    fi
fi
NUBORA_RECORDER=${NUBORA_RECORDER:-$e2e_root/build/win64/tools/netsh_recorder.exe}

e2e_ok() { echo "ok   $1"; e2e_passed=$((e2e_passed + 1)); }
e2e_fail() { echo "FAIL $1"; e2e_failed=$((e2e_failed + 1)); }
# e2e_check NAME COMMAND...: a check that passes when COMMAND succeeds.
e2e_check() { local name=$1; shift; if "$@"; then e2e_ok "$name"; else e2e_fail "$name"; fi; }

# The log as LF text, with the clock lines reduced to their form, so that a
# golden file can hold it.
e2e_normalize_log() {
    tr -d '\r' <"$1" | sed -E \
        -e 's/^start time [0-9]{4}-[0-9]{1,2}-[0-9]{1,2},[ 0-9]{2}:[ 0-9]{2}:[ 0-9]{2}$/start time <time>/' \
        -e 's/^end time [0-9]{4}-[0-9]{1,2}-[0-9]{1,2},[ 0-9]{2}:[ 0-9]{2}:[ 0-9]{2}$/end time <time>/'
}

# A log without the lines that count a command's 2 s slices: how many slices a
# command outlasts depends on how fast Wine starts it (the unit player holds them).
e2e_without_slices() { grep -v '^wait .*count=' "$@" || true; }

# e2e_wait_for PATTERN FILE SECONDS: until FILE holds PATTERN (grep), at most
# SECONDS; starts no Wine program.
e2e_wait_for() { local i; for ((i = 0; i < $3 * 2; i++)); do grep -q -- "$1" "$2" && return 0; sleep 0.5; done; return 1; }

# e2e_same NAME EXPECTED-FILE ACTUAL-FILE
e2e_same() { e2e_check "$1" diff -u --label "expected $1" --label "actual $1" "$2" "$3"; }
# e2e_same_log NAME EXPECTED-LOG ACTUAL-LOG: the same, ACTUAL-LOG normalized,
# but for the lines that count 2 s slices.
e2e_same_log() { e2e_without_slices "$2" >"$out/expected.log" && e2e_normalize_log "$3" | e2e_without_slices >"$out/actual.log"
    e2e_same "$1" "$out/expected.log" "$out/actual.log"; }

# e2e_exits CODE NAME COMMAND...: a check that COMMAND exits with CODE; its
# standard output in $out/stdout, its standard error in $out/stderr.
e2e_exits() { local code=$1 name=$2 rc=0; shift 2; "$@" >"$out/stdout" 2>"$out/stderr" || rc=$?
    if [ "$rc" -eq "$code" ]; then e2e_ok "$name: exit code $code"; else e2e_fail "$name: exit code $code (was $rc)"; fi; }

# e2e_valid_json SCHEMA FILE: FILE holds to the JSON schema.
e2e_valid_json() { python3 -c 'import json, sys, jsonschema
jsonschema.validate(json.load(open(sys.argv[2])), json.load(open(sys.argv[1])))' "$@"; }

# e2e_as_written LF-FILE: CR LF lines and a clock, as the service writes them.
e2e_as_written() { sed -E 's/^(start|end) time <time>$/\1 time 2024-5-17, 9: 3: 0/; s/$/\r/' "$1"; }

# Every line of the file ends with CR LF.
e2e_all_crlf() { [ -s "$1" ] && ! grep -qv $'\r$' "$1"; }

# e2e_event_id NAME: the ID the message table (nubora/report/messages.mc)
# gives the message NAME, as Wine's ReportEventW trace prints it (0x00000064).
e2e_event_id() {
    awk -F= -v name="$1" '$1 == "MessageId" { id = $2 } $1 == "SymbolicName" && $2 == name { printf "0x%08x\n", id }' \
        "$e2e_root/nubora/report/messages.mc"
}

# e2e_console_settled TENTHS: until $out/console holds bytes that end a line,
# at most TENTHS tenths of a second.
e2e_console_settled() { local i; for ((i = 0; i < $1; i++)); do
    [ -s "$out/console" ] && [ -z "$(tail -c 1 "$out/console" | tr -d '\n')" ] && break; sleep 0.1; done; }

# e2e_told VERDICT STDERR: `nubora report` told VERDICT: the console
# ($out/console) begins with CR LF, its next line says it, and so does the
# event, whose type and ID Wine's ReportEventW hands to the advapi channel and
# its text to the eventlog channel (in STDERR, the report's with
# WINEDEBUG=fixme+advapi,+eventlog); every console line prefixed and ended
# with CR LF.
# Only the first report is held to it: at a boot the doctor's findings follow
# as a report of their own (under Wine at least the file access it shows).
e2e_told() {
    local type=1 name=INCOMPLETE_OR_UNREAD  # incomplete, or no verdict
    case $1 in configured) type=4 name=CONFIGURED ;; "nothing to configure") type=4 name=NOTHING_TO_CONFIGURE ;;
    "partly configured") type=2 name=PARTLY_CONFIGURED ;; "not configured"*) type=1 name=NOT_CONFIGURED ;; "not run"*) type=1 name=NOT_RUN ;; esac
    e2e_console_settled 100
    grep -q "fixme:advapi:ReportEventW ([0-9A-Fa-f]*,0x000$type,0x0000,$(e2e_event_id "NUBORA_RUN_$name")," "$2" &&
        grep -qF "eventlog:ReportEventW L\"verdict: $1" "$2" && e2e_all_crlf "$out/console" &&
        [ "$(head -n 1 "$out/console")" = $'\r' ] &&
        sed -n 2p "$out/console" | grep -qE '^NuboraService: [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8} ' &&
        [ "$(sed -n 2p "$out/console" | cut -d ' ' -f 4-)" = "verdict: $1"$'\r' ] &&
        ! sed -n '2,/^\r$/p' "$out/console" | grep -qv -e '^NuboraService: ' -e $'^\r$' ||
        { echo "  console: $(head -c 300 "$out/console")"; grep -a ReportEventW "$2" | head -c 600; return 1; }
}

e2e_summary() { echo "$e2e_suite: $e2e_passed passed, $e2e_failed failed"; [ "$e2e_failed" -eq 0 ]; }

# e2e_setup TAG: a fresh prefix with the recorder as netsh, an empty namespace
# and an output folder, all removed when the suite exits. Sets ns, prefix,
# windir and out.
e2e_setup() {
    nubora_cleanup_trap
    ns="$1$$-a"
    prefix="/tmp/$1$$-w"
    nubora_prefix_init "$prefix" "$NUBORA_RECORDER"
    windir=$(nubora_windir "$prefix")
    out=$(mktemp -d "/tmp/$1$$-out.XXXXXX")
    NUBORA_PREFIX_LIST="$NUBORA_PREFIX_LIST $out"
    nubora_netns_create "$ns"
}

# In the prefix and namespace of e2e_setup: e2e_wine runs a program;
# e2e_wine_out gives its standard output as LF text, standard error dropped.
e2e_wine() { nubora_wine "$ns" "$prefix" "$@"; }
e2e_wine_out() { e2e_wine "$@" 2>/dev/null | tr -d '\r'; }
# e2e_prints NAME EXPECTED COMMAND...: a check that COMMAND prints EXPECTED.
e2e_prints() { local name=$1 expected=$2; shift 2; e2e_check "$name" test "$(e2e_wine_out "$@")" = "$expected"; }
# e2e_state [SERVICE]: what sc query tells of SERVICE (NuboraService).
e2e_state() { e2e_wine_out sc query "${1:-NuboraService}" | awk '/STATE/ {print $4}'; }
# e2e_wait_state STATE SECONDS [SERVICE]: until SERVICE is in STATE.
e2e_wait_state() { local i; for ((i = 0; i < $2; i++)); do [ "$(e2e_state "${3:-}")" = "$1" ] && return 0; sleep 1; done; return 1; }
# e2e_reg_set KEY NAME TYPE DATA: a registry value written with reg add.
e2e_reg_set() { e2e_wine reg add "$1" /v "$2" /t "$3" /d "$4" /f >/dev/null 2>&1; }
# e2e_winpath PATH: the Linux PATH as Windows names it (drive Z:).
e2e_winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
# e2e_boot STDERR: a boot (the wineserver restarted, which starts the automatic
# services), its first program's advapi and eventlog debug output, which the
# services inherit, in STDERR; $out/console emptied first.
e2e_boot() { nubora_wine_stop "$ns" "$prefix" && : >"$out/console"
    NUBORA_WINEDEBUG=fixme+advapi,+eventlog e2e_wine cmd /c exit 2>"$1"; }
