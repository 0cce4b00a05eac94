#include "audio/wav_reader.h"

#include <algorithm>
#include <cstring>

namespace callwright {
namespace {

std::uint32_t Get16(const unsigned char* p) { return p[0] | (p[1] << 8); }
std::uint32_t Get32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

constexpr std::uint32_t kFormatPcm = 1;
constexpr std::uint32_t kFormatExtensible = 0xFFFE;
// KSDATAFORMAT_SUBTYPE_PCM after its first two bytes (which hold the format tag 1).
constexpr unsigned char kPcmGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                            0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr std::size_t kReadFramesAtOnce = 4096;

}  // namespace

bool WavReader::Open() {
  unsigned char riff[12];
  if (file_.Read(riff, sizeof riff) != sizeof riff || std::memcmp(riff, "RIFF", 4) != 0 ||
      std::memcmp(riff + 8, "WAVE", 4) != 0) {
    error_ = "not a WAV file";
    return false;
  }
  bool have_format = false;
  std::uint64_t at = 12;
  for (;;) {
    unsigned char chunk[8];
    if (!file_.Seek(at) || file_.Read(chunk, sizeof chunk) != sizeof chunk) {
      error_ = have_format ? "the WAV file holds no samples" : "the WAV file has no format";
      return false;
    }
    const std::uint32_t size = Get32(chunk + 4);
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      unsigned char fmt[40] = {};
      if (size < 16 || file_.Read(fmt, std::min<std::size_t>(size, sizeof fmt)) < std::min<std::size_t>(size, sizeof fmt)) {
        error_ = "the WAV file's format is damaged";
        return false;
      }
      const std::uint32_t tag = Get16(fmt);
      const bool pcm = tag == kFormatPcm ||
                       (tag == kFormatExtensible && size >= 40 && Get16(fmt + 24) == kFormatPcm &&
                        std::memcmp(fmt + 26, kPcmGuidTail, sizeof kPcmGuidTail) == 0);
      format_.channels = Get16(fmt + 2);
      format_.sample_rate = Get32(fmt + 4);
      const std::uint32_t block_align = Get16(fmt + 12);
      format_.bits_per_sample = Get16(fmt + 14);
      if (!pcm) {
        error_ = "the WAV file is not PCM";
        return false;
      }
      if ((format_.channels != 1 && format_.channels != 2) ||
          (format_.bits_per_sample != 8 && format_.bits_per_sample != 16 && format_.bits_per_sample != 24) ||
          block_align != format_.channels * format_.bits_per_sample / 8 || format_.sample_rate == 0 ||
          format_.sample_rate > 655350) {
        error_ = "the WAV file's sample format is not supported";
        return false;
      }
      have_format = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!have_format) {
        error_ = "the WAV file has no format";
        return false;
      }
      data_offset_ = at + 8;
      // A recording cut short may state more (or 0xFFFFFFFF) than the file holds: take what is there.
      const std::size_t frame_bytes = format_.channels * format_.bits_per_sample / 8;
      const std::uint64_t length = file_.Size();
      const std::uint64_t present = std::min<std::uint64_t>(size, length > data_offset_ ? length - data_offset_ : 0);
      format_.frames = present / frame_bytes;
      frames_left_ = format_.frames;
      return file_.Seek(data_offset_) || (error_ = "cannot read the WAV file", false);
    }
    at += 8 + static_cast<std::uint64_t>(size) + (size & 1);
  }
}

bool WavReader::Rewind() {
  frames_left_ = format_.frames;
  return file_.Seek(data_offset_);
}

std::size_t WavReader::ReadFrames(std::int32_t* samples, std::size_t max_frames) {
  const std::size_t bytes_per_sample = format_.bits_per_sample / 8;
  const std::size_t frame_bytes = bytes_per_sample * format_.channels;
  std::size_t done = 0;
  while (done < max_frames && frames_left_ > 0) {
    const std::size_t frames = static_cast<std::size_t>(
        std::min<std::uint64_t>({max_frames - done, frames_left_, kReadFramesAtOnce}));
    bytes_.resize(frames * frame_bytes);
    if (file_.Read(bytes_.data(), bytes_.size()) != bytes_.size()) {
      error_ = "cannot read the WAV file";
      frames_left_ = 0;
      return done;
    }
    std::int32_t* out = samples + done * format_.channels;
    const unsigned char* in = bytes_.data();
    const std::size_t count = frames * format_.channels;
    switch (bytes_per_sample) {
      case 1:
        for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<std::int32_t>(in[i]) - 128;
        break;
      case 2:
        for (std::size_t i = 0; i < count; ++i, in += 2)
          out[i] = static_cast<std::int16_t>(in[0] | (in[1] << 8));
        break;
      default:
        for (std::size_t i = 0; i < count; ++i, in += 3) {
          const std::uint32_t value = in[0] | (in[1] << 8) | (static_cast<std::uint32_t>(in[2]) << 16);
          out[i] = static_cast<std::int32_t>(value << 8) >> 8;
        }
    }
    done += frames;
    frames_left_ -= frames;
  }
  return done;
}

}  // namespace callwright
