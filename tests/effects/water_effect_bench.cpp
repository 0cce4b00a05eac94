// Time of one ripple frame (one step plus one draw) on the About window's 332 x 71 picture,
// with drops falling as they do there. budget_percent is the frame's share of the 70 ms tick.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "core/random.h"
#include "effects/water_effect.h"

namespace callwright {
namespace {

constexpr int kWidth = 332;
constexpr int kHeight = 71;
constexpr double kFrameBudgetSeconds = 0.070;

// Wall time per iteration as a percentage of the frame budget.
double BudgetPercent(std::chrono::steady_clock::duration elapsed, benchmark::IterationCount iterations) {
  const double seconds = std::chrono::duration<double>(elapsed).count();
  return iterations == 0 ? 0.0 : seconds / static_cast<double>(iterations) / kFrameBudgetSeconds * 100.0;
}

// state.range(0): 1 for bottom-up rows as in a device-independent bitmap, 0 for top-down.
void BM_RenderFrame(benchmark::State& state) {
  const bool bottom_up = state.range(0) != 0;
  const std::ptrdiff_t stride = (3 * kWidth + 3) / 4 * 4;
  std::vector<std::uint8_t> src_bytes(stride * kHeight), dst_bytes(stride * kHeight);
  Random random(12345);
  for (auto& b : src_bytes) b = static_cast<std::uint8_t>(random(256));
  const auto view = [&](std::vector<std::uint8_t>& bytes) {
    return bottom_up ? Image24{kWidth, kHeight, bytes.data() + (kHeight - 1) * stride, -stride}
                     : Image24{kWidth, kHeight, bytes.data(), stride};
  };
  const Image24 src = view(src_bytes);
  const Image24 dst = view(dst_bytes);

  TWaterEffect water([&random](int n) { return random(n); });
  water.SetSize(kWidth, kHeight);
  const auto frame = [&] {
    if (random(6) == 1) water.Blob(-1, -1, 1, 50 + random(500));
    water.Render(src, dst);
  };
  // Let the ripples spread over the picture first.
  for (int i = 0; i < 500; ++i) frame();

  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    frame();
    benchmark::DoNotOptimize(dst_bytes.data());
    benchmark::ClobberMemory();
  }
  state.counters["budget_percent"] = BudgetPercent(std::chrono::steady_clock::now() - start, state.iterations());
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_RenderFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// A mouse sweeping over the picture: a drop of 500 at every frame.
void BM_RenderFrameWithMouseDrops(benchmark::State& state) {
  std::vector<std::uint8_t> src_bytes(3 * kWidth * kHeight, 128), dst_bytes(3 * kWidth * kHeight);
  const Image24 src{kWidth, kHeight, src_bytes.data(), 3 * kWidth};
  const Image24 dst{kWidth, kHeight, dst_bytes.data(), 3 * kWidth};
  Random random(54321);
  TWaterEffect water([&random](int n) { return random(n); });
  water.SetSize(kWidth, kHeight);
  int x = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    x = (x + 7) % kWidth;
    water.Blob(x, 35, 1, 500);
    water.Render(src, dst);
    benchmark::DoNotOptimize(dst_bytes.data());
    benchmark::ClobberMemory();
  }
  state.counters["budget_percent"] = BudgetPercent(std::chrono::steady_clock::now() - start, state.iterations());
}
BENCHMARK(BM_RenderFrameWithMouseDrops)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace callwright

BENCHMARK_MAIN();
