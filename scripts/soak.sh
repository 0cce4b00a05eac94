#!/usr/bin/env bash
# Drives the real program with the substitute client for a while and checks what must always hold
# (see tests/app/soak_main.cpp); prints the program's memory and object figures with their slope.
#   scripts/soak.sh [minutes]   (default 20)
set -euo pipefail
minutes="${1:-20}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
scripts/deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target soak
source "$root/scripts/wine-env.sh"
wine_env_start "$root/build/windows"
wine "$root/build/windows/bin/soak.exe" "$minutes"
