#!/usr/bin/env bash
# Builds for speed and runs every benchmark; they print figures and never fail on time.
# Host programs (bench_*): a Release build in build/bench. Windows programs (*_winbench.exe): the
# windows preset, under Wine. Each runs with its defaults.
#   scripts/bench.sh [name part]   runs only the benchmarks whose program name contains it
#   CALLWRIGHT_BENCH_MILLION=1 scripts/bench.sh catalogue_refresh   adds a folder of 1,000,000
#                                  recordings to the catalogue benchmark (slow: minutes)
#   scripts/bench.sh limits        Callwright next to bare Win32 programs: the recording command,
#                                  start-up, and the sizes (with Callwright.exe's bytes by library,
#                                  the audio codec libraries' share of both apart: scripts/exe-shares.py)
# With BASELINE=<git revision> the same benchmarks also run that revision's build, side by side:
# its host benchmarks run right after ours, and the Windows benchmarks that compare whole programs
# get its Callwright.exe in CALLWRIGHT_BASELINE (the catalogue and hidden-CPU benchmarks).
set -euo pipefail
only="${1:-}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
scripts/deps.sh

cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench
cmake --preset windows >/dev/null
cmake --build --preset windows

baseline_src=""
if [ -n "${BASELINE:-}" ]; then
  # The revision's files only (no second checkout in the repository's bookkeeping).
  rev="$(git rev-parse --short "$BASELINE")"
  baseline_src="$root/build/baseline-$rev"
  if [ ! -d "$baseline_src/src" ]; then
    mkdir -p "$baseline_src"
    git archive "$rev" | tar -x -C "$baseline_src"
  fi
  echo "== baseline $rev: building =="
  (cd "$baseline_src" && cmake --preset windows >/dev/null && cmake --build build/windows --target Callwright >/dev/null)
  cmake -S "$baseline_src" -B "$baseline_src/build/bench" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$baseline_src/build/bench" >/dev/null
fi

echo "== host benchmarks =="
for bench in build/bench/bin/bench_*; do
  [ -x "$bench" ] || continue
  name="$(basename "$bench")"
  [[ "$name" == *"$only"* ]] || continue
  echo "-- $name"
  "$bench"
  if [ -n "$baseline_src" ] && [ -x "$baseline_src/build/bench/bin/$name" ]; then
    echo "-- $name (baseline $rev)"
    "$baseline_src/build/bench/bin/$name"
  fi
done

echo "== Windows benchmarks (Wine) =="
source scripts/wine-env.sh
wine_env_start build/windows
if [ -n "$baseline_src" ]; then
  CALLWRIGHT_BASELINE="$(winepath -w "$baseline_src/build/windows/bin/Callwright.exe" 2>/dev/null)"
  export CALLWRIGHT_BASELINE
fi
# Large recordings folders for the catalogue benchmark, made here: Wine looks through a folder for
# a name of any letter case before creating a file, so making 100,000 from inside takes minutes.
records="$root/build/bench-records"
# CALLWRIGHT_BENCH_MILLION=1 also makes (and the catalogue benchmark lists) a folder of 1,000,000,
# empty files there to spare the disk.
python3 - "$records" "${CALLWRIGHT_BENCH_MILLION:-0}" <<'EOF'
import os, sys
root = sys.argv[1]
counts = (10000, 100000, 1000000) if sys.argv[2] == "1" else (10000, 100000)
for count in counts:
    folder = os.path.join(root, str(count))
    os.makedirs(folder, exist_ok=True)
    present = set(os.listdir(folder))
    data = b"x" * 1024 if count < 1000000 else b""
    for i in range(count):
        name = "%02d%02d2013_%02d%02d%02d_partner.%d.wav" % (i % 28 + 1, i % 12 + 1, i % 24, i % 60, (i // 60) % 60, i)
        if name not in present:
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
EOF
CALLWRIGHT_BENCH_RECORDS="$(winepath -w "$records" 2>/dev/null)"
export CALLWRIGHT_BENCH_RECORDS
if [ "${CALLWRIGHT_BENCH_MILLION:-0}" = 1 ]; then export CALLWRIGHT_BENCH_MILLION; fi
for bench in build/windows/bin/*_winbench.exe; do
  [ -e "$bench" ] || continue
  [[ "$(basename "$bench")" == *"$only"* ]] || continue
  echo "-- $(basename "$bench" .exe)"
  scripts/wine-exec.sh "$bench"
done
if [[ "limits" == *"$only"* ]]; then
  echo "-- Callwright.exe by library (from the linker map)"
  python3 scripts/exe-shares.py build/windows/Callwright.map --exe build/windows/bin/Callwright.exe \
    --setup "$(ls build/windows/bin/Callwright-*-setup.exe)"
fi
