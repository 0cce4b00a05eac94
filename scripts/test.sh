#!/usr/bin/env bash
# Builds both configurations and runs every test: the window-free logic on the Linux host under
# AddressSanitizer and UBSan, then all Windows tests under Wine.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
scripts/deps.sh

cmake --preset host >/dev/null
cmake --build --preset host
cmake --preset windows >/dev/null
cmake --build --preset windows

# Both suites always run; the script fails when either has a failing test.
status=0
echo "== host tests =="
ctest --preset host || status=1
echo "== Windows tests (Wine) =="
scripts/ctest-wine.sh build/windows || status=1
exit "$status"
