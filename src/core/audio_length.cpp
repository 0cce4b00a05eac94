#include "core/audio_length.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace callwright {

namespace {

constexpr std::size_t kOggHeader = 27;  // up to and including the segment count

std::uint64_t Le(std::span<const std::uint8_t> bytes, std::size_t at, int count) {
  std::uint64_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[at + static_cast<std::size_t>(i)];
  return value;
}

bool BytesAt(std::span<const std::uint8_t> bytes, std::size_t at, std::string_view text) {
  return at <= bytes.size() && bytes.size() - at >= text.size() &&
         std::memcmp(bytes.data() + at, text.data(), text.size()) == 0;
}

// An Ogg page that begins at `at` and lies wholly in `bytes`: its serial and granule position.
struct OggPage {
  std::uint32_t serial = 0;
  std::uint64_t granule = 0;
  std::size_t body = 0;  // where its packets begin
  std::size_t end = 0;
};
bool ReadOggPage(std::span<const std::uint8_t> bytes, std::size_t at, OggPage& page) {
  if (!BytesAt(bytes, at, "OggS") || bytes.size() - at < kOggHeader || bytes[at + 4] != 0) return false;
  const std::size_t segments = bytes[at + 26];
  if (bytes.size() - at - kOggHeader < segments) return false;
  std::size_t body_size = 0;
  for (std::size_t i = 0; i < segments; ++i) body_size += bytes[at + kOggHeader + i];
  page.body = at + kOggHeader + segments;
  if (bytes.size() - page.body < body_size) return false;
  page.end = page.body + body_size;
  page.granule = Le(bytes, at + 6, 8);
  page.serial = static_cast<std::uint32_t>(Le(bytes, at + 14, 4));
  return true;
}

}  // namespace

std::int64_t FlacLengthMs(std::span<const std::uint8_t> head) {
  // "fLaC", then the STREAMINFO block's header (type 0, 34 bytes) and the block.
  if (!BytesAt(head, 0, "fLaC") || head.size() < 8 + 34 || (head[4] & 0x7F) != 0) return -1;
  const std::uint32_t length = static_cast<std::uint32_t>(head[5]) << 16 | head[6] << 8 | head[7];
  if (length < 34) return -1;
  const std::size_t at = 8 + 10;  // past the block and frame sizes
  const std::uint32_t rate = static_cast<std::uint32_t>(head[at]) << 12 | head[at + 1] << 4 | head[at + 2] >> 4;
  const std::uint64_t samples = static_cast<std::uint64_t>(head[at + 3] & 0x0F) << 32 |
                                static_cast<std::uint64_t>(head[at + 4]) << 24 | head[at + 5] << 16 |
                                head[at + 6] << 8 | head[at + 7];
  if (rate == 0 || samples == 0) return -1;
  return static_cast<std::int64_t>(samples / rate * 1000 + samples % rate * 1000 / rate);
}

std::int64_t OpusLengthMs(std::span<const std::uint8_t> head, std::span<const std::uint8_t> tail) {
  OggPage first;
  if (!ReadOggPage(head, 0, first) || !BytesAt(head, first.body, "OpusHead") || first.end - first.body < 19) {
    return -1;
  }
  const std::uint64_t pre_skip = Le(head, first.body + 10, 2);
  // The last complete page of the stream that carries a granule position (-1: no packet ends there).
  for (std::size_t at = tail.size() >= kOggHeader ? tail.size() - kOggHeader + 1 : 0; at-- > 0;) {
    OggPage page;
    if (!ReadOggPage(tail, at, page) || page.serial != first.serial || page.granule == ~std::uint64_t{0}) continue;
    const std::uint64_t samples = page.granule > pre_skip ? page.granule - pre_skip : 0;
    return static_cast<std::int64_t>(samples / 48);
  }
  return -1;
}

}  // namespace callwright
