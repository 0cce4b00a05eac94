// The conversion under Windows' own file functions: a converting process killed at each step
// leaves the WAV or a complete, verified replacement, and the next clean-up finishes the job; and
// the real program, given a call by the substitute client, keeps it as FLAC or Opus.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/converter.h"
#include "audio/speech_signal.h"
#include "base/handles.h"
#include "support/gui_win.h"
#include "support/process_win.h"
#include "support/temp_dir_win.h"
#include "support/wav_files.h"

namespace callwright {
namespace {

namespace fs = std::filesystem;
using test::ChildProcess;

constexpr wchar_t kStem[] = L"07032013_091503_bob";

std::wstring Replacement(const std::wstring& folder, KeepFormat format) {
  return folder + L"\\" + kStem + KeepFormatExtension(format);
}

std::vector<std::wstring> Names(const std::wstring& folder) {
  std::vector<std::wstring> names = DiskFileSystem().List(folder);
  std::sort(names.begin(), names.end());
  return names;
}

// The replacement holds the recording: every sample for FLAC, its length within a frame for Opus.
::testing::AssertionResult Verified(const std::wstring& path, KeepFormat format,
                                    const std::vector<std::int32_t>& samples, std::uint32_t rate) {
  if (format == KeepFormat::Flac) {
    const test::DecodedFlac decoded = test::DecodeFlacFile(path);
    if (!decoded.ok) return ::testing::AssertionFailure() << "cannot decode " << fs::path(path).string();
    if (decoded.samples != samples)
      return ::testing::AssertionFailure() << decoded.samples.size() << " samples, not the " << samples.size()
                                           << " recorded";
    return ::testing::AssertionSuccess();
  }
  const test::OpusInfo info = test::ReadOpusFile(path);
  if (!info.ok) return ::testing::AssertionFailure() << "cannot decode " << fs::path(path).string();
  const auto expected = static_cast<std::int64_t>(samples.size() * 48000 / rate);
  if (std::llabs(info.samples_48k - expected) > 960)
    return ::testing::AssertionFailure() << info.samples_48k << " samples at 48 kHz, not " << expected;
  return ::testing::AssertionSuccess();
}

struct KillCase {
  const wchar_t* step;
  bool wav_stays;         // the WAV is still there, byte for byte
  bool replacement_here;  // the replacement is in place, verified
};

// Killed at any step, a conversion leaves the WAV or its verified replacement (never neither, and
// never a replacement that is not whole); the next start's clean-up removes the temporary file and
// names the unfinished conversion, whose second run leaves the replacement alone.
TEST(ConversionKilled, LeavesTheRecordingOrAVerifiedReplacementAtEveryStep) {
  const std::vector<KillCase> cases = {
      {L"write", true, false},  {L"flush", true, false},  {L"rename", true, false},
      {L"renamed", true, true}, {L"deleted", false, true},
  };
  const test::WavLayout layout{16000, 1, 16};
  const std::vector<std::int32_t> samples = test::SpeechSamples(layout, 16000 * 6);
  int run = 0;
  for (KeepFormat format : {KeepFormat::Flac, KeepFormat::Opus}) {
    for (const KillCase& c : cases) {
      SCOPED_TRACE(fs::path(c.step).string() + (format == KeepFormat::Flac ? " (FLAC)" : " (Opus)"));
      test::TempDir folder;
      const std::wstring wav = folder.Join(std::wstring(kStem) + L".wav");
      const std::wstring replacement = Replacement(folder.Path(), format);
      test::WriteWav(wav, layout, samples);
      const std::vector<unsigned char> original = test::ReadBytes(wav);

      const std::wstring event_name =
          L"CallwrightConvertHold-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++run);
      const KernelHandle reached(::CreateEventW(nullptr, TRUE, FALSE, event_name.c_str()));
      ASSERT_TRUE(reached);
      {
        ChildProcess child(test::ExePath(L"convert_hold.exe"),
                           {wav, KeepFormatName(format), c.step, event_name});
        const HANDLE waits[] = {reached.Get(), child.Handle()};
        ASSERT_EQ(::WaitForMultipleObjects(2, waits, FALSE, 30000), WAIT_OBJECT_0)
            << "the conversion never reached its step; exit code " << child.ExitCode().value_or(259);
        child.Terminate();
        ASSERT_TRUE(child.Wait(10000));
      }

      const bool wav_here = DiskFileSystem().Exists(wav);
      const bool replacement_here = DiskFileSystem().Exists(replacement);
      EXPECT_EQ(wav_here, c.wav_stays);
      EXPECT_EQ(replacement_here, c.replacement_here);
      if (wav_here) {
        EXPECT_EQ(test::ReadBytes(wav), original);
      }
      if (replacement_here) {
        EXPECT_TRUE(Verified(replacement, format, samples, layout.sample_rate));
      }
      EXPECT_TRUE(wav_here || replacement_here) << "neither the recording nor its replacement";

      const std::vector<UnfinishedConversion> unfinished = CleanUpFolder(DiskFileSystem(), folder.Path());
      if (c.wav_stays) {
        EXPECT_EQ(unfinished, (std::vector<UnfinishedConversion>{{wav, format}}));
        std::vector<std::wstring> left{std::wstring(FileNameOf(wav))};
        if (c.replacement_here) left.insert(left.begin(), std::wstring(FileNameOf(replacement)));
        EXPECT_EQ(Names(folder.Path()), left) << "the temporary file is gone";
      } else {
        EXPECT_TRUE(unfinished.empty());
      }
      for (const UnfinishedConversion& work : unfinished) {
        const Conversion again = ConvertRecording(DiskFileSystem(), work.wav, work.format);
        EXPECT_TRUE(again.converted) << again.reason;
      }
      EXPECT_EQ(Names(folder.Path()), std::vector<std::wstring>{std::wstring(FileNameOf(replacement))});
      EXPECT_TRUE(Verified(replacement, format, samples, layout.sample_rate));
    }
  }
}

// The samples the substitute client writes for a call of this many frames: its voice from the start.
std::vector<std::int32_t> ClientSamples(std::size_t frames) {
  std::vector<std::int16_t> voice(frames);
  SpeechSignal(16000).Fill(voice.data(), voice.size());
  return {voice.begin(), voice.end()};
}

class ConversionOfACall : public ::testing::TestWithParam<KeepFormat> {};

// The real program, set to FLAC or Opus, records a call of the substitute client: the folder ends
// with the converted file alone, playable (Opus) or bit-exact (FLAC) against what the client wrote.
TEST_P(ConversionOfACall, EndsAsTheChosenFormatWithTheWavGone) {
  const KeepFormat format = GetParam();
  test::TempDir folder;
  const std::wstring exe = folder.Join(L"Callwright.exe");
  ASSERT_TRUE(::CopyFileW(test::ExePath(L"Callwright.exe").c_str(), exe.c_str(), TRUE));
  const std::wstring config = folder.Join(L"config.ini");
  ASSERT_TRUE(::WritePrivateProfileStringW(L"SYSTEM", L"info", L"1", config.c_str()));
  ASSERT_TRUE(::WritePrivateProfileStringW(L"SYSTEM", L"format", KeepFormatName(format), config.c_str()));
  ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, config.c_str());
  const std::wstring records = folder.Join(L"Records");

