// How far Callwright's main costs sit above the bare Win32 programs that do the same work, each
// ratio measured in this one run (samples of both sides alternated):
//  - a client's PARTNER_HANDLE notification to Callwright's recording command, against a WM_COPYDATA
//    echo (bare_echo), with one call at a time, with 3,000 calls open, and with 100,000 recordings
//    in the folder (those come from CALLWRIGHT_BENCH_RECORDS\100000, which scripts/bench.sh makes),
//    while the list still measures the files and once it is done;
//  - start to visible main window against bare_window, "/hidden" start to tray icon against
//    bare_tray;
//  - the sizes of Callwright.exe and of the setup against the bare window program.
// Prints figures; judges nothing.
// Usage: limits_winbench [start runs=7] [command samples=41] [open calls=3000]
#include <windows.h>
// After windows.h.
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "support/clock_win.h"
#include "support/gui_win.h"
#include "support/process_win.h"
#include "support/temp_dir_win.h"

namespace {

using callwright::test::ChildProcess;
namespace test = callwright::test;

constexpr wchar_t kMainCaption[] = L"Callwright [\u2022]";

double Median(std::vector<double> values) {
  values.erase(std::remove(values.begin(), values.end(), -1.0), values.end());
  if (values.empty()) return -1;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void Row(const char* what, double callwright, double bare, const char* unit, int decimals = 2) {
  const double ratio = callwright > 0 && bare > 0 ? callwright / bare : -1;
  std::printf("  %-52s %12.*f %-2s %12.*f %-2s %8.2f\n", what, decimals, callwright, unit, decimals, bare, unit, ratio);
}

std::optional<unsigned long long> FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The first file in the test program's folder that matches the pattern, or empty.
std::wstring FindInExeFolder(const std::wstring& pattern) {
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileW(test::ExePath(pattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return {};
  ::FindClose(search);
  return test::ExePath(found.cFileName);
}

// ---- start-up -----------------------------------------------------------------------------------

// Milliseconds from process start to a visible top-level window with this caption; -1 if none.
double TimeToWindow(const std::wstring& program, const std::wstring& caption) {
  const double start = test::NowMs();
  ChildProcess process(program, {});
  double result = -1;
  while (test::NowMs() - start < 20000) {
    if (test::FindProcessWindow(process.Id(), caption, true)) {
      result = test::NowMs() - start;
      break;
    }
    ::Sleep(1);
  }
  ::Sleep(300);  // start-up finished before the end, as for every program measured
  return result;
}

// Milliseconds from process start to a tray icon that was not there before; -1 if none.
double TimeToTrayIcon(const std::wstring& program, const std::vector<std::wstring>& args, bool bare) {
  const std::vector<HWND> before_list = test::WineTrayIcons();
  const std::set<HWND> before(before_list.begin(), before_list.end());
  const double start = test::NowMs();
  ChildProcess process(program, args);
  double result = -1;
  while (result < 0 && test::NowMs() - start < 20000) {
    for (HWND icon : test::WineTrayIcons()) {
      if (!before.contains(icon)) result = test::NowMs() - start;
    }
    if (result < 0) ::Sleep(1);
  }
  ::Sleep(300);
  // The bare program removes its icon on WM_CLOSE; Callwright's goes with its process.
  if (bare) {
    if (HWND window = test::FindProcessWindow(process.Id(), L"Bare tray", false)) {
      ::PostMessageW(window, WM_CLOSE, 0, 0);
      process.Wait(5000);
    }
  }
  return result;
}

// ---- the client's side of the desktop API --------------------------------------------------------

struct ClientState {
  HWND window = nullptr;
  UINT attach = 0;
  UINT discover = 0;
  HWND program = nullptr;  // Callwright's window that asked for the client
  std::string received;    // the last WM_COPYDATA text
  double received_at = 0;
};
ClientState client;

LRESULT CALLBACK ClientProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (client.discover != 0 && msg == client.discover) {
    client.program = reinterpret_cast<HWND>(wparam);
    ::PostMessageW(client.program, client.attach, reinterpret_cast<WPARAM>(hwnd), 0);
    return 0;
  }
  if (msg == WM_COPYDATA) {
    client.received_at = test::NowMs();
    const auto* record = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
    const char* bytes = static_cast<const char*>(record->lpData);
    std::size_t length = 0;
    while (length < record->cbData && bytes[length] != '\0') ++length;
    client.received.assign(bytes, length);
    return 1;
  }
  return ::DefWindowProcW(hwnd, msg, wparam, lparam);
}

void MakeClientWindow() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &ClientProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"LimitsBenchClient";
  ::RegisterClassExW(&wc);
  client.attach = ::RegisterWindowMessageW(L"SkypeControlAPIAttach");
  client.discover = ::RegisterWindowMessageW(L"SkypeControlAPIDiscover");
  // Top-level, so that the broadcast discovery reaches it.
  client.window = ::CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                    wc.hInstance, nullptr);
}

// Sends a notification and returns the milliseconds until an answer starting with `expect` came
// back from inside the send; -1 when none did.
double Notify(HWND target, const std::string& text, const std::string& expect) {
  std::string buffer = text;
  COPYDATASTRUCT record{};
  record.cbData = static_cast<DWORD>(buffer.size() + 1);
  record.lpData = buffer.data();
  client.received.clear();
  DWORD_PTR result = 0;
  const double start = test::NowMs();
  ::SendMessageTimeoutW(target, WM_COPYDATA, reinterpret_cast<WPARAM>(client.window),
                        reinterpret_cast<LPARAM>(&record), SMTO_NORMAL, 10000, &result);
  if (expect.empty() || client.received.rfind(expect, 0) != 0) return -1;
  return client.received_at - start;
}

int next_call = 1000;

// Opens a call: in progress, then its partner; -1 when Callwright sent no recording command.
double OpenCall(std::string* id_out = nullptr) {
  const std::string id = std::to_string(next_call++);
  if (id_out) *id_out = id;
  if (Notify(client.program, "CALL " + id + " STATUS INPROGRESS", "GET CALL " + id + " PARTNER_HANDLE") < 0) {
    return -1;
  }
  return Notify(client.program, "CALL " + id + " PARTNER_HANDLE partner" + id, "ALTER CALL " + id + " SET_OUTPUT");
}

void FinishCall(const std::string& id) { Notify(client.program, "CALL " + id + " STATUS FINISHED", ""); }

// One call at a time against the echo, alternated; medians in milliseconds.
std::pair<double, double> CommandRatio(HWND echo, int samples) {
  std::vector<double> ours, bare;
  for (int i = 0; i < samples; ++i) {
    std::string id;
    ours.push_back(OpenCall(&id));
    FinishCall(id);
    test::PumpFor(20);  // what Callwright defers runs now, not inside the next sample
    const std::string echo_id = std::to_string(next_call++);
    bare.push_back(Notify(echo, "CALL " + echo_id + " PARTNER_HANDLE partner" + echo_id, "CALL " + echo_id));
    test::PumpFor(5);
  }
  return {Median(ours), Median(bare)};
}

// A Callwright copy linked to this client; null process on failure.
struct LinkedProgram {
  std::unique_ptr<ChildProcess> process;
  HWND main = nullptr;
};

LinkedProgram StartLinked(const std::wstring& program) {
  LinkedProgram linked;
  client.program = nullptr;
  linked.process = std::make_unique<ChildProcess>(program, std::vector<std::wstring>{});
  test::PumpUntil([&] { return (linked.main = test::FindProcessWindow(linked.process->Id(), kMainCaption, true)); },
                  20000);
  // Linked once a notification gets its answer: Callwright takes the attach message first.
  test::PumpUntil(
      [&] {
        if (client.program == nullptr) return false;
        return Notify(client.program, "CALL 1 STATUS INPROGRESS", "GET CALL 1 PARTNER_HANDLE") >= 0;
      },
      20000);
  Notify(client.program, "CALL 1 STATUS FINISHED", "");
  return linked;
}

// Milliseconds of CPU the process has used so far.
double CpuMs(HANDLE process) {
  FILETIME created{}, ended{}, kernel{}, user{};
  if (!::GetProcessTimes(process, &created, &ended, &kernel, &user)) return 0;
  const auto value = [](const FILETIME& time) {
    return static_cast<double>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
  };
  return (value(kernel) + value(user)) / 10000.0;
}

// Pumps until the process has been idle for a second (under 5 % of one core): its workers are
// done. False when that did not come within the limit.
bool WaitUntilIdle(HANDLE process, double limit_ms) {
  const double start = test::NowMs();
  double before = CpuMs(process);
  while (test::NowMs() - start < limit_ms) {
    test::PumpFor(1000);
    const double now = CpuMs(process);
    if (now - before < 50) return true;
    before = now;
  }
  return false;
}

int ListCount(HWND main) {
  HWND list = ::FindWindowExW(main, nullptr, WC_LISTVIEWW, nullptr);
  return list ? static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) : -1;
}

