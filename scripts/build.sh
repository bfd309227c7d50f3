#!/usr/bin/env bash
# Builds the three configurations: Linux (core and unit tests), Windows x86-64
# (the executable run under Wine in tests, and the unit tests for Windows) and
# Windows 32-bit (the shipped NuboraService.exe).
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in linux win64 win32; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
