#pragma once
// The lengths of converted recordings, from the bytes of their own formats: FLAC's STREAMINFO, and
// an Ogg Opus stream's last granule position less its pre-skip. Reads only the bytes it is given.
#include <cstddef>
#include <cstdint>
#include <span>

namespace callwright {

// How many of a file's last bytes the Opus length is looked for in: more than an Ogg page can be.
inline constexpr std::size_t kOggTailBytes = 65536;

// `head` holds the file's first bytes. -1 when they are not a FLAC stream with a STREAMINFO that
// knows its sample rate and count.
std::int64_t FlacLengthMs(std::span<const std::uint8_t> head);

// `head` holds the file's first bytes (its first page names the stream OpusHead), `tail` its last
// ones. -1 when no Opus head or no page with a granule position is found.
std::int64_t OpusLengthMs(std::span<const std::uint8_t> head, std::span<const std::uint8_t> tail);

}  // namespace callwright
