// The call event handler on notifications of about 100 characters, both shapes that answer.
#include <benchmark/benchmark.h>

#include <string>

#include "recording/notification.h"
#include "support/test_platform.h"

namespace {

using callwright::CommandForNotification;

const std::wstring kFolder = L"C:\\Users\\someone\\Documents\\Callwright\\Records";

void InProgress(benchmark::State& state) {
  const callwright::test::TestPlatform platform;
  const std::string text = "CALL 40123456789012345678901234567890123456789012345678901234567890 STATUS INPROGRESS\r\n";
  for (auto _ : state) benchmark::DoNotOptimize(CommandForNotification(text, kFolder, platform));
  state.counters["chars"] = static_cast<double>(text.size());
}
BENCHMARK(InProgress);

void PartnerHandle(benchmark::State& state) {
  const callwright::test::TestPlatform platform;
  const std::string text =
      "CALL 4012345678901234 PARTNER_HANDLE live:someone.with.a.rather.long.partner.handle_2013.example.org";
  for (auto _ : state) benchmark::DoNotOptimize(CommandForNotification(text, kFolder, platform));
  state.counters["chars"] = static_cast<double>(text.size());
}
BENCHMARK(PartnerHandle);

void Ignored(benchmark::State& state) {
  const callwright::test::TestPlatform platform;
  const std::string text = "CALL 4012345678901234 STATUS RINGING and some more text to make it about one hundred chars";
  for (auto _ : state) benchmark::DoNotOptimize(CommandForNotification(text, kFolder, platform));
}
BENCHMARK(Ignored);

}  // namespace

BENCHMARK_MAIN();
