#pragma once
// The FLAC and Opus length readers' fuzz check, shared by the libFuzzer target and the unit tests.
// Input: two bytes (little-endian) giving the head's length, the head, then the tail. Each is
// copied into a buffer of exactly its size, so AddressSanitizer sees any read past them.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/audio_length.h"

namespace callwright::fuzz {

inline std::string CheckAudioLengthInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return {};
  const std::size_t wanted = static_cast<std::size_t>(data[0]) | static_cast<std::size_t>(data[1]) << 8;
  const std::size_t head_size = wanted < size - 2 ? wanted : size - 2;
  const std::vector<std::uint8_t> head(data + 2, data + 2 + head_size);
  const std::vector<std::uint8_t> tail(data + 2 + head_size, data + size);

  const std::int64_t flac = FlacLengthMs(head);
  if (flac < -1) return "a negative FLAC length";
  if (flac >= 0 && (head.size() < 42 || std::memcmp(head.data(), "fLaC", 4) != 0)) return "a FLAC length without STREAMINFO";
  // 36 bits of samples at 1 Hz at the most.
  if (flac > static_cast<std::int64_t>((std::uint64_t{1} << 36) * 1000)) return "a FLAC length past 36 bits of samples";

  const std::int64_t opus = OpusLengthMs(head, tail);
  if (opus < -1) return "a negative Opus length";
  if (opus >= 0 && (head.size() < 27 + 1 + 19 || std::memcmp(head.data(), "OggS", 4) != 0)) {
    return "an Opus length without an OpusHead page";
  }
  if (opus >= 0 && tail.size() < 27) return "an Opus length without a page in the tail";
  return {};
}

}  // namespace callwright::fuzz
