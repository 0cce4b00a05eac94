#!/usr/bin/env bash
# Fuzzes with libFuzzer under AddressSanitizer and UBSan, one target after the other:
#   fuzz.sh [seconds] [target...]   (seconds: default $FUZZ_SECONDS or 60, for each target)
# Targets: catalogue (the catalogue's text routines: row building, size texts, line splitting),
# notification (the call event handler: notifications in, commands out), wav_header (the WAV
# header reader and its repair sizes: nothing read past the bytes, lengths within the file) and
# audio_length (the FLAC and Opus length readers: nothing read past the head or the tail).
# Default: all four.
# The committed seeds (tests/<area>/fuzz/corpus, tests/core/fuzz/wav_corpus) are only read; new
# inputs go to
# build/fuzz/<target>/corpus.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-${FUZZ_SECONDS:-60}}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(catalogue notification wav_header audio_length)

for target in "${targets[@]}"; do
  case "$target" in
    catalogue) sources=("$root/src/core/catalogue.cpp" "$root/tests/core/fuzz/catalogue_fuzz.cpp")
               seeds="$root/tests/core/fuzz/corpus" ;;
    notification) sources=("$root/src/recording/notification.cpp" "$root/src/core/timestamp.cpp"
                           "$root/tests/recording/fuzz/notification_fuzz.cpp")
                  seeds="$root/tests/recording/fuzz/corpus" ;;
    wav_header) sources=("$root/src/core/wav_header.cpp" "$root/tests/core/fuzz/wav_header_fuzz.cpp")
                seeds="$root/tests/core/fuzz/wav_corpus" ;;
    audio_length) sources=("$root/src/core/audio_length.cpp" "$root/tests/core/fuzz/audio_length_fuzz.cpp")
                  seeds="$root/tests/core/fuzz/wav_corpus" ;;
    *) echo "unknown fuzz target: $target" >&2; exit 2 ;;
  esac
  out="$root/build/fuzz/$target"
  mkdir -p "$out/corpus"
  clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I "$root/src" -I "$root/tests" "${sources[@]}" -o "$out/${target}_fuzz"
  echo "== $target: $seconds s =="
  "$out/${target}_fuzz" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
    -artifact_prefix="$out/" "$out/corpus" "$seeds"
done
