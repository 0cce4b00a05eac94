// libFuzzer entry for the WAV header reader (scripts/fuzz.sh builds and runs it).
#include <cstdio>

#include "core/fuzz/wav_header_fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string problem = callwright::fuzz::CheckWavHeaderInput(data, size);
  if (!problem.empty()) {
    std::fprintf(stderr, "wav header check failed: %s\n", problem.c_str());
    __builtin_trap();
  }
  return 0;
}
