#pragma once
// The length of a recording from its RIFF/WAVE header, and the sizes that mend a header a client
// left unfinished. Reads only the bytes it is given.
#include <cstddef>
#include <cstdint>
#include <span>

namespace callwright {

// How many of a file's first bytes the header is looked for in.
inline constexpr std::size_t kWavHeadBytes = 8192;

struct WavHeader {
  bool valid = false;         // RIFF/WAVE with a "fmt " (byte rate above 0) and a "data" chunk
  std::int64_t length_ms = -1;  // valid: the length of the audio bytes the file holds
  bool damaged = false;       // valid: the RIFF or "data" size disagrees with the file
  std::uint64_t data_offset = 0;    // valid: where the audio bytes begin
  std::uint64_t data_present = 0;   // valid: audio bytes the file holds from there
  std::uint32_t byte_rate = 0;
};

// `head` holds the file's first bytes (at most kWavHeadBytes are looked at), `file_size` its full
// size. Chunks may come in any order, odd sizes padded by one byte; the "data" chunk must begin in
// `head`. A damaged header gives the length of the bytes present. Files of 4 GiB and more, and
// headers that are not RIFF/WAVE, lack "fmt " or "data", give byte rate 0 or chunk sizes past the
// end, are not valid.
WavHeader ReadWavHeader(std::span<const std::uint8_t> head, std::uint64_t file_size);

// The header's sizes as they must be for the bytes present (an odd trailing byte dropped).
struct WavRepair {
  std::uint64_t riff_size_offset = 4;
  std::uint32_t riff_size = 0;
  std::uint64_t data_size_offset = 0;
  std::uint32_t data_size = 0;
  std::uint64_t file_size = 0;  // the mended file's length
};
// Only for a valid, damaged header.
WavRepair RepairFor(const WavHeader& header);

}  // namespace callwright
