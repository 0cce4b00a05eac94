// A flood of in-progress notifications from the substitute client: every one answered with a
// request, the memory held before and after, and other messages still handled meanwhile.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <exception>
#include <string>

#include "core/destination_folder.h"
#include "recording/client_link_win.h"
#include "support/client_win.h"
#include "support/gui_win.h"
#include "support/process_win.h"
#include "support/temp_dir_win.h"
#include "ui/toolkit/application.h"

namespace {

using namespace callwright;

constexpr int kFlood = 10000;
constexpr UINT kPing = WM_APP + 77;

std::size_t WorkingSetKiB() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
  return counters.WorkingSetSize / 1024;
}

int CountLines(const std::wstring& path, const char* only = nullptr) {
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (!file) return -1;
  int lines = 0;
  char buffer[512];
  bool line_start = true;
  while (std::fgets(buffer, sizeof(buffer), file)) {
    if (line_start && (!only || std::string(buffer).rfind(only, 0) == 0)) ++lines;
    line_start = std::string(buffer).back() == '\n';
  }
  std::fclose(file);
  return lines;
}

int Run() {
  test::TempDir dir(L"callwright-flood");
  SetDestinationFolder(dir.Path());
  const std::wstring log = dir.Join(L"commands.txt");
  const std::wstring answers = dir.Join(L"answers.txt");
  Application& app = Application::Instance();
  ClientLink link(app);

  // Installed before the link's hook, so it sees each notification first and passes it on.
  int handled = 0;
  ULONGLONG first = 0, last = 0;
  int pings = 0, pings_during = 0, ticks = 0, ticks_during = 0;
  bool ping_queued = false;
  app.AddMessageHook([&](HookMessage& m) {
    if (m.msg == WM_COPYDATA && link.SkypeWindowHandle && reinterpret_cast<HWND>(m.wparam) == link.SkypeWindowHandle) {
      if (handled++ == 0) {
        first = ::GetTickCount64();
        pings_during = pings;
        ticks_during = ticks;
      }
      last = ::GetTickCount64();
      if (handled == kFlood) {
        pings_during = pings - pings_during;
        ticks_during = ticks - ticks_during;
      }
      return false;
    }
    if (m.msg == kPing) {
      ++pings;
      ping_queued = false;
      return true;
    }
    return false;
  });

  test::ChildProcess sim(test::ExePath(L"callwright-clientsim.exe"),
                         {L"--no-answers", L"--flood", std::to_wstring(kFlood), L"--linger", L"300", L"--timeout",
                          L"300000", L"--log", log, L"--answers", answers});
  if (!test::LinkToClient(link, 20000)) {
    std::printf("flood: the client did not answer\n");
    return 1;
  }
  const std::size_t before = WorkingSetKiB();
  // Every tick queues a message behind the client's sent ones, unless the last one still waits.
  test::RepeatingTick tick(10, [&] {
    ++ticks;
    if (!ping_queued) ping_queued = ::PostMessageW(app.Handle(), kPing, 0, 0);
  });
  if (!sim.Wait(300000)) {
    std::printf("flood: the client did not finish\n");
    return 1;
  }
  const std::size_t after = WorkingSetKiB();
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));

  const int requests = CountLines(log, "GET CALL ");
  const int accepted = CountLines(answers, "1");
  const double ms = static_cast<double>(last - first);
  std::printf("flood: %d notifications sent, %d handled, %d accepted (answer 1), %d requests received by the client\n",
              kFlood, handled, accepted, requests);
  std::printf("flood: %.0f ms from first to last, %.1f us per notification with its nested request\n", ms,
              handled > 0 ? ms * 1000.0 / handled : 0.0);
  std::printf("flood: working set %zu KiB before, %zu KiB after, peak %zu KiB\n", before, after,
              static_cast<std::size_t>(counters.PeakWorkingSetSize / 1024));
  std::printf("flood: meanwhile %d timer ticks (10 ms) and %d posted messages handled\n", ticks_during,
              pings_during);
  std::printf("flood: client exit code %lu\n", static_cast<unsigned long>(sim.ExitCode().value_or(999)));
  SetDestinationFolder(L"");
  return handled == kFlood && accepted == kFlood && requests == kFlood ? 0 : 1;
}

}  // namespace

int main() {
  try {
    return Run();
  } catch (const std::exception& error) {
    std::printf("flood: %s\n", error.what());
    return 1;
  }
}