int Run(int start_runs, int samples, int open_calls) {
  test::TempDir folder(L"callwright-limits");  // config.ini and Records of the copy land here
  const std::wstring callwright = folder.Join(L"Callwright.exe");
  if (!::CopyFileW(test::ExePath(L"Callwright.exe").c_str(), callwright.c_str(), FALSE)) {
    std::printf("limits: cannot copy Callwright.exe\n");
    return 1;
  }
  const std::wstring bare_window = test::ExePath(L"bare_window.exe");
  const std::wstring bare_tray = test::ExePath(L"bare_tray.exe");
  const std::wstring bare_echo = test::ExePath(L"bare_echo.exe");

  std::printf("limits: medians; ratio = Callwright / bare program\n");
  std::printf("  %-52s %15s %15s %8s\n", "", "Callwright", "bare program", "ratio");

  // Start-up. One unmeasured start of each first: the first start of a program under Wine is slow.
  TimeToWindow(bare_window, L"Bare window");
  TimeToWindow(callwright, kMainCaption);
  TimeToTrayIcon(bare_tray, {}, true);
  TimeToTrayIcon(callwright, {L"/hidden"}, false);
  std::vector<double> visible_ours, visible_bare, tray_ours, tray_bare;
  for (int run = 0; run < start_runs; ++run) {
    visible_bare.push_back(TimeToWindow(bare_window, L"Bare window"));
    visible_ours.push_back(TimeToWindow(callwright, kMainCaption));
    tray_bare.push_back(TimeToTrayIcon(bare_tray, {}, true));
    tray_ours.push_back(TimeToTrayIcon(callwright, {L"/hidden"}, false));
  }

  // The recording command.
  MakeClientWindow();
  ChildProcess echo_process(bare_echo, {});
  HWND echo = nullptr;
  test::PumpUntil([&] { return (echo = test::FindProcessWindow(echo_process.Id(), L"Bare echo", false)); }, 20000);
  std::pair<double, double> one{-1, -1}, many{-1, -1}, large{-1, -1}, large_measured{-1, -1};
  {
    LinkedProgram linked = StartLinked(callwright);
    if (client.program && echo) {
      CommandRatio(echo, 5);  // warm-up
      one = CommandRatio(echo, samples);
      for (int i = 0; i < open_calls; ++i) OpenCall();
      test::PumpFor(200);
      many = CommandRatio(echo, samples);
    }
  }
  wchar_t prepared[MAX_PATH] = {};
  const bool have_records = ::GetEnvironmentVariableW(L"CALLWRIGHT_BENCH_RECORDS", prepared, MAX_PATH) > 0;
  int listed = -1;
  bool measuring_ended = false;
  if (have_records) {
    const std::wstring records = std::wstring(prepared) + L"\\100000";
    ::WritePrivateProfileStringW(L"SYSTEM", L"path", records.c_str(), folder.Join(L"config.ini").c_str());
    LinkedProgram linked = StartLinked(callwright);
    // The listing runs beside the window: sampled once its rows are all there, while the files
    // are still being measured, and again once the program has nothing left to do.
    test::PumpUntil([&] { return (listed = ListCount(linked.main)) >= 100000; }, 180000);
    if (client.program && echo) {
      large = CommandRatio(echo, samples);
      measuring_ended = WaitUntilIdle(linked.process->Handle(), 300000);
      CommandRatio(echo, 5);
      large_measured = CommandRatio(echo, samples);
    }
  }

  std::printf("  %-52s\n", "PARTNER_HANDLE -> recording command vs WM_COPYDATA echo");
  Row("one call at a time", one.first, one.second, "ms");
  char label[80];
  std::snprintf(label, sizeof(label), "%d calls open", open_calls);
  Row(label, many.first, many.second, "ms");
  if (have_records) {
    std::snprintf(label, sizeof(label), "100,000 recordings (%d listed), being measured", listed);
    Row(label, large.first, large.second, "ms");
    Row(measuring_ended ? "100,000 recordings, all measured" : "100,000 recordings, measuring not over",
        large_measured.first, large_measured.second, "ms");
  } else {
    std::printf("  100,000 recordings in the folder: not measured (CALLWRIGHT_BENCH_RECORDS not set)\n");
  }
  std::printf("  %-52s\n", "start-up");
  Row("start -> main window visible (vs bare_window)", Median(visible_ours), Median(visible_bare), "ms");
  Row("\"/hidden\" start -> tray icon (vs bare_tray)", Median(tray_ours), Median(tray_bare), "ms");
  std::printf("  %-52s\n", "size (vs bare_window.exe)");
  const double bare_size = static_cast<double>(FileSize(bare_window).value_or(0));
  Row("Callwright.exe", static_cast<double>(FileSize(test::ExePath(L"Callwright.exe")).value_or(0)), bare_size, "B", 0);
  const std::wstring setup = FindInExeFolder(L"Callwright-*-setup.exe");
  if (!setup.empty()) {
    Row("setup", static_cast<double>(FileSize(setup).value_or(0)), bare_size, "B", 0);
  } else {
    std::printf("  setup: not built\n");
  }
  std::printf("  (samples: %d starts of each, %d commands of each per row)\n", start_runs, samples);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int start_runs = argc > 1 ? std::atoi(argv[1]) : 7;
  const int samples = argc > 2 ? std::atoi(argv[2]) : 41;
  const int open_calls = argc > 3 ? std::atoi(argv[3]) : 3000;
  try {
    return Run(std::max(1, start_runs), std::max(1, samples), std::max(0, open_calls));
  } catch (const std::exception& error) {
    std::printf("limits: %s\n", error.what());
    return 1;
  }
}
