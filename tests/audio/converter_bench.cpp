// Conversion of an hour of 16 kHz mono 16-bit speech-like audio (a call as the client writes it),
// encoding and verifying included, on one core. Figures: realtime_x (hours of audio per hour of
// work), size_ratio (new file against the WAV) and peak_rss_mb (the process's peak resident memory
// at the end; the WAV is written and read in blocks, so the figure is the conversion's own).
// CALLWRIGHT_BENCH_SECONDS sets another length.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "audio/conversion_worker.h"
#include "audio/converter.h"
#include "audio/speech_signal.h"

namespace callwright {
namespace {

namespace fs = std::filesystem;
constexpr std::uint32_t kRate = 16000;

std::uint64_t Seconds() {
  const char* text = std::getenv("CALLWRIGHT_BENCH_SECONDS");
  return text ? std::strtoull(text, nullptr, 10) : 3600;
}

void Put(std::ofstream& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.put(static_cast<char>(value >> (8 * i)));
}

// Written a block at a time, so that making it does not count in the peak memory.
void WriteSpeechWav(const fs::path& path, std::uint64_t seconds) {
  const std::uint32_t data = static_cast<std::uint32_t>(seconds * kRate * 2);
  std::ofstream out(path, std::ios::binary);
  out.write("RIFF", 4);
  Put(out, 36 + data, 4);
  out.write("WAVEfmt ", 8);
  Put(out, 16, 4), Put(out, 1, 2), Put(out, 1, 2), Put(out, kRate, 4), Put(out, kRate * 2, 4), Put(out, 2, 2),
      Put(out, 16, 2);
  out.write("data", 4);
  Put(out, data, 4);
  SpeechSignal voice(kRate);
  std::vector<std::int16_t> block(kRate);
  for (std::uint64_t s = 0; s < seconds; ++s) {
    voice.Fill(block.data(), block.size());
    out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size() * 2));
  }
}

double PeakRssMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Each benchmark converts one hour once to FLAC, once to Opus, timed by the wall clock.
void OneHourToEachFormat(benchmark::internal::Benchmark* benchmark) {
  benchmark->ArgName("flac1_opus2")
      ->Arg(static_cast<int>(KeepFormat::Flac))
      ->Arg(static_cast<int>(KeepFormat::Opus))
      ->Iterations(1)
      ->UseManualTime()
      ->Unit(benchmark::kSecond);
}

void BM_ConvertHourOfSpeech(benchmark::State& state) {
  const auto format = static_cast<KeepFormat>(state.range(0));
  const std::uint64_t seconds = Seconds();
  const fs::path folder = fs::temp_directory_path() / "callwright-audio-bench";
  fs::create_directories(folder);
  const fs::path wav = folder / "07032013_091503_bench.wav";
  double ratio = 0;
  for (auto _ : state) {
    state.PauseTiming();
    WriteSpeechWav(wav, seconds);
    const double wav_size = static_cast<double>(fs::file_size(wav));
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    const Conversion result = ConvertRecording(DiskFileSystem(), wav.wstring(), format);
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!result.converted) {
      state.SkipWithError(result.reason.c_str());
      break;
    }
    state.SetIterationTime(elapsed);
    ratio = static_cast<double>(fs::file_size(result.result)) / wav_size;
    state.counters["realtime_x"] = static_cast<double>(seconds) / elapsed;
    fs::remove(result.result);
  }
  state.counters["size_ratio"] = ratio;
  state.counters["peak_rss_mb"] = PeakRssMb();
  state.counters["audio_s"] = static_cast<double>(seconds);
  fs::remove_all(folder);
}
BENCHMARK(BM_ConvertHourOfSpeech)->Apply(OneHourToEachFormat);

// The same through the program's conversion worker (its own thread, the queue, the stop flag):
// peak_rss_mb is the process's peak with the worker's thread and buffers.
void BM_WorkerConvertsHourOfSpeech(benchmark::State& state) {
  const auto format = static_cast<KeepFormat>(state.range(0));
  const std::uint64_t seconds = Seconds();
  const fs::path folder = fs::temp_directory_path() / "callwright-worker-bench";
  fs::create_directories(folder);
  const fs::path wav = folder / "07032013_091503_bench.wav";
  ConversionWorker worker({.convert = [](const std::wstring& path, KeepFormat to, const std::atomic<bool>& stop) {
    return ConvertRecording(DiskFileSystem(), path, to, &stop);
  }});
  for (auto _ : state) {
    state.PauseTiming();
    WriteSpeechWav(wav, seconds);
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    worker.Add(wav.wstring(), format);
    worker.WaitIdle(std::chrono::hours(1));
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::vector<ConversionResult> results = worker.TakeResults();
    if (results.size() != 1 || !results[0].conversion.converted) {
      state.SkipWithError("not converted");
      break;
    }
    state.SetIterationTime(elapsed);
    state.counters["realtime_x"] = static_cast<double>(seconds) / elapsed;
    fs::remove(results[0].conversion.result);
  }
  state.counters["peak_rss_mb"] = PeakRssMb();
  state.counters["audio_s"] = static_cast<double>(seconds);
  fs::remove_all(folder);
}
BENCHMARK(BM_WorkerConvertsHourOfSpeech)->Apply(OneHourToEachFormat);

}  // namespace
}  // namespace callwright

BENCHMARK_MAIN();
