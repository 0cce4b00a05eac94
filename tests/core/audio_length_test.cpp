#include "core/audio_length.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "audio/converter.h"
#include "core/catalogue.h"
#include "support/wav_files.h"

namespace callwright {
namespace {

using Bytes = std::vector<unsigned char>;

// The first and last bytes of a file, as the list's measure reads them.
Bytes Head(const Bytes& file) { return Bytes(file.begin(), file.begin() + std::min<std::size_t>(file.size(), 8192)); }
Bytes Tail(const Bytes& file) {
  return Bytes(file.end() - static_cast<std::ptrdiff_t>(std::min(file.size(), kOggTailBytes)), file.end());
}

// Real files from the converter: the length their own headers state is the WAV's.
TEST(AudioLength, ConvertedRecordingsTellTheLengthOfTheirWav) {
  const struct {
    std::uint32_t rate;
    unsigned channels;
    std::uint64_t frames;
  } cases[] = {{16000, 1, 16000 * 7 + 123}, {8000, 2, 8000 * 3}, {48000, 1, 48000 * 2 + 5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.rate) + " Hz, " + std::to_string(c.channels) + " channel(s)");
    const std::int64_t expected_ms = static_cast<std::int64_t>(c.frames * 1000 / c.rate);
    test::WavLayout layout;
    layout.sample_rate = c.rate;
    layout.channels = c.channels;
    test::TempFolder folder;
    const std::vector<std::int32_t> samples = test::SpeechSamples(layout, c.frames);
    for (KeepFormat format : {KeepFormat::Flac, KeepFormat::Opus}) {
      test::WriteWav(folder / "07032013_091503_bob.wav", layout, samples);
      const Conversion done = ConvertRecording(DiskFileSystem(), (folder / "07032013_091503_bob.wav").wstring(), format);
      ASSERT_TRUE(done.converted) << done.reason;
      const Bytes file = test::ReadBytes(std::filesystem::path(done.result));
      if (format == KeepFormat::Flac) {
        EXPECT_EQ(FlacLengthMs(Head(file)), expected_ms);
      } else {
        // Opus ends on whole 20 ms frames; the pre-skip is taken off.
        EXPECT_NEAR(static_cast<double>(OpusLengthMs(Head(file), Tail(file))), static_cast<double>(expected_ms), 20.0);
        EXPECT_EQ(OpusLengthMs(Head(file), {}), -1) << "no page to read the length from";
      }
    }
  }
}

TEST(AudioLength, BytesThatAreNotTheirFormatHaveNoLength) {
  Bytes flac = {'f', 'L', 'a', 'C', 0x80, 0, 0, 34};
  flac.resize(8 + 34);
  // Sample rate 16000 (0x03E80 in 20 bits), total samples 32000.
  flac[8 + 10] = 0x03;
  flac[8 + 11] = 0xE8;
  flac[8 + 12] = 0x00;
  flac[8 + 16] = 0x7D;
  flac[8 + 17] = 0x00;
  EXPECT_EQ(FlacLengthMs(flac), 2000);
  const struct {
    const char* what;
    Bytes bytes;
  } not_flac[] = {
      {"empty", {}},
      {"cut inside STREAMINFO", Bytes(flac.begin(), flac.begin() + 30)},
      {"another first block", [&] { Bytes b = flac; b[4] = 0x04; return b; }()},
      {"no tag", [&] { Bytes b = flac; b[0] = 'F'; return b; }()},
      {"sample rate 0", [&] { Bytes b = flac; b[8 + 10] = b[8 + 11] = 0; b[8 + 12] &= 0x0F; return b; }()},
      {"count not known", [&] { Bytes b = flac; b[8 + 16] = b[8 + 17] = 0; return b; }()},
  };
  for (const auto& c : not_flac) EXPECT_EQ(FlacLengthMs(c.bytes), -1) << c.what;

  // A first page with OpusHead (pre-skip 312), and a last page at granule 48312: one second.
  Bytes head = {'O', 'g', 'g', 'S', 0, 2, 0, 0, 0, 0, 0, 0, 0, 0};
  head.resize(26);
  head.push_back(1);   // one segment
  head.push_back(19);  // of 19 bytes
  for (char c : std::string("OpusHead")) head.push_back(static_cast<unsigned char>(c));
  const Bytes rest = {1, 1, 0x38, 0x01, 0x80, 0x3E, 0, 0, 0, 0, 0};
  head.insert(head.end(), rest.begin(), rest.end());
  auto page = [](std::uint64_t granule) {
    Bytes p = {'O', 'g', 'g', 'S', 0, 4};
    for (int i = 0; i < 8; ++i) p.push_back(static_cast<unsigned char>(granule >> (8 * i)));
    p.resize(27);
    return p;
  };
  Bytes tail = page(48312);
  EXPECT_EQ(OpusLengthMs(head, tail), 1000);
  Bytes later = tail;
  const Bytes unfinished = page(~std::uint64_t{0});
  later.insert(later.end(), unfinished.begin(), unfinished.end());
  EXPECT_EQ(OpusLengthMs(head, later), 1000) << "a page that ends no packet has no granule";
  EXPECT_EQ(OpusLengthMs(head, page(100)), 0) << "shorter than the pre-skip";
  EXPECT_EQ(OpusLengthMs(head, page(std::uint64_t{1} << 62)), ((std::int64_t{1} << 62) - 312) / 48)
      << "a huge count still gives its length, without overflow";
  EXPECT_EQ(OpusLengthMs(Bytes(head.begin(), head.begin() + 30), tail), -1) << "head cut short";
  Bytes vorbis = head;
  vorbis[28] = 'V';
  EXPECT_EQ(OpusLengthMs(vorbis, tail), -1) << "not an Opus stream";
  EXPECT_EQ(OpusLengthMs(head, Bytes(tail.begin(), tail.begin() + 26)), -1) << "tail shorter than a page header";
}

TEST(RecordingNames, ConversionsAreRecordingsWithTheirWavsPartner) {
  const struct {
    const wchar_t* name;
    RecordingFormat format;
    const wchar_t* partner;
  } cases[] = {
      {L"07032013_091503_bob.wav", RecordingFormat::Wav, L"bob"},
      {L"07032013_091503_bob.FLAC", RecordingFormat::Flac, L"bob"},
      {L"07032013_091503_bob (2).opus", RecordingFormat::Opus, L"bob (2)"},
      {L"07032013_091503_a.wav.opus", RecordingFormat::Opus, L"a"},
      {L"07032013_091503_bob.ogg", RecordingFormat::None, nullptr},
      {L"07032013_091503_bob.flac.tmp", RecordingFormat::None, nullptr},
      {L"flac", RecordingFormat::None, nullptr},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatOfName(c.name), c.format) << c.name;
    EXPECT_EQ(IsRecordingName(c.name), c.format != RecordingFormat::None) << c.name;
    if (c.partner) {
      EXPECT_EQ(PartnerText(c.name), c.partner) << c.name;
    }
  }
}

}  // namespace
}  // namespace callwright
