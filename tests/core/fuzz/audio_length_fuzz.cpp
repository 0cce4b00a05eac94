// libFuzzer entry for the FLAC and Opus length readers (scripts/fuzz.sh builds and runs it).
#include <cstdio>

#include "core/fuzz/audio_length_fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string problem = callwright::fuzz::CheckAudioLengthInput(data, size);
  if (!problem.empty()) {
    std::fprintf(stderr, "audio length check failed: %s\n", problem.c_str());
    __builtin_trap();
  }
  return 0;
}
