#!/usr/bin/env bash
# Builds for speed and runs the benchmarks; they print figures and never fail on time.
# Host programs: a Release build in build/bench. Windows programs: the windows preset, under Wine.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
scripts/deps.sh

cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench
cmake --preset windows >/dev/null
cmake --build --preset windows

echo "== host benchmarks =="
build/bench/bin/bench_notification_bench

echo "== Windows benchmarks (Wine) =="
source scripts/wine-env.sh
wine_env_start build/windows
scripts/wine-exec.sh build/windows/bin/flood_winbench.exe
scripts/wine-exec.sh build/windows/bin/startup_winbench.exe
