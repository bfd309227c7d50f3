#!/usr/bin/env bash
# Runs a Windows test executable under Wine, in a prefix kept for unit tests.
# Its wineserver ends with it: Debian's (-p0) shuts down by itself once its
# last program has ended, and a program started meanwhile waits for it and,
# after 5.5 s, exits with 1 ("a wine server seems to be running").
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${NUBORA_UNIT_PREFIX:-$here/build/cache/wine-unit}
export WINELOADER=/usr/lib/wine/wine64
export WINEDEBUG=-all
if [[ ! -f $WINEPREFIX/system.reg ]]; then
  # A copy of the pristine prefix the end-to-end suites copy too: one boot.
  source "$here/tools/wine-netns.sh"
  rm -rf "$WINEPREFIX"
  nubora_prefix_init "$WINEPREFIX" || exit 1
fi
rc=0
/usr/lib/wine/wine64 "$@" || rc=$?
/usr/lib/wine/wineserver -k 2>/dev/null || true
/usr/lib/wine/wineserver -w || true
exit "$rc"
