#!/usr/bin/env bash
# Installs the Debian packages the build, the demo and the tests need, where
# they are missing. Changes nothing else on the machine.
set -euo pipefail
packages=(cmake ninja-build g++ googletest iproute2 file binutils time
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine64
          clang libclang-rt-14-dev llvm util-linux debian-archive-keyring
          nlohmann-json3-dev python3 python3-jsonschema wixl msitools osslsigncode openssl
          prometheus prometheus-node-exporter curl)
# The 32-bit end-to-end runs also need qemu-i386 and Wine's 32-bit half:
# tests/e2e/wow64.sh fetches them once into build/cache/wow64 with a private
# apt configuration (its own sources list and lists); nothing is installed.
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq "${missing[@]}" >/dev/null
fi
