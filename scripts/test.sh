#!/usr/bin/env bash
# Builds both configurations and runs every test: the window-free logic on the Linux host under
# AddressSanitizer and UBSan, then all Windows tests under Wine, then the release package's.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
scripts/deps.sh

cmake --preset host >/dev/null
cmake --build --preset host
cmake --preset windows >/dev/null
cmake --build --preset windows

# Every suite runs; the script fails when any has a failing test.
status=0
echo "== host tests =="
ctest --preset host || status=1
echo "== Windows tests (Wine) =="
scripts/ctest-wine.sh build/windows || status=1
# The release package: signed, rebuilt in another folder and compared, manifests read back.
echo "== release package =="
tests/installer/release_test.sh || status=1
exit "$status"
