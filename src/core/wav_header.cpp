#include "core/wav_header.h"

#include <algorithm>

namespace callwright {

namespace {

constexpr std::uint64_t kLargestRiff = 0xFFFFFFFFull;

std::uint32_t Le32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

std::uint16_t Le16(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

bool IdAt(std::span<const std::uint8_t> bytes, std::size_t at, const char (&id)[5]) {
  return bytes.size() >= 4 && at <= bytes.size() - 4 && std::equal(id, id + 4, bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

}  // namespace

WavHeader ReadWavHeader(std::span<const std::uint8_t> head, std::uint64_t file_size) {
  WavHeader header;
  head = head.first(static_cast<std::size_t>(std::min<std::uint64_t>({head.size(), kWavHeadBytes, file_size})));
  if (file_size > kLargestRiff || head.size() < 12 || !IdAt(head, 0, "RIFF") || !IdAt(head, 8, "WAVE")) return header;
  const std::uint64_t riff_size = Le32(head, 4);

  std::uint32_t byte_rate = 0;
  std::uint16_t block_align = 0;
  bool have_format = false;
  std::uint64_t data_offset = 0;
  std::uint64_t data_declared = 0;
  bool have_data = false;
  bool format_first = false;  // the audio runs to the end unless a chunk follows it
  std::uint64_t at = 12;
  while (at + 8 <= head.size()) {
    const std::size_t pos = static_cast<std::size_t>(at);
    const std::uint64_t size = Le32(head, pos + 4);
    if (IdAt(head, pos, "fmt ")) {
      if (size < 16 || at + 8 + 16 > head.size()) return header;
      byte_rate = Le32(head, pos + 16);
      block_align = Le16(head, pos + 20);
      have_format = true;
    } else if (IdAt(head, pos, "data") && !have_data) {
      data_offset = at + 8;
      data_declared = size;
      have_data = true;
      format_first = have_format;
    }
    if (have_format && have_data) break;
    const std::uint64_t next = at + 8 + size + (size & 1);
    // A chunk past the end: what follows the audio cannot be found, what precedes it is broken.
    if (next > file_size) {
      if (have_data) break;
      return header;
    }
    at = next;
  }
  if (!have_format || !have_data || byte_rate == 0 || data_offset > file_size) return header;

  const std::uint64_t present = file_size - data_offset;
  // A client that died mid-call leaves "data" at 0 or larger than what was written; the RIFF size
  // then disagrees with the file as well.
  const bool data_wrong = (data_declared == 0 && present > 0) || data_declared > present;
  const bool riff_wrong = riff_size + 8 > file_size || riff_size + 8 < data_offset + data_declared;
  header.valid = true;
  // With "fmt " after the audio, the walk got past the audio, so its size is right.
  header.damaged = format_first && (data_wrong || riff_wrong);
  header.data_offset = data_offset;
  header.data_present = present;
  header.byte_rate = byte_rate;
  std::uint64_t bytes = header.damaged && data_wrong ? present : data_declared;
  if (block_align > 1) bytes -= bytes % block_align;
  header.length_ms = static_cast<std::int64_t>(bytes / byte_rate * 1000 + (bytes % byte_rate) * 1000 / byte_rate);
  return header;
}

WavRepair RepairFor(const WavHeader& header) {
  WavRepair repair;
  const std::uint64_t data = header.data_present & ~std::uint64_t{1};
  repair.data_size_offset = header.data_offset - 4;
  repair.data_size = static_cast<std::uint32_t>(std::min(data, kLargestRiff));
  repair.file_size = header.data_offset + repair.data_size;
  repair.riff_size = static_cast<std::uint32_t>(std::min(repair.file_size - 8, kLargestRiff));
  return repair;
}

}  // namespace callwright
