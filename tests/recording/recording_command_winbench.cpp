// The recording command's round trip with a large recordings folder: from a partner-handle
// notification to the client having handled its command, against a bare WM_COPYDATA round trip to
// the same client window, and against what a look at the disk for the new name costs there.
// Usage: recording_command_winbench [count=100000] [commands=300]. The folder comes from
// CALLWRIGHT_BENCH_RECORDS\<count> (made by scripts/bench.sh), else a temporary one is filled here.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/destination_folder.h"
#include "core/timestamp.h"
#include "recording/client_link_win.h"
#include "support/gui_win.h"
#include "support/temp_dir_win.h"
#include "ui/toolkit/application.h"

namespace {

using namespace callwright;
using Clock = std::chrono::steady_clock;

// A client window on a thread of its own that takes every command and answers nothing.
class EchoClient {
 public:
  EchoClient() {
    thread_ = std::thread([this] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = [](HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) -> LRESULT {
        if (msg == WM_COPYDATA) return 1;
        return ::DefWindowProcW(hwnd, msg, wparam, lparam);
      };
      wc.hInstance = ::GetModuleHandleW(nullptr);
      wc.lpszClassName = L"CallwrightBenchClient";
      ::RegisterClassW(&wc);
      window_ = ::CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance,
                                  nullptr);
      ready_ = true;
      MSG msg;
      while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
      ::DestroyWindow(window_);
    });
    while (!ready_) ::Sleep(1);
  }
  ~EchoClient() {
    ::PostMessageW(window_, WM_QUIT, 0, 0);
    thread_.join();
  }
  HWND Window() const { return window_; }

 private:
  std::thread thread_;
  std::atomic<bool> ready_{false};
  HWND window_ = nullptr;
};

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

int Run(int count, int commands) {
  std::unique_ptr<test::TempDir> temporary;
  std::wstring folder;
  wchar_t prepared[MAX_PATH] = {};
  if (::GetEnvironmentVariableW(L"CALLWRIGHT_BENCH_RECORDS", prepared, MAX_PATH) > 0) {
    folder = std::wstring(prepared) + L"\\" + std::to_wstring(count);
  } else {
    temporary = std::make_unique<test::TempDir>(L"callwright-command");
    folder = temporary->Path();
    for (int i = 0; i < count; ++i) {
      const std::wstring name = folder + L"\\01012013_000000_partner." + std::to_wstring(i) + L".wav";
      ::CloseHandle(::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    }
  }
  SetDestinationFolder(folder);
  Application& app = Application::Instance();
  EchoClient client;
  ClientLink link(app);

  const auto listing_start = Clock::now();
  link.PrepareFolder(false);
  if (!test::PumpUntil([&] { return link.Watch() && link.Watch()->Listed() && !link.PreparingFolder(); }, 600000)) {
    std::printf("recording command: the folder was not listed\n");
    return 1;
  }
  const double listing_ms = Ms(Clock::now() - listing_start);
  link.SkypeWindowHandle = client.Window();

  // A bare round trip to the same client: one WM_COPYDATA and its answer.
  std::vector<double> bare, command, disk;
  std::string text = "ALTER CALL 1 SET_OUTPUT file=\"" + std::string(200, 'x') + "\"";
  for (int i = 0; i < commands; ++i) {
    COPYDATASTRUCT record{0, static_cast<DWORD>(text.size() + 1), text.data()};
    DWORD_PTR answer = 0;
    const auto start = Clock::now();
    ::SendMessageTimeoutW(client.Window(), WM_COPYDATA, reinterpret_cast<WPARAM>(app.Handle()),
                          reinterpret_cast<LPARAM>(&record), SMTO_NORMAL, 5000, &answer);
    bare.push_back(Ms(Clock::now() - start));
  }
  for (int i = 0; i < commands; ++i) {
    const std::string note = "CALL " + std::to_string(100000 + i) + " PARTNER_HANDLE bench.p";
    const auto start = Clock::now();
    link.HandleNotification(note);
    command.push_back(Ms(Clock::now() - start));
  }
  // What the name check cost when it asked the disk: the attributes of a name not in the folder.
  for (int i = 0; i < commands; ++i) {
    const std::wstring name = folder + L"\\" + MakeTimestamp(SystemPlatform()) + L"_bench.p (" +
                              std::to_wstring(i + 2) + L").wav";
    const auto start = Clock::now();
    ::GetFileAttributesW(name.c_str());
    disk.push_back(Ms(Clock::now() - start));
  }
  std::printf("recording command: %d recordings in the folder, listed and watched in %.0f ms (%zu names)\n", count,
              listing_ms, link.Watch()->Count());
  std::printf("recording command: partner handle to command handled, median %.3f ms over %d commands\n",
              Median(command), commands);
  std::printf("recording command: bare WM_COPYDATA round trip, median %.3f ms; ratio %.2f\n", Median(bare),
              Median(bare) > 0 ? Median(command) / Median(bare) : 0.0);
  std::printf("recording command: a look at the disk for the new name (the earlier check), median %.3f ms\n",
              Median(disk));
  SetDestinationFolder(L"");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int commands = argc > 2 ? std::atoi(argv[2]) : 300;
    return Run(count, commands);
  } catch (const std::exception& error) {
    std::printf("recording command: %s\n", error.what());
    return 1;
  }
}
