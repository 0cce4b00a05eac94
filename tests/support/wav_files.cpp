#include "support/wav_files.h"

#include <FLAC/stream_decoder.h>
#include <opusfile.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "audio/speech_signal.h"

namespace callwright::test {
namespace {

void Put(std::vector<unsigned char>& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

std::FILE* OpenC(const std::filesystem::path& path) {
#ifdef _WIN32
  return _wfopen(path.c_str(), L"rb");
#else
  return std::fopen(path.c_str(), "rb");
#endif
}

FLAC__StreamDecoderWriteStatus OnFrame(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                       const FLAC__int32* const buffer[], void* client) {
  auto* decoded = static_cast<DecodedFlac*>(client);
  for (unsigned i = 0; i < frame->header.blocksize; ++i)
    for (unsigned ch = 0; ch < frame->header.channels; ++ch) decoded->samples.push_back(buffer[ch][i]);
  return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}
void OnMetadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata, void* client) {
  auto* decoded = static_cast<DecodedFlac*>(client);
  if (metadata->type != FLAC__METADATA_TYPE_STREAMINFO) return;
  decoded->channels = metadata->data.stream_info.channels;
  decoded->bits = metadata->data.stream_info.bits_per_sample;
  decoded->sample_rate = metadata->data.stream_info.sample_rate;
}
void OnError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* client) {
  static_cast<DecodedFlac*>(client)->ok = false;
}

}  // namespace

std::vector<std::int32_t> SpeechSamples(const WavLayout& layout, std::uint64_t frames) {
  std::vector<std::int32_t> samples(frames * layout.channels);
  std::vector<std::int16_t> voice(frames);
  for (unsigned ch = 0; ch < layout.channels; ++ch) {
    SpeechSignal(layout.sample_rate, 7 + ch).Fill(voice.data(), voice.size());
    for (std::uint64_t i = 0; i < frames; ++i) {
      std::int32_t value = voice[i];
      if (layout.bits == 8) value /= 256;
      if (layout.bits == 24) value = value * 256 + static_cast<std::int32_t>(i % 251);  // low bits in use
      samples[i * layout.channels + ch] = value;
    }
  }
  return samples;
}

void WriteWav(const std::filesystem::path& path, const WavLayout& layout, const std::vector<std::int32_t>& samples) {
  const unsigned bytes = layout.bits / 8;
  const std::uint32_t data_size = static_cast<std::uint32_t>(samples.size() * bytes);
  const std::uint32_t fmt_size = layout.extensible ? 40 : 16;
  std::vector<unsigned char> out;
  out.insert(out.end(), {'R', 'I', 'F', 'F'});
  Put(out, 4 + 8 + fmt_size + 8 + data_size + 8 + 4, 4);
  out.insert(out.end(), {'W', 'A', 'V', 'E'});
  // A chunk the reader must step over, odd-sized to test the pad byte.
  out.insert(out.end(), {'J', 'U', 'N', 'K'});
  Put(out, 3, 4);
  out.insert(out.end(), {1, 2, 3, 0});
  out.insert(out.end(), {'f', 'm', 't', ' '});
  Put(out, fmt_size, 4);
  Put(out, layout.extensible ? 0xFFFE : layout.format_tag, 2);
  Put(out, layout.channels, 2);
  Put(out, layout.sample_rate, 4);
  Put(out, layout.sample_rate * layout.channels * bytes, 4);
  Put(out, layout.channels * bytes, 2);
  Put(out, layout.bits, 2);
  if (layout.extensible) {
    Put(out, 22, 2);
    Put(out, layout.bits, 2);
    Put(out, layout.channels == 2 ? 3 : 4, 4);  // channel mask
    const unsigned char pcm[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                   0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    out.insert(out.end(), std::begin(pcm), std::end(pcm));
    if (!layout.pcm_subformat) out[out.size() - 16] = 3;
  }
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  Put(out, data_size, 4);
  for (std::int32_t sample : samples) Put(out, static_cast<std::uint32_t>(bytes == 1 ? sample + 128 : sample), static_cast<int>(bytes));
  WriteBytes(path, out);
}

std::vector<unsigned char> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

DecodedFlac DecodeFlacFile(const std::filesystem::path& path) {
  DecodedFlac decoded;
  std::FILE* file = OpenC(path);
  if (!file) return decoded;
  FLAC__StreamDecoder* decoder = FLAC__stream_decoder_new();
  decoded.ok = true;
  // The decoder closes the file.
  if (FLAC__stream_decoder_init_FILE(decoder, file, OnFrame, OnMetadata, OnError, &decoded) !=
      FLAC__STREAM_DECODER_INIT_STATUS_OK) {
    std::fclose(file);
    decoded.ok = false;
  } else if (!FLAC__stream_decoder_process_until_end_of_stream(decoder) || !FLAC__stream_decoder_finish(decoder)) {
    decoded.ok = false;
  }
  FLAC__stream_decoder_delete(decoder);
  return decoded;
}

OpusInfo ReadOpusFile(const std::filesystem::path& path) {
  OpusInfo info;
  const std::vector<unsigned char> bytes = ReadBytes(path);
  int error = 0;
  OggOpusFile* file = op_open_memory(bytes.data(), bytes.size(), &error);
  if (!file) return info;
  info.samples_48k = op_pcm_total(file, -1);
  info.channels = op_channel_count(file, -1);
  const OpusTags* tags = op_tags(file, -1);
  if (const char* artist = opus_tags_query(tags, "ARTIST", 0)) info.artist = artist;
  if (const char* date = opus_tags_query(tags, "DATE", 0)) info.date = date;
  std::vector<float> pcm(5760 * 2);
  std::int64_t decoded = 0;
  int got = 0;
  while ((got = op_read_float(file, pcm.data(), static_cast<int>(pcm.size()), nullptr)) > 0) decoded += got;
  info.ok = got == 0 && decoded == info.samples_48k;
  op_free(file);
  return info;
}

TempFolder::TempFolder() {
  static std::atomic<int> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  path_ = std::filesystem::temp_directory_path() /
          ("callwright-audio-" + std::to_string(stamp) + "-" + std::to_string(counter++));
  std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> TempFolder::Names() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path_)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace callwright::test
