// Replays the committed WAV header fuzz corpus through the fuzz entry (host build only).
#ifdef CALLWRIGHT_WAV_FUZZ_CORPUS
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/fuzz/wav_header_fuzz_entry.h"

namespace callwright {
namespace {

TEST(WavHeaderFuzzCorpus, EveryInputKeepsTheChecks) {
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(CALLWRIGHT_WAV_FUZZ_CORPUS)) {
    std::ifstream file(entry.path(), std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    EXPECT_EQ(fuzz::CheckWavHeaderInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "")
        << entry.path();
    ++count;
  }
  EXPECT_GE(count, 6u);
}

TEST(WavHeaderFuzzCorpus, ChecksNoticeAReadPastTheLength) {
  // A header whose audio size says more than the file holds must come back damaged and within the
  // file; the check would call a longer length out.
  std::vector<std::uint8_t> input = {0x00, 0x7D, 0x00, 0x00};  // 32,000 bytes beyond those given
  const char head[] = "RIFF\x24\x7D\x00\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x01\x00\x40\x1F\x00\x00\x80\x3E\x00\x00"
                      "\x02\x00\x10\x00" "data\x00\xFA\x00\x00";
  input.insert(input.end(), head, head + sizeof head - 1);
  EXPECT_EQ(fuzz::CheckWavHeaderInput(input.data(), input.size()), "");
  const WavHeader header = ReadWavHeader(std::span(input).subspan(4), input.size() - 4 + 32000);
  EXPECT_TRUE(header.damaged);
  EXPECT_EQ(header.length_ms, 2000);
}

}  // namespace
}  // namespace callwright
#endif
