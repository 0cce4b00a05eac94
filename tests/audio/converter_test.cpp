#include "audio/converter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "audio/wav_reader.h"
#include "support/wav_files.h"

namespace callwright {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;
using test::WavLayout;

std::wstring Wide(const fs::path& path) { return path.wstring(); }
// The path of wide text as the system names it (UTF-8 bytes outside Windows, whatever the locale).
fs::path Native(const std::wstring& path) {
#ifdef _WIN32
  return fs::path(path);
#else
  return fs::path(ToUtf8(path));
#endif
}

constexpr char kName[] = "07032013_091503_bob.wav";

struct LayoutCase {
  WavLayout layout;
  std::uint64_t frames;
};

class ConvertLayouts : public testing::TestWithParam<LayoutCase> {};

// Every WAV layout the client may write comes back sample for sample from the FLAC file, and
// lasts as long in the Opus file; the WAV is gone in both cases.
TEST_P(ConvertLayouts, FlacIsBitExactAndOpusKeepsTheLength) {
  const auto& [layout, frames] = GetParam();
  const std::vector<std::int32_t> samples = test::SpeechSamples(layout, frames);
  TempFolder folder;
  test::WriteWav(folder / kName, layout, samples);

  const Conversion flac = ConvertRecording(DiskFileSystem(), Wide(folder / kName), KeepFormat::Flac);
  ASSERT_TRUE(flac.converted) << flac.reason;
  EXPECT_EQ(flac.result, Wide(folder / "07032013_091503_bob.flac"));
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"07032013_091503_bob.flac"});
  const test::DecodedFlac decoded = test::DecodeFlacFile(flac.result);
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.channels, layout.channels);
  EXPECT_EQ(decoded.bits, layout.bits);
  EXPECT_EQ(decoded.sample_rate, layout.sample_rate);
  EXPECT_TRUE(decoded.samples == samples) << "decoded " << decoded.samples.size() << " of " << samples.size();

  test::WriteWav(folder / kName, layout, samples);
  const Conversion opus = ConvertRecording(DiskFileSystem(), Wide(folder / kName), KeepFormat::Opus);
  ASSERT_TRUE(opus.converted) << opus.reason;
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"07032013_091503_bob.flac", "07032013_091503_bob.opus"}));
  const test::OpusInfo info = test::ReadOpusFile(opus.result);
  ASSERT_TRUE(info.ok);
  EXPECT_EQ(info.channels, static_cast<int>(layout.channels));
  const std::int64_t expected = static_cast<std::int64_t>(frames * 48000 / layout.sample_rate);
  EXPECT_LE(std::llabs(info.samples_48k - expected), 960) << info.samples_48k << " against " << expected;
  EXPECT_EQ(info.artist, "bob");
  EXPECT_EQ(info.date, "2013-03-07T09:15:03");
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ConvertLayouts,
    testing::Values(LayoutCase{{16000, 1, 16}, 16000 * 3 + 17}, LayoutCase{{8000, 1, 8}, 8000 * 2},
                    LayoutCase{{44100, 2, 16}, 44100}, LayoutCase{{48000, 2, 24}, 48000},
                    LayoutCase{{11025, 1, 24, true}, 11025 * 2}, LayoutCase{{22050, 2, 8, true}, 22050},
                    LayoutCase{{16000, 1, 16}, 0}));

struct RejectCase {
  const char* what;
  std::vector<unsigned char> bytes;
  const char* reason;
};

std::vector<unsigned char> WavBytes(const WavLayout& layout, std::uint64_t frames) {
  TempFolder folder;
  test::WriteWav(folder / "x.wav", layout, test::SpeechSamples(layout, frames));
  return test::ReadBytes(folder / "x.wav");
}

