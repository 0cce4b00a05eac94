// What the program costs while nobody sees it: the CPU time of a real Callwright.exe started hidden
// (main and About windows hidden), and the cost of one About frame measured in this process. When
// CALLWRIGHT_BASELINE names another build's Callwright.exe, that one is measured first, the same
// way. Prints figures; never fails on time.
// Usage: about_cpu_winbench [seconds of each whole-process measurement, default 60]
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>

#include "support/gui_win.h"
#include "support/process_win.h"
#include "support/temp_dir_win.h"
#include "ui/about_form.h"
#include "ui/toolkit/application.h"

namespace {

using namespace callwright;
namespace fs = std::filesystem;

std::uint64_t Ticks(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// User and kernel time of a process, in 100 ns units.
bool ProcessCpu(HANDLE process, std::uint64_t& user, std::uint64_t& kernel) {
  FILETIME created{}, ended{}, kernel_time{}, user_time{};
  if (!::GetProcessTimes(process, &created, &ended, &kernel_time, &user_time)) return false;
  user = Ticks(user_time);
  kernel = Ticks(kernel_time);
  return true;
}

// The same summed over the process's threads, for systems whose GetProcessTimes reports nothing
// for other processes (Wine).
bool ThreadsCpu(DWORD process_id, std::uint64_t& user, std::uint64_t& kernel) {
  user = kernel = 0;
  KernelHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  if (!snapshot) return false;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  bool any = false;
  for (BOOL more = ::Thread32First(snapshot.Get(), &entry); more; more = ::Thread32Next(snapshot.Get(), &entry)) {
    if (entry.th32OwnerProcessID != process_id) continue;
    KernelHandle thread(::OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID));
    FILETIME created{}, ended{}, kernel_time{}, user_time{};
    if (!thread || !::GetThreadTimes(thread.Get(), &created, &ended, &kernel_time, &user_time)) continue;
    user += Ticks(user_time);
    kernel += Ticks(kernel_time);
    any = true;
  }
  return any;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency{};
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// One frame (a generation of the water and the redraw into the hidden window's bitmap) in this
// process, on a hidden About window as the program has it.
void MeasureFrame() {
  Application::Instance();
  auto about = std::make_unique<TFrmAbout>();
  about->Timer.SetEnabled(false);
  for (int i = 0; i < 50; ++i) about->imgMouseMove(10 + 6 * i, 10 + i);  // a busy surface
  constexpr int kFrames = 2000;
  std::uint64_t user0 = 0, kernel0 = 0, user1 = 0, kernel1 = 0;
  ProcessCpu(::GetCurrentProcess(), user0, kernel0);
  LARGE_INTEGER start{}, end{};
  ::QueryPerformanceCounter(&start);
  for (int i = 0; i < kFrames; ++i) about->RenderFrame();
  ::QueryPerformanceCounter(&end);
  ProcessCpu(::GetCurrentProcess(), user1, kernel1);
  const double wall_us = Seconds(start, end) * 1e6 / kFrames;
  const double cpu_us = static_cast<double>((user1 - user0) + (kernel1 - kernel0)) / 10.0 / kFrames;
  std::printf("one frame of the hidden About window (332 x 71): %.1f us wall, %.1f us CPU\n", wall_us, cpu_us);
  std::printf("  at one frame every 70 ms: %.3f %% of one core\n", cpu_us / 70000.0 * 100.0);
}

int MeasureProcess(int seconds, const char* label, const fs::path& program) {
  std::printf("-- %s\n", label);
  if (!fs::exists(program)) {
    std::printf("Callwright.exe not found\n");
    return 1;
  }
  // A copy of its own: the program keeps its configuration and recordings beside itself.
  test::TempDir folder;
  const std::wstring copy = folder.Join(L"Callwright.exe");
  fs::copy_file(program, copy);
  test::ChildProcess process(copy, {L"/hidden"}, folder.Path());
  HWND about = nullptr;
  for (int i = 0; i < 300 && !about; ++i) {
    about = test::FindProcessWindow(process.Id(), L"About ", false);
    if (!about) ::Sleep(100);
  }
  if (!about) {
    std::printf("the About window of Callwright.exe did not appear\n");
    return 1;
  }
  ::Sleep(3000);  // past the start-up and the hidden start
  std::printf("Callwright.exe /hidden: About window %s, main window %s\n",
              ::IsWindowVisible(about) ? "VISIBLE" : "hidden",
              test::FindProcessWindow(process.Id(), L"Callwright [\u2022]", true) ? "VISIBLE" : "hidden");

  std::uint64_t user0 = 0, kernel0 = 0, user1 = 0, kernel1 = 0;
  std::uint64_t thread_user0 = 0, thread_kernel0 = 0, thread_user1 = 0, thread_kernel1 = 0;
  LARGE_INTEGER start{}, end{};
  const bool have_process_times = ProcessCpu(process.Handle(), user0, kernel0);
  ThreadsCpu(process.Id(), thread_user0, thread_kernel0);
  ::QueryPerformanceCounter(&start);
  ::Sleep(static_cast<DWORD>(seconds) * 1000);
  ProcessCpu(process.Handle(), user1, kernel1);
  ThreadsCpu(process.Id(), thread_user1, thread_kernel1);
  ::QueryPerformanceCounter(&end);
  const double wall = Seconds(start, end);

  // Signed: a thread that ends in between takes its time along.
  const auto report = [&](const char* source, std::int64_t user, std::int64_t kernel) {
    const double user_ms = static_cast<double>(user) / 1e4;
    const double kernel_ms = static_cast<double>(kernel) / 1e4;
    std::printf("CPU used over %.1f s (%s): user %.0f ms, kernel %.0f ms = %.3f %% of one core (target < 0.05 %%)\n",
                wall, source, user_ms, kernel_ms, (user_ms + kernel_ms) / (wall * 1000.0) * 100.0);
  };
  if (have_process_times) report("GetProcessTimes", static_cast<std::int64_t>(user1 - user0),
                                 static_cast<std::int64_t>(kernel1 - kernel0));
  if (thread_user1 + thread_kernel1 > 0) {
    report("sum of its threads' GetThreadTimes", static_cast<std::int64_t>(thread_user1 - thread_user0),
           static_cast<std::int64_t>(thread_kernel1 - thread_kernel0));
  }
  if (::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) {
    std::printf("(under Wine GetProcessTimes misses most of another process's time; the thread sum counts it)\n");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  MeasureFrame();
  wchar_t baseline[MAX_PATH] = {};
  try {
    if (::GetEnvironmentVariableW(L"CALLWRIGHT_BASELINE", baseline, MAX_PATH) && fs::exists(baseline)) {
      if (const int failed = MeasureProcess(seconds, "baseline", baseline)) return failed;
    }
    return MeasureProcess(seconds, "this build", test::ExePath(L"Callwright.exe"));
  } catch (const std::exception& error) {
    std::printf("Callwright.exe did not start: %s\n", error.what());
    return 1;
  }
}