  // Started first, so that the program's discovery at its start finds it.
  ChildProcess client(test::ExePath(L"callwright-clientsim.exe"),
                      {L"--partner", L"bob", L"--call", L"7", L"--call-ms", L"2500", L"--delay", L"1000", L"--timeout",
                       L"30000", L"--log", folder.Join(L"commands.txt")});
  ASSERT_TRUE(test::PumpUntil([] { return ::FindWindowW(L"CallwrightClientSim", nullptr) != nullptr; }, 15000));
  ChildProcess program(exe, {L"/hidden"});
  ASSERT_TRUE(client.Wait(30000));
  ASSERT_EQ(client.ExitCode(), 0u) << "the client wrote the recording it was told to";

  const std::wstring extension = KeepFormatExtension(format);
  std::wstring converted;
  const bool done = test::PumpUntil(
      [&] {
        const std::vector<std::wstring> names = Names(records);
        if (names.size() != 1 || !names[0].ends_with(extension)) return false;
        converted = records + L"\\" + names[0];
        return true;
      },
      30000);
  ASSERT_TRUE(done) << "the folder holds " << Names(records).size() << " files";
  EXPECT_TRUE(converted.find(L"_bob" + extension) != std::wstring::npos);
  EXPECT_TRUE(program.Running()) << "converted by the running program";

  if (format == KeepFormat::Flac) {
    const test::DecodedFlac decoded = test::DecodeFlacFile(converted);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.sample_rate, 16000u);
    EXPECT_GT(decoded.samples.size(), 16000u) << "about 2.5 s of the call";
    EXPECT_TRUE(decoded.samples == ClientSamples(decoded.samples.size())) << "bit-exact against the client's samples";
  } else {
    const test::OpusInfo info = test::ReadOpusFile(converted);
    ASSERT_TRUE(info.ok) << "decodes to its end with libopusfile";
    EXPECT_GT(info.samples_48k, 48000) << "about 2.5 s of the call";
    EXPECT_EQ(info.artist, "bob");
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, ConversionOfACall, ::testing::Values(KeepFormat::Flac, KeepFormat::Opus),
                         [](const auto& info) { return info.param == KeepFormat::Flac ? "Flac" : "Opus"; });

}  // namespace
}  // namespace callwright