// What is no PCM WAV of a supported shape stays as it is, and nothing is written beside it.
TEST(ConvertRecording, KeepsWhatItCannotRead) {
  std::vector<unsigned char> float_wav = WavBytes({16000, 1, 16, false, 3}, 100);
  std::vector<unsigned char> float_extensible = WavBytes({16000, 1, 16, true, 1, false}, 100);
  std::vector<unsigned char> thirty_two = WavBytes({16000, 1, 16}, 100);
  thirty_two[12 + 12 + 8 + 14] = 32;  // bits per sample, after RIFF, JUNK and the fmt header
  std::vector<unsigned char> three_channels = WavBytes({16000, 1, 16}, 100);
  three_channels[12 + 12 + 8 + 2] = 3;
  std::vector<unsigned char> no_data = WavBytes({16000, 1, 16}, 100);
  no_data.resize(12 + 12 + 8 + 16);
  const std::vector<RejectCase> cases = {
      {"empty", {}, "not a WAV file"},
      {"text", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!'}, "not a WAV file"},
      {"float", float_wav, "the WAV file is not PCM"},
      {"extensible float", float_extensible, "the WAV file is not PCM"},
      {"32-bit", thirty_two, "the WAV file's sample format is not supported"},
      {"three channels", three_channels, "the WAV file's sample format is not supported"},
      {"no data chunk", no_data, "the WAV file holds no samples"},
  };
  for (const auto& c : cases) {
    for (KeepFormat format : {KeepFormat::Flac, KeepFormat::Opus}) {
      SCOPED_TRACE(std::string(c.what) + (format == KeepFormat::Flac ? " to FLAC" : " to Opus"));
      TempFolder folder;
      test::WriteBytes(folder / kName, c.bytes);
      const Conversion result = ConvertRecording(DiskFileSystem(), Wide(folder / kName), format);
      EXPECT_FALSE(result.converted);
      EXPECT_EQ(result.reason, c.reason);
      EXPECT_EQ(folder.Names(), std::vector<std::string>{kName});
      EXPECT_EQ(test::ReadBytes(folder / kName), c.bytes);
    }
  }
}

// A recording cut short states more samples than it holds: the whole frames present are kept.
TEST(ConvertRecording, TakesTheFramesPresentInATruncatedFile) {
  const WavLayout layout{16000, 2, 16};
  const std::vector<std::int32_t> samples = test::SpeechSamples(layout, 4000);
  TempFolder folder;
  test::WriteWav(folder / kName, layout, samples);
  std::vector<unsigned char> bytes = test::ReadBytes(folder / kName);
  bytes.resize(bytes.size() - 1000 * 4 - 3);  // 1000 frames and part of one more gone
  test::WriteBytes(folder / kName, bytes);
  const Conversion result = ConvertRecording(DiskFileSystem(), Wide(folder / kName), KeepFormat::Flac);
  ASSERT_TRUE(result.converted) << result.reason;
  const test::DecodedFlac decoded = test::DecodeFlacFile(result.result);
  ASSERT_TRUE(decoded.ok);
  EXPECT_TRUE(decoded.samples == std::vector<std::int32_t>(samples.begin(), samples.end() - 1001 * 2));
}

// ---- failures at each step, through the file-system seam ----------------------------------------

enum class Fail { Nothing, Create, Write, Flush, Corrupt, Rename, Remove };

class FaultyOutput final : public OutputFile {
 public:
  FaultyOutput(std::unique_ptr<OutputFile> real, Fail fail) : real_(std::move(real)), fail_(fail) {}
  bool Write(const void* data, std::size_t size) override {
    const std::uint64_t at = real_->Tell();
    if (fail_ == Fail::Write && at + size > 3000) return false;  // the disk is full
    if (fail_ == Fail::Corrupt && at <= 5000 && 5000 < at + size) {
      std::vector<unsigned char> copy(static_cast<const unsigned char*>(data),
                                      static_cast<const unsigned char*>(data) + size);
      copy[5000 - at] ^= 0x10;
      return real_->Write(copy.data(), size);
    }
    return real_->Write(data, size);
  }
  bool Seek(std::uint64_t offset) override { return real_->Seek(offset); }
  std::uint64_t Tell() override { return real_->Tell(); }
  bool Flush() override { return fail_ != Fail::Flush && real_->Flush(); }

 private:
  std::unique_ptr<OutputFile> real_;
  Fail fail_;
};

class FaultyFiles final : public FileSystem {
 public:
  explicit FaultyFiles(Fail fail) : fail_(fail) {}
  std::unique_ptr<InputFile> OpenRead(const std::wstring& path) override { return real_.OpenRead(path); }
  std::unique_ptr<OutputFile> Create(const std::wstring& path) override {
    if (fail_ == Fail::Create) return nullptr;
    auto file = real_.Create(path);
    return file ? std::make_unique<FaultyOutput>(std::move(file), fail_) : nullptr;
  }
  bool Rename(const std::wstring& from, const std::wstring& to) override {
    return fail_ != Fail::Rename && real_.Rename(from, to);
  }
  bool Remove(const std::wstring& path) override {
    // The temporary file can always go; the recording cannot when its delete fails.
    return !(fail_ == Fail::Remove && path.ends_with(L".wav")) && real_.Remove(path);
  }
  bool Exists(const std::wstring& path) override { return real_.Exists(path); }
  std::vector<std::wstring> List(const std::wstring& folder) override { return real_.List(folder); }

 private:
  FileSystem& real_ = DiskFileSystem();
  Fail fail_;
};

struct FailureCase {
  Fail fail;
  const char* reason;
};

// A step that fails keeps the WAV byte for byte and leaves no temporary file; only a delete that
// fails after the verified replacement is in place leaves both.
TEST(ConvertRecording, EveryFailingStepKeepsTheRecording) {
  const std::vector<FailureCase> cases = {
      {Fail::Create, "cannot write the new file"},
      {Fail::Write, "cannot write the new file"},
      {Fail::Flush, "cannot flush the new file to disk"},
      {Fail::Corrupt, "the new file does not match the recording"},
      {Fail::Rename, "cannot rename the new file"},
      {Fail::Remove, "cannot delete the recording"},
  };
  const WavLayout layout{16000, 1, 16};
  const std::vector<std::int32_t> samples = test::SpeechSamples(layout, 16000 * 4);
  for (const auto& c : cases) {
    for (KeepFormat format : {KeepFormat::Flac, KeepFormat::Opus}) {
      SCOPED_TRACE(std::string(c.reason) + (format == KeepFormat::Flac ? " (FLAC)" : " (Opus)"));
      TempFolder folder;
      test::WriteWav(folder / kName, layout, samples);
      const std::vector<unsigned char> original = test::ReadBytes(folder / kName);
      FaultyFiles files(c.fail);
      const Conversion result = ConvertRecording(files, Wide(folder / kName), format);
      EXPECT_FALSE(result.converted);
      EXPECT_EQ(result.reason, c.reason);
      EXPECT_EQ(test::ReadBytes(folder / kName), original);
      const std::string replacement = std::string("07032013_091503_bob") + (format == KeepFormat::Flac ? ".flac" : ".opus");
      if (c.fail == Fail::Remove) {
        EXPECT_EQ(folder.Names(), (std::vector<std::string>{replacement, kName}));
      } else {
        EXPECT_EQ(folder.Names(), std::vector<std::string>{kName});
      }
    }
  }
  // The seam passes a sound conversion through untouched.
  TempFolder folder;
  test::WriteWav(folder / kName, layout, samples);
  FaultyFiles files(Fail::Nothing);
  EXPECT_TRUE(ConvertRecording(files, Wide(folder / kName), KeepFormat::Flac).converted);
}

TEST(ConvertRecording, StopsAtOnceAndKeepsTheRecording) {
  const WavLayout layout{16000, 1, 16};
  TempFolder folder;
  test::WriteWav(folder / kName, layout, test::SpeechSamples(layout, 16000 * 2));
  const std::atomic<bool> stop{true};
  for (KeepFormat format : {KeepFormat::Flac, KeepFormat::Opus}) {
    const Conversion result = ConvertRecording(DiskFileSystem(), Wide(folder / kName), format, &stop);
    EXPECT_FALSE(result.converted);
    EXPECT_EQ(result.reason, "stopped before the end");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{kName});
  }
}

