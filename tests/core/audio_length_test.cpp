#include "core/audio_length.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audio/converter.h"
#include "core/catalogue.h"
#include "core/fuzz/audio_length_fuzz_entry.h"
#include "support/wav_files.h"

namespace callwright {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes ReadAll(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The bytes the measuring worker reads: the head and the tail.
Bytes Head(const Bytes& file, std::size_t count = 8192) { return Bytes(file.begin(), file.begin() + std::min(count, file.size())); }
Bytes Tail(const Bytes& file, std::size_t count = kOggTailBytes) {
  return Bytes(file.end() - static_cast<std::ptrdiff_t>(std::min(count, file.size())), file.end());
}

struct Made {
  Bytes flac;
  Bytes opus;
};
// A recording of this layout converted by the program's converter (libFLAC, libopusenc).
Made Convert(const test::WavLayout& layout, std::uint64_t frames) {
  test::TempFolder folder;
  const std::vector<std::int32_t> samples = test::SpeechSamples(layout, frames);
  Made made;
  test::WriteWav(folder / "07032013_091503_bob.wav", layout, samples);
  const Conversion flac = ConvertRecording(DiskFileSystem(), folder / "07032013_091503_bob.wav", KeepFormat::Flac);
  EXPECT_TRUE(flac.converted) << flac.reason;
  made.flac = ReadAll(flac.result);
  test::WriteWav(folder / "07032013_091503_bob.wav", layout, samples);
  const Conversion opus = ConvertRecording(DiskFileSystem(), folder / "07032013_091503_bob.wav", KeepFormat::Opus);
  EXPECT_TRUE(opus.converted) << opus.reason;
  made.opus = ReadAll(opus.result);
  return made;
}

TEST(AudioLength, FlacAndOpusFilesGiveTheirLengthFromTheHeadAndTheTail) {
  const struct {
    test::WavLayout layout;
    std::uint64_t frames;
  } cases[] = {
      {{8000, 1, 16}, 8000 * 3 + 400},        // 3.05 s
      {{16000, 2, 16}, 16000 * 75},           // 1:15, many Ogg pages
      {{44100, 1, 16}, 44100 / 2},
  };
  for (const auto& c : cases) {
    const std::int64_t expected = static_cast<std::int64_t>(c.frames * 1000 / c.layout.sample_rate);
    const Made made = Convert(c.layout, c.frames);
    EXPECT_EQ(FlacLengthMs(Head(made.flac)), expected) << c.layout.sample_rate;
    EXPECT_EQ(FlacLengthMs(Head(made.flac, 42)), expected) << "STREAMINFO is all it needs";
    const std::int64_t opus = OpusLengthMs(Head(made.opus), Tail(made.opus));
    EXPECT_LE(std::llabs(opus - expected), 20) << c.layout.sample_rate << ": " << opus << " against " << expected;
    // A tail longer than the file is the whole file; a tail that ends inside the last page gives
    // an earlier page, never a length past the file's.
    EXPECT_EQ(OpusLengthMs(Head(made.opus), made.opus), opus);
    const Bytes cut(made.opus.begin(), made.opus.end() - 1);
    const std::int64_t earlier = OpusLengthMs(Head(cut), Tail(cut));
    EXPECT_LT(earlier, opus);
  }
}

TEST(AudioLength, HostileBytesGiveNoLengthAndNeverAReadPastThem) {
  const Made made = Convert({16000, 1, 16}, 16000);
  const Bytes flac = Head(made.flac), opus_head = Head(made.opus), opus_tail = Tail(made.opus);

  // Every shorter head and tail: no crash, no read past the bytes (the sanitizers watch), and
  // never more than the whole file's length.
  for (std::size_t n = 0; n < 64; ++n) {
    const std::int64_t length = FlacLengthMs(Bytes(flac.begin(), flac.begin() + n));
    EXPECT_TRUE(length == -1 || (n >= 42 && length == 1000)) << n;
  }
  for (std::size_t n = 0; n < opus_head.size(); n += 7) {
    EXPECT_LE(OpusLengthMs(Bytes(opus_head.begin(), opus_head.begin() + n), opus_tail), 1000) << n;
  }
  for (std::size_t n = 0; n < opus_tail.size(); n += 13) {
    EXPECT_LE(OpusLengthMs(opus_head, Bytes(opus_tail.end() - n, opus_tail.end())), 1000) << n;
  }

  const auto changed = [](Bytes bytes, std::size_t at, std::uint8_t value) {
    bytes.at(at) = value;
    return bytes;
  };
  // STREAMINFO: rate at bytes 18..20 (top 20 bits), samples in the low 36 bits of 21..25.
  Bytes no_rate = flac;
  no_rate[18] = no_rate[19] = 0;
  no_rate[20] &= 0x0F;
  Bytes no_samples = flac;
  no_samples[21] &= 0xF0;
  no_samples[22] = no_samples[23] = no_samples[24] = no_samples[25] = 0;
  const struct {
    const char* what;
    Bytes bytes;
  } bad_flac[] = {
      {"empty", {}},
      {"not fLaC", changed(flac, 0, 'F')},
      {"a first block other than STREAMINFO", changed(flac, 4, 0x04)},
      {"a STREAMINFO too short", changed(flac, 7, 33)},
      {"sample rate 0", no_rate},
      {"no total", no_samples},
      {"an Opus file", opus_head},
  };
  for (const auto& c : bad_flac) EXPECT_EQ(FlacLengthMs(c.bytes), -1) << c.what;

  // The last page: its serial (bytes 14..17 of its header) must be the first page's, its granule
  // position (6..13) not -1.
  const std::size_t last = [&] {
    for (std::size_t at = opus_tail.size() - 27;; --at) {
      if (opus_tail[at] == 'O' && opus_tail[at + 1] == 'g' && opus_tail[at + 2] == 'g' && opus_tail[at + 3] == 'S') return at;
    }
  }();
  Bytes no_granule = opus_tail;
  std::fill(no_granule.begin() + static_cast<std::ptrdiff_t>(last + 6), no_granule.begin() + static_cast<std::ptrdiff_t>(last + 14), 0xFF);
  const struct {
    const char* what;
    Bytes head, tail;
    bool earlier_page;  // an earlier page of the stream still gives a (shorter) length
  } bad_opus[] = {
      {"empty", {}, {}, false},
      {"no OpusHead", changed(opus_head, 28, 'X'), opus_tail, false},
      {"not Ogg", changed(opus_head, 0, 'X'), opus_tail, false},
      {"an Ogg version other than 0", changed(opus_head, 4, 1), opus_tail, false},
      {"a FLAC file", flac, flac, false},
      {"the last page of another stream", opus_head, changed(opus_tail, last + 14, opus_tail[last + 14] ^ 1), true},
      {"the last page without a granule position", opus_head, no_granule, true},
      {"a tail without the last page's body", opus_head, Bytes(opus_tail.begin(), opus_tail.begin() + static_cast<std::ptrdiff_t>(last + 30)), true},
  };
  const std::int64_t whole = OpusLengthMs(opus_head, opus_tail);
  for (const auto& c : bad_opus) {
    const std::int64_t length = OpusLengthMs(c.head, c.tail);
    if (c.earlier_page) {
      EXPECT_LT(length, whole) << c.what;
    } else {
      EXPECT_EQ(length, -1) << c.what;
    }
  }
}

TEST(AudioLength, TheFuzzChecksHoldForRealFilesAndTheirCuts) {
  const Made made = Convert({8000, 1, 16}, 8000 * 2);
  for (const Bytes* file : {&made.flac, &made.opus}) {
    for (std::size_t head : {std::size_t{0}, std::size_t{41}, std::size_t{42}, std::size_t{200}, file->size()}) {
      Bytes input{static_cast<std::uint8_t>(head), static_cast<std::uint8_t>(head >> 8)};
      const Bytes tail = Tail(*file, file->size() - std::min(head, file->size()));
      input.insert(input.end(), file->begin(), file->begin() + static_cast<std::ptrdiff_t>(std::min(head, file->size())));
      input.insert(input.end(), tail.begin(), tail.end());
      EXPECT_EQ(fuzz::CheckAudioLengthInput(input.data(), input.size()), "") << head;
    }
  }
}

TEST(AudioLength, RecordingNamesOfTheThreeKindsAndTheirPartners) {
  const struct {
    const wchar_t* name;
    RecordingKind kind;
    const wchar_t* partner;
  } cases[] = {
      {L"07032013_091503_bob.wav", RecordingKind::Wav, L"bob"},
      {L"07032013_091503_bob.FLAC", RecordingKind::Flac, L"bob"},
      {L"07032013_091503_bob (2).opus", RecordingKind::Opus, L"bob (2)"},
      {L"07032013_091503_a.wav.flac", RecordingKind::Flac, L"a"},
      {L"07032013_091503_bob.ogg", RecordingKind::Other, L"bob.ogg"},
      {L"notes.opus.txt", RecordingKind::Other, L"notes.opus.txt"},
      {L".flac", RecordingKind::Flac, L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RecordingKindOf(c.name), c.kind) << c.name;
    EXPECT_EQ(IsRecordingName(c.name), c.kind != RecordingKind::Other) << c.name;
    if (c.kind != RecordingKind::Other) EXPECT_EQ(PartnerText(c.name), c.partner) << c.name;
  }
}

}  // namespace
}  // namespace callwright
