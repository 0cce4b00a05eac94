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

# Every suite runs; the script fails when any has a failing test, and ends with each suite's outcome.
status=0
summary=()
suite() {
  local name="$1"; shift
  echo "== $name =="
  if "$@"; then summary+=("passed: $name"); else summary+=("FAILED: $name"); status=1; fi
}
suite "host tests" ctest --preset host
suite "Windows tests (Wine)" scripts/ctest-wine.sh build/windows
# The release package: signed, rebuilt in another folder and compared, manifests read back.
suite "release package" tests/installer/release_test.sh
echo "== summary =="
printf '%s\n' "${summary[@]}"
exit "$status"