// What a stopped or crashed run leaves: temporary files go, and the WAVs they were made from (or
// whose replacement is already in place) are named for converting again.
TEST(CleanUpFolder, RemovesTemporaryFilesAndNamesUnfinishedWork) {
  TempFolder folder;
  for (const char* name : {"01012020_100000_ann.wav", "01012020_100000_ann.flac.part",  // stopped while writing
                           "02012020_100000_bob.wav", "02012020_100000_bob.opus",       // stopped before the delete
                           "03012020_100000_cy.opus.part",                              // WAV already gone
                           "04012020_100000_dee.wav", "05012020_100000_eve.flac", "notes.txt", "x.part"})
    test::WriteBytes(folder / name, {1, 2, 3});
  std::vector<UnfinishedConversion> unfinished = CleanUpFolder(DiskFileSystem(), Wide(folder.Path()));
  std::sort(unfinished.begin(), unfinished.end(), [](const auto& a, const auto& b) { return a.wav < b.wav; });
  EXPECT_EQ(unfinished, (std::vector<UnfinishedConversion>{{Wide(folder / "01012020_100000_ann.wav"), KeepFormat::Flac},
                                                            {Wide(folder / "02012020_100000_bob.wav"), KeepFormat::Opus}}));
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"01012020_100000_ann.wav", "02012020_100000_bob.opus",
                                                      "02012020_100000_bob.wav", "04012020_100000_dee.wav",
                                                      "05012020_100000_eve.flac", "notes.txt", "x.part"}));
}

