#pragma once
// The program's one pseudo-random generator, seeded once at start-up.
#include <cstdint>
#include <random>

namespace callwright {

class Random {
 public:
  explicit Random(std::uint32_t seed = 1) : engine_(seed) {}
  void Seed(std::uint32_t seed) { engine_.seed(seed); }
  // A uniform integer in 0..n-1 (0 when n <= 0).
  int operator()(int n) {
    if (n <= 0) return 0;
    return std::uniform_int_distribution<int>(0, n - 1)(engine_);
  }

 private:
  std::mt19937 engine_;
};

// The process-wide generator.
Random& ProgramRandom();

}  // namespace callwright
