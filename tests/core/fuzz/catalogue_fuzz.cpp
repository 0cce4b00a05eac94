// libFuzzer entry for the catalogue's text routines (scripts/fuzz.sh builds and runs it).
#include <cstdio>

#include "core/fuzz/catalogue_fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string problem = callwright::fuzz::CheckCatalogueInput(data, size);
  if (!problem.empty()) {
    std::fprintf(stderr, "catalogue check failed: %s\n", problem.c_str());
    __builtin_trap();
  }
  return 0;
}