// ---- paths as wide text --------------------------------------------------------------------------

TEST(PathText, SplitsAndJoinsNamesAndExtensions) {
  struct Case {
    std::wstring_view path, extension, with, name;
  };
  for (const Case& c : {Case{L"a/b.c/07032013_091503_bob.wav", L".flac", L"a/b.c/07032013_091503_bob.flac",
                             L"07032013_091503_bob.wav"},
                        Case{L"C:\\Rec.x\\call", L".opus", L"C:\\Rec.x\\call.opus", L"call"},
                        Case{L"C:\\Rec\\call.flac.part", L"", L"C:\\Rec\\call.flac", L"call.flac.part"},
                        Case{L"name.WAV", L".flac", L"name.flac", L"name.WAV"},
                        Case{L"", L".wav", L".wav", L""}}) {
    EXPECT_EQ(WithExtension(c.path, c.extension), c.with);
    EXPECT_EQ(FileNameOf(c.path), c.name);
  }
  EXPECT_EQ(JoinPath(L"dir", L"x.wav"), std::wstring(L"dir") + kPathSeparator + L"x.wav");
  EXPECT_EQ(JoinPath(L"dir/", L"x.wav"), L"dir/x.wav");
  EXPECT_EQ(JoinPath(L"C:\\", L"x.wav"), L"C:\\x.wav");
}

TEST(PathText, ConvertsToAndFromUtf8) {
  const std::wstring text = L"Zo\u00EB \u4E2D\u6587 \U0001F600.wav";
  const std::string utf8 = "Zo\xC3\xAB \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80.wav";
  EXPECT_EQ(ToUtf8(text), utf8);
  EXPECT_EQ(FromUtf8(utf8), text);
  // What is no character comes out as U+FFFD, one per bad byte, and the rest stays.
  EXPECT_EQ(FromUtf8("a\xFF" "b\xC0\xAF" "c\xE0\x80\x80" "d\xED\xA0\x80"),
            L"a\uFFFDb\uFFFD\uFFFDc\uFFFD\uFFFD\uFFFDd\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(FromUtf8("\xE4\xB8"), L"\uFFFD\uFFFD");  // cut short
  if constexpr (sizeof(wchar_t) == 2) {
    EXPECT_EQ(ToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800)) + L"x"), "\xEF\xBF\xBDx");  // lone surrogate
  }
}

