#!/usr/bin/env bash
# Catalogue benchmark under Wine (prints figures, judges nothing):
#   bench-core.sh [Windows build folder, default build/windows] [catalogue_winbench arguments]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/windows}"
[ "$#" -gt 0 ] && shift
if [ ! -f "$build/build.ninja" ]; then cmake --preset windows -S "$root" -B "$build" >/dev/null; fi
cmake --build "$build" --target catalogue_winbench
source "$root/scripts/wine-env.sh"
wine_env_start "$build"
wine "$build/bin/catalogue_winbench.exe" "$@"
