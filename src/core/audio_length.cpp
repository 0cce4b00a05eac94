#include "core/audio_length.h"

#include <algorithm>
#include <cstring>

namespace callwright {
namespace {

constexpr std::uint32_t kOpusRate = 48000;  // Opus' granule positions count at 48 kHz, whatever the input

std::uint64_t LittleEndian(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t count) {
  std::uint64_t value = 0;
  for (std::size_t i = count; i-- > 0;) value = (value << 8) | bytes[at + i];
  return value;
}

bool Starts(std::span<const std::uint8_t> bytes, std::size_t at, const char* tag) {
  const std::size_t length = std::strlen(tag);
  return at <= bytes.size() && bytes.size() - at >= length && std::memcmp(bytes.data() + at, tag, length) == 0;
}

}  // namespace

std::int64_t FlacLengthMs(std::span<const std::uint8_t> head) {
  // "fLaC", then the first metadata block's 4-byte header: STREAMINFO is type 0, 34 bytes long.
  constexpr std::size_t kInfo = 8;
  if (!Starts(head, 0, "fLaC") || head.size() < kInfo + 34 || (head[4] & 0x7F) != 0) return -1;
  // Bytes 10..17 of STREAMINFO: sample rate (20 bits), channels (3), bits (5), total samples (36).
  const std::uint8_t* info = head.data() + kInfo;
  const std::uint32_t rate = (std::uint32_t{info[10]} << 12) | (std::uint32_t{info[11]} << 4) | (info[12] >> 4);
  const std::uint64_t samples = (std::uint64_t{info[13] & 0x0Fu} << 32) | (std::uint64_t{info[14]} << 24) |
                                (std::uint64_t{info[15]} << 16) | (std::uint64_t{info[16]} << 8) | info[17];
  if (rate == 0 || samples == 0) return -1;  // a count of 0 means "not known"
  return static_cast<std::int64_t>(samples * 1000 / rate);
}

std::int64_t OpusLengthMs(std::span<const std::uint8_t> head, std::span<const std::uint8_t> tail) {
  // The first page: 27 bytes of header, its segment table, then the OpusHead packet.
  if (!Starts(head, 0, "OggS") || head.size() < 27) return -1;
  const std::size_t packet = 27 + std::size_t{head[26]};
  if (!Starts(head, packet, "OpusHead") || head.size() < packet + 12) return -1;
  const std::uint64_t pre_skip = LittleEndian(head, packet + 10, 2);
  // The last page that ends a packet carries the stream's granule position (-1 on pages that end
  // none); look for it from the end, where the last page is.
  for (std::size_t at = tail.size() >= 27 ? tail.size() - 27 + 1 : 0; at-- > 0;) {
    if (!Starts(tail, at, "OggS") || tail[at + 4] != 0) continue;
    const std::uint64_t granule = LittleEndian(tail, at + 6, 8);
    if (granule == ~std::uint64_t{0}) continue;
    const std::uint64_t samples = granule > pre_skip ? granule - pre_skip : 0;
    if (samples > (std::uint64_t{1} << 50)) return -1;  // centuries: not a recording's count
    return static_cast<std::int64_t>(samples * 1000 / kOpusRate);
  }
  return -1;
}

}  // namespace callwright
