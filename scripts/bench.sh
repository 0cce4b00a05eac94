#!/usr/bin/env bash
# Builds for speed and runs every benchmark; they print figures and never fail on time.
# Host programs (bench_*): a Release build in build/bench. Windows programs (*_winbench.exe): the
# windows preset, under Wine. Each runs with its defaults.
#   scripts/bench.sh [name part]   runs only the benchmarks whose program name contains it
set -euo pipefail
only="${1:-}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
scripts/deps.sh

cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench
cmake --preset windows >/dev/null
cmake --build --preset windows

echo "== host benchmarks =="
for bench in build/bench/bin/bench_*; do
  [ -x "$bench" ] || continue
  [[ "$(basename "$bench")" == *"$only"* ]] || continue
  echo "-- $(basename "$bench")"
  "$bench"
done

echo "== Windows benchmarks (Wine) =="
source scripts/wine-env.sh
wine_env_start build/windows
for bench in build/windows/bin/*_winbench.exe; do
  [ -e "$bench" ] || continue
  [[ "$(basename "$bench")" == *"$only"* ]] || continue
  echo "-- $(basename "$bench" .exe)"
  scripts/wine-exec.sh "$bench"
done
