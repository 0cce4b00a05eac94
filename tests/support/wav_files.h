#pragma once
// WAV files written for the conversion tests, and the samples of FLAC and Opus files read back
// with the codec libraries, independently of the code under test.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace callwright::test {

struct WavLayout {
  std::uint32_t sample_rate = 16000;
  unsigned channels = 1;
  unsigned bits = 16;
  bool extensible = false;
  std::uint16_t format_tag = 1;  // of a plain header; 3 is IEEE float
  bool pcm_subformat = true;     // of an extensible header
};

// Interleaved samples at the layout's depth; speech-like (SpeechSignal scaled to the depth,
// the second channel a different voice).
std::vector<std::int32_t> SpeechSamples(const WavLayout& layout, std::uint64_t frames);
void WriteWav(const std::filesystem::path& path, const WavLayout& layout, const std::vector<std::int32_t>& samples);
std::vector<unsigned char> ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes);

struct DecodedFlac {
  bool ok = false;
  unsigned channels = 0, bits = 0;
  std::uint32_t sample_rate = 0;
  std::vector<std::int32_t> samples;  // interleaved
};
DecodedFlac DecodeFlacFile(const std::filesystem::path& path);

struct OpusInfo {
  bool ok = false;
  std::int64_t samples_48k = 0;  // duration at 48 kHz
  int channels = 0;
  std::string artist, date;
};
OpusInfo ReadOpusFile(const std::filesystem::path& path);

// A fresh folder under the system's temporary folder, removed with its files at the end.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }
  // Names of the files in it, sorted.
  std::vector<std::string> Names() const;

 private:
  std::filesystem::path path_;
};

}  // namespace callwright::test
