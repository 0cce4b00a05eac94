#include "core/wav_header.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace callwright {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put32(Bytes& bytes, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}
void Put16(Bytes& bytes, std::uint16_t value) {
  bytes.push_back(static_cast<std::uint8_t>(value));
  bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}
void PutId(Bytes& bytes, const char* id) { bytes.insert(bytes.end(), id, id + 4); }

Bytes Chunk(const char* id, const Bytes& content, std::int64_t declared = -1) {
  Bytes chunk;
  PutId(chunk, id);
  Put32(chunk, declared < 0 ? static_cast<std::uint32_t>(content.size()) : static_cast<std::uint32_t>(declared));
  chunk.insert(chunk.end(), content.begin(), content.end());
  if (content.size() % 2 != 0) chunk.push_back(0);
  return chunk;
}

Bytes Format(std::uint32_t rate, std::uint16_t channels, std::uint16_t bits) {
  Bytes fmt;
  Put16(fmt, 1);
  Put16(fmt, channels);
  Put32(fmt, rate);
  Put32(fmt, rate * channels * bits / 8);
  Put16(fmt, static_cast<std::uint16_t>(channels * bits / 8));
  Put16(fmt, bits);
  return fmt;
}

// RIFF/WAVE around the chunks; `riff` overrides the RIFF size.
Bytes Riff(const std::vector<Bytes>& chunks, std::int64_t riff = -1) {
  Bytes body;
  PutId(body, "WAVE");
  for (const Bytes& chunk : chunks) body.insert(body.end(), chunk.begin(), chunk.end());
  Bytes file;
  PutId(file, "RIFF");
  Put32(file, riff < 0 ? static_cast<std::uint32_t>(body.size()) : static_cast<std::uint32_t>(riff));
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

Bytes Audio(std::size_t count) { return Bytes(count, 0x55); }

struct Case {
  const char* what;
  Bytes file;
  std::uint64_t extra = 0;  // file bytes past the ones given
  bool valid;
  std::int64_t length_ms;
  bool damaged = false;
};

TEST(ReadWavHeader, LengthsOfSoundDamagedAndBadHeaders) {
  const Bytes mono8 = Format(8000, 1, 16);     // 16,000 bytes a second
  const Bytes stereo16 = Format(16000, 2, 16);  // 64,000 bytes a second
  Bytes zero_rate = Format(8000, 1, 16);
  zero_rate[8] = zero_rate[9] = zero_rate[10] = zero_rate[11] = 0;
  Bytes truncated = Riff({Chunk("fmt ", mono8), Chunk("data", Audio(16000))});
  truncated.resize(30);
  Bytes not_wave = Riff({Chunk("fmt ", mono8), Chunk("data", Audio(10))});
  not_wave[11] = 'X';
  const Case cases[] = {
      {"8 kHz mono, 2 s", Riff({Chunk("fmt ", mono8), Chunk("data", Audio(32000))}), 0, true, 2000},
      {"16 kHz stereo, 1.5 s", Riff({Chunk("fmt ", stereo16), Chunk("data", Audio(96000))}), 0, true, 1500},
      {"LIST of odd size before data",
       Riff({Chunk("fmt ", mono8), Chunk("LIST", Bytes(7, 'i')), Chunk("data", Audio(8000))}), 0, true, 500},
      {"data before fmt", Riff({Chunk("data", Audio(1600)), Chunk("fmt ", mono8)}), 0, true, 100},
      {"a chunk after the audio", Riff({Chunk("fmt ", mono8), Chunk("data", Audio(16000)), Chunk("id3 ", Bytes(9))}),
       0, true, 1000},
      {"audio mostly past the bytes given", Riff({Chunk("fmt ", mono8), Chunk("data", Audio(0), 160000)}, 160036), 160000, true,
       10000},
      {"data size 0 from a client that died", Riff({Chunk("fmt ", mono8), Chunk("data", Audio(0), 0)}, 36), 48000,
       true, 3000, true},
      {"data size past the end", Riff({Chunk("fmt ", mono8), Chunk("data", Audio(16000), 64000)}), 0, true, 1000, true},
      {"RIFF size past the end", Riff({Chunk("fmt ", mono8), Chunk("data", Audio(16000))}, 99999), 0, true, 1000, true},
      {"an odd byte of a sample is not counted", Riff({Chunk("fmt ", mono8), Chunk("data", Audio(0), 0)}, 0), 16001,
       true, 1000, true},
      {"not RIFF", Bytes{'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, 100, false, -1},
      {"RIFF but not WAVE", not_wave, 0, false, -1},
      {"fmt missing", Riff({Chunk("data", Audio(16000))}), 0, false, -1},
      {"data missing", Riff({Chunk("fmt ", mono8)}), 0, false, -1},
      {"byte rate 0", Riff({Chunk("fmt ", zero_rate), Chunk("data", Audio(100))}), 0, false, -1},
      {"a chunk past the end before data", Riff({Chunk("fmt ", mono8), Chunk("LIST", Bytes(4), 90000), Chunk("data", Audio(10))}),
       0, false, -1},
      {"fmt too short", Riff({Chunk("fmt ", Bytes(8)), Chunk("data", Audio(10))}), 0, false, -1},
      {"header cut inside fmt", truncated, 0, false, -1},
      {"4 GiB", Riff({Chunk("fmt ", mono8), Chunk("data", Audio(0), 0)}), 0x100000000ull, false, -1},
      {"empty", Bytes{}, 0, false, -1},
  };
  for (const Case& c : cases) {
    const WavHeader header = ReadWavHeader(c.file, c.file.size() + c.extra);
    EXPECT_EQ(header.valid, c.valid) << c.what;
    EXPECT_EQ(header.length_ms, c.length_ms) << c.what;
    EXPECT_EQ(header.damaged, c.damaged) << c.what;
  }
}

TEST(ReadWavHeader, AudioThatBeginsPastTheHeadIsNotLookedFor) {
  const Bytes file = Riff({Chunk("fmt ", Format(8000, 1, 16)), Chunk("LIST", Bytes(kWavHeadBytes)), Chunk("data", Audio(16))});
  EXPECT_FALSE(ReadWavHeader(file, file.size()).valid);
  // The bytes given beyond the head, or the file's size below what was given, are never read.
  const Bytes small = Riff({Chunk("fmt ", Format(8000, 1, 16)), Chunk("data", Audio(16000))});
  EXPECT_FALSE(ReadWavHeader(small, 20).valid);
}

TEST(RepairFor, SizesOfTheBytesPresentWithAnOddByteDropped) {
  struct RepairCase {
    std::uint64_t audio;  // bytes after the data chunk's header
    std::uint32_t data_size;
  } cases[] = {{0, 0}, {1, 0}, {16000, 16000}, {16001, 16000}, {3, 2}};
  for (const RepairCase& c : cases) {
    Bytes file = Riff({Chunk("fmt ", Format(8000, 1, 16)), Chunk("data", Audio(0), 0)}, 0);
    const WavHeader header = ReadWavHeader(file, file.size() + c.audio);
    ASSERT_TRUE(header.damaged) << c.audio;
    const WavRepair repair = RepairFor(header);
    EXPECT_EQ(repair.data_size, c.data_size) << c.audio;
    EXPECT_EQ(repair.data_size_offset, 40u);
    EXPECT_EQ(repair.file_size, 44u + c.data_size);
    EXPECT_EQ(repair.riff_size, 36u + c.data_size);
  }
}

}  // namespace
}  // namespace callwright
