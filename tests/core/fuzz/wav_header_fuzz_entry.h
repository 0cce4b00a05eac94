#pragma once
// The WAV header reader's fuzz check, shared by the libFuzzer target and the corpus replay test.
// Input: four bytes (little-endian) of file length beyond the bytes given, then the file's first
// bytes. The bytes are copied into a buffer of exactly their size, so AddressSanitizer sees any
// read past them.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/wav_header.h"

namespace callwright::fuzz {

inline std::string CheckWavHeaderInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return {};
  const std::uint64_t beyond = static_cast<std::uint64_t>(data[0]) | static_cast<std::uint64_t>(data[1]) << 8 |
                               static_cast<std::uint64_t>(data[2]) << 16 | static_cast<std::uint64_t>(data[3]) << 24;
  const std::vector<std::uint8_t> head(data + 4, data + size);
  const std::uint64_t file_size = head.size() + beyond;
  const WavHeader header = ReadWavHeader(head, file_size);
  if (!header.valid) {
    if (header.length_ms != -1 || header.damaged) return "an invalid header with a length or a damage mark";
    return {};
  }
  if (header.byte_rate == 0) return "valid with byte rate 0";
  if (header.length_ms < 0) return "valid without a length";
  if (static_cast<std::uint64_t>(header.length_ms) / 1000 > file_size / header.byte_rate) {
    return "longer than the file can hold";
  }
  if (header.data_offset > file_size || header.data_offset + header.data_present != file_size) {
    return "audio bytes outside the file";
  }
  if (header.data_offset < 20 || header.data_offset > kWavHeadBytes) return "audio begins outside the head";
  if (header.damaged) {
    const WavRepair repair = RepairFor(header);
    if (repair.file_size > file_size || repair.data_size % 2 != 0 || repair.riff_size + 8 != repair.file_size ||
        repair.data_size_offset + 4 != header.data_offset) {
      return "a repair that does not fit the file";
    }
    // The mended header reads back as sound, with the length of the bytes kept.
    std::vector<std::uint8_t> mended(head.begin(), head.end());
    const auto put = [&](std::uint64_t at, std::uint32_t value) {
      for (int i = 0; i < 4; ++i) {
        if (at + i < mended.size()) mended[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
      }
    };
    put(repair.riff_size_offset, repair.riff_size);
    put(repair.data_size_offset, repair.data_size);
    if (mended.size() > repair.file_size) mended.resize(repair.file_size);
    const WavHeader again = ReadWavHeader(mended, repair.file_size);
    if (!again.valid) return "the mended header is not valid";
    if (again.damaged && again.data_offset == header.data_offset) return "the mended header is still damaged";
  }
  return {};
}

}  // namespace callwright::fuzz
