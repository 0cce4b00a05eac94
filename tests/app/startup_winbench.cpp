// Start-up cost of Callwright.exe next to a bare Win32 program that only shows one empty window:
// time from process start to a visible main window, private memory once shown, and the size of
// the executable. Prints figures; never fails on them.
#include <windows.h>
// After windows.h.
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/clock_win.h"
#include "support/gui_win.h"
#include "support/process_win.h"
#include "support/temp_dir_win.h"

namespace {

namespace fs = std::filesystem;
using callwright::test::ChildProcess;

struct Sample {
  double ms_to_visible = -1;
  double private_mb = -1;
};

Sample Measure(const std::wstring& program, const std::wstring& caption, const std::vector<std::wstring>& args = {}) {
  Sample sample;
  const double start = callwright::test::NowMs();
  ChildProcess process(program, args);
  while (callwright::test::NowMs() - start < 20000) {
    if (callwright::test::FindProcessWindow(process.Id(), caption, true)) {
      sample.ms_to_visible = callwright::test::NowMs() - start;
      break;
    }
    ::Sleep(1);
  }
  ::Sleep(1500);  // let both settle: start-up done, idle from here on
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof(counters);
  if (::GetProcessMemoryInfo(process.Handle(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof(counters))) {
    // Wine reports only the commit charge (PagefileUsage), which Windows keeps equal to PrivateUsage.
    const SIZE_T bytes = counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
    sample.private_mb = static_cast<double>(bytes) / (1024.0 * 1024.0);
  }
  process.Terminate(0);
  return sample;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? -1 : values[values.size() / 2];
}

}  // namespace

int main() {
  constexpr int kRuns = 5;
  callwright::test::TempDir folder;  // config.ini and Records of the copy land here
  const std::wstring callwright = folder.Join(L"Callwright.exe");
  fs::copy_file(callwright::test::ExePath(L"Callwright.exe"), callwright);
  const std::wstring bare = callwright::test::ExePath(L"bare_window.exe");

  // One start of each first, unmeasured: the first start of a program under Wine is slow.
  Measure(bare, L"Bare window");
  Measure(callwright, L"Callwright [\u2022]");
  std::vector<double> cw_ms, bare_ms, cw_mb, bare_mb, cc_mb;
  for (int run = 0; run < kRuns; ++run) {
    // Alternated, so that all see the same state of the machine.
    const Sample b = Measure(bare, L"Bare window");
    const Sample c = Measure(callwright, L"Callwright [\u2022]");
    const Sample cc = Measure(bare, L"Bare window", {L"common-controls"});
    bare_ms.push_back(b.ms_to_visible);
    bare_mb.push_back(b.private_mb);
    cw_ms.push_back(c.ms_to_visible);
    cw_mb.push_back(c.private_mb);
    cc_mb.push_back(cc.private_mb);
  }
  const double cw_time = Median(cw_ms), bare_time = Median(bare_ms);
  const double cw_memory = Median(cw_mb), bare_memory = Median(bare_mb);
  const double size_mb =
      static_cast<double>(fs::file_size(callwright::test::ExePath(L"Callwright.exe"))) / (1024.0 * 1024.0);
  std::printf("start-up to visible main window, median of %d runs:\n", kRuns);
  std::printf("  Callwright %8.1f ms   bare window %8.1f ms   difference %7.1f ms (target < 150 ms)\n", cw_time,
              bare_time, cw_time - bare_time);
  std::printf("private memory once shown, median:\n");
  std::printf("  Callwright %8.2f MB   bare window %8.2f MB   difference %7.2f MB (target < 4 MB)\n", cw_memory,
              bare_memory, cw_memory - bare_memory);
  std::printf("  of which the common controls library alone (bare window loading it): %.2f MB\n",
              Median(cc_mb) - bare_memory);
  std::printf("Callwright.exe size: %.2f MB (target < 3 MB)\n", size_mb);
  return 0;
}
