#pragma once
// Reads the samples of a PCM WAV file a block at a time, so that a file of any length needs the
// same small memory.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/file_system.h"

namespace callwright {

struct WavFormat {
  std::uint32_t sample_rate = 0;
  unsigned channels = 0;         // 1 or 2
  unsigned bits_per_sample = 0;  // 8, 16 or 24
  std::uint64_t frames = 0;      // whole frames in the data chunk (as far as the file holds them)
};

class WavReader {
 public:
  explicit WavReader(InputFile& file) : file_(file) {}
  // Reads the header up to the samples. False with `Error()` set for anything but PCM
  // 8/16/24-bit mono or stereo (plain or WAVE_FORMAT_EXTENSIBLE with a PCM subformat).
  bool Open();
  const WavFormat& Format() const { return format_; }
  const std::string& Error() const { return error_; }
  // Up to `max_frames` frames, interleaved, as signed values of the file's bit depth (8-bit
  // samples are moved from unsigned). Returns the frames read; fewer than asked only at the end
  // or when the file cannot be read (then `Error()` is set).
  std::size_t ReadFrames(std::int32_t* samples, std::size_t max_frames);
  // Back to the first frame.
  bool Rewind();

 private:
  InputFile& file_;
  WavFormat format_;
  std::string error_;
  std::uint64_t data_offset_ = 0;
  std::uint64_t frames_left_ = 0;
  std::vector<unsigned char> bytes_;
};

}  // namespace callwright
