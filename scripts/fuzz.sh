#!/usr/bin/env bash
# Fuzzes the catalogue's text routines (row building, size texts, line splitting) with libFuzzer
# under AddressSanitizer and UBSan: fuzz.sh [seconds]  (default: $FUZZ_SECONDS or 60).
# The committed seeds in tests/core/fuzz/corpus are only read; new inputs go to build/fuzz/corpus.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-${FUZZ_SECONDS:-60}}"
out="$root/build/fuzz"
mkdir -p "$out/corpus"

clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I "$root/src" -I "$root/tests" \
  "$root/src/core/catalogue.cpp" "$root/tests/core/fuzz/catalogue_fuzz.cpp" \
  -o "$out/catalogue_fuzz"

"$out/catalogue_fuzz" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
  "$out/corpus" "$root/tests/core/fuzz/corpus"
