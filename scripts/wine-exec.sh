#!/usr/bin/env bash
# Runs a Windows program under Wine in the private prefix of the build folder it was built in
# (<build>/bin/<program>.exe -> <build>/wineprefix). CTest uses it as the cross-compiling emulator.
set -euo pipefail
exe="$1"; shift
if [ -z "${WINEPREFIX:-}" ]; then
  WINEPREFIX="$(cd "$(dirname "$exe")/.." && pwd)/wineprefix"
fi
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export LC_ALL="${LC_ALL:-C.UTF-8}"
exec wine "$exe" "$@"
