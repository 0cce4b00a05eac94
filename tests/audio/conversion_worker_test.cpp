#include "audio/conversion_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "support/gate.h"
#include "support/wav_files.h"

namespace callwright {
namespace {

using namespace std::chrono_literals;

// A conversion that records its calls and waits at a gate before each.
struct Recorder {
  std::mutex lock;
  std::vector<std::wstring> converted;
  std::vector<std::thread::id> threads;
  std::thread::id started_on;
  std::atomic<int> wakes{0};
  test::Gate gate;

  ConversionServices Services() {
    return {
        .convert =
            [this](const std::wstring& wav, KeepFormat, const std::atomic<bool>&) {
              gate.Pass();
              const std::lock_guard guard(lock);
              converted.push_back(wav);
              threads.push_back(std::this_thread::get_id());
              Conversion done;
              done.converted = wav != L"bad.wav";
              done.reason = done.converted ? "" : "not a WAV file";
              return done;
            },
        .clean_up = {},
        .thread_start = [this] { started_on = std::this_thread::get_id(); },
        .wake = [this] { ++wakes; },
    };
  }
};

// One file at a time in the order given, each once however often it is asked for, on the worker
// thread that started in background mode; results wait for the owner with one wake-up per batch.
TEST(ConversionWorker, ConvertsOneAtATimeInOrderOnItsThread) {
  Recorder recorder;
  ConversionWorker worker(recorder.Services());
  EXPECT_TRUE(worker.Add(L"a.wav", KeepFormat::Flac));
  ASSERT_TRUE(recorder.gate.WaitForVisitor());  // a.wav under way, held at the gate
  EXPECT_FALSE(worker.Add(L"A.WAV", KeepFormat::Opus)) << "already under way";
  EXPECT_TRUE(worker.Add(L"bad.wav", KeepFormat::Opus));
  EXPECT_TRUE(worker.Add(L"c.wav", KeepFormat::Flac));
  EXPECT_FALSE(worker.Add(L"c.wav", KeepFormat::Flac)) << "already queued";
  EXPECT_FALSE(worker.Add(L"d.wav", KeepFormat::Wav)) << "nothing to convert to";
  EXPECT_EQ(worker.Pending(), (std::vector<std::wstring>{L"a.wav", L"bad.wav", L"c.wav"}));
  recorder.gate.Open();
  ASSERT_TRUE(worker.WaitIdle(10s));
  EXPECT_TRUE(worker.Pending().empty());
  EXPECT_EQ(recorder.converted, (std::vector<std::wstring>{L"a.wav", L"bad.wav", L"c.wav"}));
  for (const std::thread::id& id : recorder.threads) EXPECT_EQ(id, recorder.started_on);
  EXPECT_NE(recorder.started_on, std::this_thread::get_id());
  EXPECT_EQ(recorder.wakes.load(), 1) << "the results waited together";
  const std::vector<ConversionResult> results = worker.TakeResults();
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(results[1].wav, L"bad.wav");
  EXPECT_EQ(results[1].format, KeepFormat::Opus);
  EXPECT_FALSE(results[1].conversion.converted);
  EXPECT_EQ(results[1].conversion.reason, "not a WAV file");
  EXPECT_TRUE(results[2].conversion.converted);
  // Taken: the next result wakes the owner again, and a finished file may be asked for again.
  EXPECT_TRUE(worker.Add(L"a.wav", KeepFormat::Flac));
  ASSERT_TRUE(worker.WaitIdle(10s));
  EXPECT_EQ(recorder.wakes.load(), 2);
  EXPECT_EQ(worker.TakeResults().size(), 1u);
}

// The end of the program stops the conversion under way through its stop flag, starts nothing
// queued and tells no result for what it cut short.
TEST(ConversionWorker, StopsAtOnceAndStartsNothingMore) {
  std::atomic<int> started{0};
  test::Gate reached;
  ConversionWorker worker({
      .convert =
          [&](const std::wstring&, KeepFormat, const std::atomic<bool>& stop) {
            ++started;
            reached.Pass();
            while (!stop) std::this_thread::sleep_for(1ms);
            Conversion stopped;
            stopped.reason = "stopped before the end";
            return stopped;
          },
  });
  reached.Open();
  worker.Add(L"long.wav", KeepFormat::Opus);
  worker.Add(L"next.wav", KeepFormat::Opus);
  ASSERT_TRUE(reached.WaitForVisitor());
  worker.Stop();
  ASSERT_TRUE(worker.WaitEnded(10s));
  EXPECT_EQ(started.load(), 1);
  EXPECT_TRUE(worker.TakeResults().empty());
  EXPECT_FALSE(worker.Add(L"late.wav", KeepFormat::Flac));
  EXPECT_TRUE(worker.Pending().empty());
}

// A worker given nothing to do has no thread to wait for: stopped, it has ended at once, and it
// takes no job after that.
TEST(ConversionWorker, OneNeverGivenAJobEndsAtOnce) {
  std::atomic<int> threads{0};
  ConversionWorker worker({.thread_start = [&] { ++threads; }});
  EXPECT_TRUE(worker.WaitIdle(0ms));
  worker.Stop();
  EXPECT_TRUE(worker.WaitEnded(0ms));
  EXPECT_FALSE(worker.Add(L"late.wav", KeepFormat::Flac));
  EXPECT_EQ(threads.load(), 0);
}

// At start the folder is cleaned up on the worker: with the real converter, a conversion that a
// killed run left behind is finished; when recordings stay WAV, only the temporary file goes.
TEST(ConversionWorker, FinishesWhatAnEarlierRunLeft) {
  for (const bool convert : {true, false}) {
    SCOPED_TRACE(convert ? "converting" : "keeping WAV");
    test::TempFolder folder;
    const test::WavLayout layout{16000, 1, 16};
    test::WriteWav(folder / "01012020_100000_ann.wav", layout, test::SpeechSamples(layout, 8000));
    test::WriteBytes(folder / "01012020_100000_ann.flac.part", {1, 2, 3});
    ConversionWorker worker({
        .convert = [](const std::wstring& wav, KeepFormat format,
                      const std::atomic<bool>& stop) { return ConvertRecording(DiskFileSystem(), wav, format, &stop); },
        .clean_up = [](const std::wstring& at) { return CleanUpFolder(DiskFileSystem(), at); },
    });
    worker.CleanUp(folder.Path().wstring(), convert);
    ASSERT_TRUE(worker.WaitIdle(20s));
    const std::vector<ConversionResult> results = worker.TakeResults();
    if (convert) {
      ASSERT_EQ(results.size(), 1u);
      EXPECT_TRUE(results[0].conversion.converted) << results[0].conversion.reason;
      EXPECT_EQ(results[0].format, KeepFormat::Flac);
      EXPECT_EQ(folder.Names(), std::vector<std::string>{"01012020_100000_ann.flac"});
      EXPECT_TRUE(test::DecodeFlacFile(folder / "01012020_100000_ann.flac").samples ==
                  test::SpeechSamples(layout, 8000));
    } else {
      EXPECT_TRUE(results.empty());
      EXPECT_EQ(folder.Names(), std::vector<std::string>{"01012020_100000_ann.wav"});
    }
  }
}

}  // namespace
}  // namespace callwright
