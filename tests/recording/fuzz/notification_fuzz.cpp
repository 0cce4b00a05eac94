// libFuzzer entry for the call event handler (scripts/fuzz.sh builds and runs it).
#include <cstdio>

#include "recording/fuzz/notification_fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string problem = callwright::fuzz::CheckNotificationInput(data, size);
  if (!problem.empty()) {
    std::fprintf(stderr, "notification check failed: %s\n", problem.c_str());
    __builtin_trap();
  }
  return 0;
}
