#!/usr/bin/env bash
# Builds the Windows Installer packages (packaging/make-packages.sh):
#   scripts/package.sh [--bin DIR] [--sign PFX [--password-file F] [--timestamp URL]] [--version X.Y.Z] [--out DIR]
exec "$(dirname "$0")/../packaging/make-packages.sh" "$@"
