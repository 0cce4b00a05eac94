#pragma once
// The length of a FLAC or Opus recording from the bytes at its head and its tail, as the
// measuring worker reads them in its one open of the file. Reads only the bytes it is given.
#include <cstddef>
#include <cstdint>
#include <span>

namespace callwright {

// How many of a file's last bytes hold its last Ogg page: the longest page there can be.
inline constexpr std::size_t kOggTailBytes = 27 + 255 + 255 * 255;

// Milliseconds from a FLAC file's STREAMINFO (total samples / sample rate), which must be the
// first metadata block after "fLaC" in `head`; -1 when it is not there, or gives no total or
// sample rate.
std::int64_t FlacLengthMs(std::span<const std::uint8_t> head);

// Milliseconds of an Ogg Opus file: the granule position of the last page of the stream that
// `head` begins (its first page carrying OpusHead), found in `tail` (the file's last bytes),
// less the pre-skip, at 48 kHz. -1 without an OpusHead page, or without a complete page of that
// stream with a granule position in `tail`.
std::int64_t OpusLengthMs(std::span<const std::uint8_t> head, std::span<const std::uint8_t> tail);

}  // namespace callwright
