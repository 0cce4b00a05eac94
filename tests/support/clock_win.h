#pragma once
// The performance counter in milliseconds, for the benchmarks' timings.
#include <windows.h>

namespace callwright::test {

inline double NowMs() {
  static const double frequency = [] {
    LARGE_INTEGER f{};
    ::QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER counter{};
  ::QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) * 1000.0 / frequency;
}

}  // namespace callwright::test
