#!/usr/bin/env bash
# Runs a Windows test executable under Wine, in a prefix kept for unit tests.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${NUBORA_UNIT_PREFIX:-$here/build/cache/wine-unit}
export WINELOADER=/usr/lib/wine/wine64
export WINEDEBUG=-all
if [[ ! -f $WINEPREFIX/system.reg ]]; then
  mkdir -p "$WINEPREFIX"
  /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
  /usr/lib/wine/wineserver -w || true
fi
exec /usr/lib/wine/wine64 "$@"
