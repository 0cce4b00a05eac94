#include "support/bench_entries.h"

#include <cstdint>
#include <cwchar>

namespace callwright::test {

std::vector<WavEntry> BenchEntries(std::size_t count) {
  std::vector<WavEntry> entries(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t day = 1 + i % 28, month = 1 + i / 28 % 12, second = i % 60;
    wchar_t name[96];
    std::swprintf(name, 96, L"%02zu%02zu2025_%02zu%02zu%02zu_partner.name.%zu.wav", day, month, i / 3600 % 24,
                  i / 60 % 60, second, i);
    entries[i] = {name, static_cast<std::int64_t>(44 + i * 16), i};
  }
  return entries;
}

}  // namespace callwright::test