// A recording deep in folders with names outside any code page converts where it lies, and its
// FLAC file holds its samples.
TEST(ConvertRecording, WorksWithLongPathsAndNamesOutsideTheCodePage) {
  const WavLayout layout{16000, 1, 16};
  const std::vector<std::int32_t> samples = test::SpeechSamples(layout, 16000);
  TempFolder folder;
  const std::wstring segment = L"\u4E2D\u6587-Zo\u00EB-\U0001F600-" + std::wstring(40, L'x');
  std::wstring deep = Wide(folder.Path());
  std::vector<fs::path> created;
  while (deep.size() < 320) {
    deep = JoinPath(deep, segment);
    created.push_back(Native(deep));
    fs::create_directory(created.back());
  }
  const std::wstring wav = JoinPath(deep, L"07032013_091503_\u00E9l\u00E8ve_\U0001F600.wav");
  ASSERT_GT(wav.size(), 330u);
  {
    const std::vector<unsigned char> bytes = WavBytes(layout, samples.size());
    std::unique_ptr<OutputFile> out = DiskFileSystem().Create(wav);
    ASSERT_TRUE(out);
    ASSERT_TRUE(out->Write(bytes.data(), bytes.size()));
  }
  const Conversion result = ConvertRecording(DiskFileSystem(), wav, KeepFormat::Flac);
  ASSERT_TRUE(result.converted) << result.reason;
  EXPECT_EQ(result.result, JoinPath(deep, L"07032013_091503_\u00E9l\u00E8ve_\U0001F600.flac"));
  EXPECT_EQ(DiskFileSystem().List(deep), std::vector<std::wstring>{FileNameOf(result.result).data()});
  EXPECT_FALSE(DiskFileSystem().Exists(wav));
  // Brought up to a short path to be read by the test's own decoder.
  ASSERT_TRUE(DiskFileSystem().Rename(result.result, Wide(folder / "short.flac")));
  const test::DecodedFlac decoded = test::DecodeFlacFile(folder / "short.flac");
  ASSERT_TRUE(decoded.ok);
  EXPECT_TRUE(decoded.samples == samples);
  // The folders go from the deepest up, each by its own name.
  for (auto it = created.rbegin(); it != created.rend(); ++it) fs::remove(*it);
}

TEST(KeepFormat, ParsesTheThreeNamesOnly) {
  struct Case {
    const wchar_t* text;
    bool known;
    KeepFormat format;
  };
  for (const Case& c : {Case{L"wav", true, KeepFormat::Wav}, Case{L"flac", true, KeepFormat::Flac},
                        Case{L"OPUS", true, KeepFormat::Opus}, Case{L"mp3", false, KeepFormat::Wav},
                        Case{L"", false, KeepFormat::Wav}, Case{L"flac ", false, KeepFormat::Wav}}) {
    KeepFormat format = KeepFormat::Wav;
    EXPECT_EQ(ParseKeepFormat(c.text, format), c.known) << std::string(c.text, c.text + wcslen(c.text));
    EXPECT_EQ(format, c.format);
  }
  EXPECT_STREQ(KeepFormatName(KeepFormat::Opus), L"opus");
}

TEST(TagsFromName, ReadsPartnerAndTimeOfTheNameScheme) {
  const RecordingTags tags = TagsFromName(L"31122024_235959_echo.test_1.wav");
  EXPECT_EQ(tags.partner, "echo.test_1");
  EXPECT_EQ(tags.date, "2024-12-31T23:59:59");
  EXPECT_TRUE(TagsFromName(L"call.wav").partner.empty());
  EXPECT_TRUE(TagsFromName(L"3112202x_235959_echo.wav").date.empty());
}

}  // namespace
}  // namespace callwright
