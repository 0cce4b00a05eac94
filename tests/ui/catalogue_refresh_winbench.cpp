// What a long recordings list costs the main window, measured from outside on real Callwright.exe
// processes: Refresh until all rows are shown, until every "BUSY" is in, the longest wait of a
// WM_NULL sent from this process meanwhile (the window's longest stall), and the same for deleting
// many selected rows. Runs the Callwright.exe beside this program and, when CALLWRIGHT_BASELINE
// names another build's Callwright.exe, that one too, one after the other on the same folder.
// Prints figures; never fails on time.
// Beside them, a bare FindFirstFileExW loop over the same folder: what listing it costs at least.
// Usage: catalogue_refresh_winbench [counts=10000,100000] [runs=3] [rows to delete in the first folder=5000, 0: none]
// (CALLWRIGHT_BENCH_MILLION=1 adds 1,000,000 to the default counts.)
#include <windows.h>
// After windows.h.
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/files_win.h"
#include "support/gui_win.h"
#include "support/process_win.h"
#include "support/temp_dir_win.h"
#include "base/handles.h"

namespace {

using namespace callwright;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::wstring RecordingName(int index) {
  wchar_t name[64];
  std::swprintf(name, 64, L"%02d%02d2013_%02d%02d%02d_partner.%d.wav", index % 28 + 1, index % 12 + 1, index % 24,
                index % 60, (index / 60) % 60, index);
  return name;
}

bool WriteKiB(const fs::path& path) { return test::WriteBytes(path.wstring(), std::string(1024, 'x')); }

// Files held open for writing (read sharing only) by this process, as the client holds the
// recordings it writes; each carries a date of its own, so its row is found by its When text.
// The first is the oldest file of the folder: measured newest first, its result comes last.
struct HeldFiles {
  struct Held {
    std::wstring when;
    FileHandle handle;
  };
  std::vector<Held> files;

  bool Create(const fs::path& folder) {
    const int days[] = {1, 2, 3, 4, 5};
    for (int day : days) {
      wchar_t name[64], when[64];
      std::swprintf(name, 64, L"%02d011999_000000_held.wav", day);
      std::swprintf(when, 64, L"%02d/01/1999 at 00:00:00", day);
      const fs::path path = folder / name;
      if (!WriteKiB(path)) return false;
      FileHandle handle(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!handle) return false;
      // Written years ago, except the rest a little later each.
      FILETIME time{};
      ::GetSystemTimeAsFileTime(&time);
      ULARGE_INTEGER t{{time.dwLowDateTime, time.dwHighDateTime}};
      t.QuadPart -= (10ull - day) * 365 * 864000000000ull;
      const FILETIME written{t.LowPart, t.HighPart};
      ::SetFileTime(handle.Get(), nullptr, nullptr, &written);
      files.push_back({when, std::move(handle)});
    }
    return true;
  }
};

// Memory in the other process for the list view's messages that carry pointers.
class RemoteMemory {
 public:
  RemoteMemory(HANDLE process, std::size_t size) : process_(process) {
    address_ = ::VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  ~RemoteMemory() {
    if (address_) ::VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
  }
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;
  explicit operator bool() const { return address_ != nullptr; }
  char* At(std::size_t offset) const { return static_cast<char*>(address_) + offset; }
  bool Write(std::size_t offset, const void* data, std::size_t size) const {
    return ::WriteProcessMemory(process_, At(offset), data, size, nullptr) != FALSE;
  }
  bool Read(std::size_t offset, void* data, std::size_t size) const {
    return ::ReadProcessMemory(process_, At(offset), data, size, nullptr) != FALSE;
  }

 private:
  HANDLE process_;
  void* address_ = nullptr;
};

// The list and the buttons of a running Callwright's main window.
class RemoteMainWindow {
 public:
  RemoteMainWindow(HANDLE process, HWND main) : process_(process), main_(main), memory_(process, 4096) {
    ::EnumChildWindows(
        main,
        [](HWND child, LPARAM param) -> BOOL {
          auto* self = reinterpret_cast<RemoteMainWindow*>(param);
          wchar_t text[64] = {};
          ::GetClassNameW(child, text, 64);
          if (std::wstring(text) == WC_LISTVIEWW) self->list_ = child;
          ::GetWindowTextW(child, text, 64);
          if (std::wstring(text) == L"&Refresh") self->refresh_ = child;
          if (std::wstring(text) == L"&Delete") self->delete_ = child;
          return TRUE;
        },
        reinterpret_cast<LPARAM>(this));
  }
  bool Ready() const { return list_ && refresh_ && delete_ && memory_; }
  HWND Main() const { return main_; }
  HWND DeleteButton() const { return delete_; }
  void ClickRefresh() const { ::PostMessageW(refresh_, BM_CLICK, 0, 0); }
  void ClickDelete() const { ::PostMessageW(delete_, BM_CLICK, 0, 0); }

  // Waits as long as the window does not answer.
  int Count() const {
    DWORD_PTR count = 0;
    if (!::SendMessageTimeoutW(list_, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 600000, &count)) return -1;
    return static_cast<int>(count);
  }
  int SelectedCount() const {
    DWORD_PTR count = 0;
    if (!::SendMessageTimeoutW(list_, LVM_GETSELECTEDCOUNT, 0, 0, SMTO_NORMAL, 600000, &count)) return -1;
    return static_cast<int>(count);
  }
  int Find(const std::wstring& caption) const {
    LVFINDINFOW find{};
    find.flags = LVFI_STRING;
    find.psz = reinterpret_cast<LPCWSTR>(memory_.At(1024));
    if (!memory_.Write(1024, caption.c_str(), (caption.size() + 1) * sizeof(wchar_t)) ||
        !memory_.Write(0, &find, sizeof(find))) {
      return -1;
    }
    DWORD_PTR index = static_cast<DWORD_PTR>(-1);
    ::SendMessageTimeoutW(list_, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(memory_.At(0)),
                          SMTO_NORMAL, 600000, &index);
    return static_cast<int>(index);
  }
  std::wstring Text(int index, int column) const {
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = reinterpret_cast<LPWSTR>(memory_.At(1024));
    item.cchTextMax = 256;
    if (!memory_.Write(0, &item, sizeof(item))) return {};
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(list_, LVM_GETITEMTEXTW, static_cast<WPARAM>(index),
                               reinterpret_cast<LPARAM>(memory_.At(0)), SMTO_NORMAL, 600000, &length)) {
      return {};
    }
    std::wstring text(std::min<DWORD_PTR>(length, 255), L'\0');
    memory_.Read(1024, text.data(), text.size() * sizeof(wchar_t));
    return text;
  }
  void Select(int index) const {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    memory_.Write(0, &item, sizeof(item));
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(memory_.At(0)),
                          SMTO_NORMAL, 600000, &ignored);
  }

 private:
  HANDLE process_;
  HWND main_;
  HWND list_ = nullptr;
  HWND refresh_ = nullptr;
  HWND delete_ = nullptr;
  RemoteMemory memory_;
};

// Times WM_NULL round trips to the window from a thread of its own: the longest one is the
// longest time the window's thread did not answer.
class StallMeter {
 public:
  explicit StallMeter(HWND window) : window_(window) {
    thread_ = std::thread([this] {
      while (!stop_) {
        const auto start = Clock::now();
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, 600000, &ignored);
        const double ms = MsSince(start);
        if (ms > longest_) longest_ = ms;
        ++trips_;
        // Often enough to see any stall of note, seldom enough not to slow what is measured.
        ::Sleep(5);
      }
    });
  }
  ~StallMeter() { Stop(); }
  double Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return longest_;
  }
  int Trips() const { return trips_; }

 private:
  HWND window_;
  std::atomic<bool> stop_{false};
  std::atomic<double> longest_{0};
  std::atomic<int> trips_{0};
  std::thread thread_;
};

// CPU time of a thread, in milliseconds: for the window's thread, the time it was busy.
double ThreadCpuMs(HANDLE thread) {
  FILETIME created{}, ended{}, kernel{}, user{};
  if (!::GetThreadTimes(thread, &created, &ended, &kernel, &user)) return 0;
  const auto ticks = [](const FILETIME& t) { return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 1e4;
}

// The folder's entries by a bare FindFirstFileExW loop, as a yardstick for the rows shown.
double BareListingMs(const fs::path& folder, int& entries) {
  const std::wstring pattern = (folder / L"*").wstring();
  const auto start = Clock::now();
  entries = 0;
  WIN32_FIND_DATAW data{};
  const HANDLE find = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                         FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) return -1;
  do {
    ++entries;
  } while (::FindNextFileW(find, &data));
  ::FindClose(find);
  return MsSince(start);
}

struct Figures {
  std::vector<double> rows_ms, busy_ms, stall_ms, bare_ms;
};

std::wstring Median(std::vector<double> values) {
  if (values.empty()) return L"-";
  std::sort(values.begin(), values.end());
  wchar_t text[96];
  std::swprintf(text, 96, L"%.0f (%.0f..%.0f)", values[values.size() / 2], values.front(), values.back());
  return text;
}

// One program on one folder: its start-up listing, then `runs` Refreshes, then a Delete.
bool Measure(const char* label, const fs::path& program, const fs::path& records, int count, int runs,
             int delete_count, const HeldFiles& held, double bare_ms) {
  test::TempDir home;
  const fs::path copy = home.Join(L"Callwright.exe");
  fs::copy_file(program, copy);
  const std::wstring config = home.Join(L"config.ini");
  ::WritePrivateProfileStringW(L"SYSTEM", L"path", records.c_str(), config.c_str());
  ::WritePrivateProfileStringW(L"SYSTEM", L"info", L"1", config.c_str());
  ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, config.c_str());

  int total = count + static_cast<int>(held.files.size());
  const auto started = Clock::now();
  test::ChildProcess process(copy.wstring(), {}, home.Path());
  HWND main = nullptr;
  while (!main && MsSince(started) < 60000) {
    main = test::FindProcessWindow(process.Id(), L"Callwright [\u2022]", true);
    if (!main) ::Sleep(20);
  }
  if (!main) return std::printf("%s: the main window did not appear\n", label), false;
  RemoteMainWindow window(process.Handle(), main);
  const KernelHandle gui_thread(
      ::OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, ::GetWindowThreadProcessId(main, nullptr)));
  if (!window.Ready()) return std::printf("%s: list or buttons not found\n", label), false;
  const auto alive = [&] { return ::WaitForSingleObject(process.Handle(), 0) == WAIT_TIMEOUT; };
  while (window.Count() != total && alive() && MsSince(started) < 600000) ::Sleep(20);
  if (!alive()) return std::printf("%s: ended unexpectedly\n", label), false;
  const double startup_ms = MsSince(started);
  std::printf("%s, %d recordings: start-up listing shown after %.0f ms\n", label, total, startup_ms);

  Figures figures;
  for (int run = 0; run < runs; ++run) {
    // One more file each time, so the new listing is told from the old by its length.
    if (!WriteKiB(records / (L"01022000_000000_extra" + std::to_wstring(run) + L".wav"))) return false;
    ++total;
    // The live list shows the new file by itself. Refresh is timed from a selected row to the new
    // listing's rows, which come unselected.
    const auto written = Clock::now();
    while (window.Count() != total && alive() && MsSince(written) < 30000) ::Sleep(20);
    window.Select(0);
    // The yardstick again, right before: the machine as it is now.
    int entries = 0;
    const double bare_now_ms = BareListingMs(records, entries);
    ::Sleep(300);
    StallMeter stalls(main);
    ::Sleep(50);
    const auto click = Clock::now();
    window.ClickRefresh();
    while (window.SelectedCount() != 0 && alive() && MsSince(click) < 600000) ::Sleep(count >= 100000 ? 10 : 1);
    const double rows_ms = MsSince(click);
    // The oldest held file is measured last.
    int oldest = -1;
    while (alive() && MsSince(click) < 600000) {
      if (oldest < 0) oldest = window.Find(held.files[0].when);
      if (oldest >= 0 && window.Text(oldest, 2) == L"BUSY") break;
      ::Sleep(1);
    }
    const double busy_ms = MsSince(click);
    ::Sleep(100);
    const double stall_ms = stalls.Stop();
    if (!alive()) return std::printf("%s: ended unexpectedly\n", label), false;
    figures.rows_ms.push_back(rows_ms);
    figures.busy_ms.push_back(busy_ms);
    figures.stall_ms.push_back(stall_ms);
    figures.bare_ms.push_back(bare_now_ms);
    std::printf("  run %d: rows shown %.0f ms (a bare loop just before: %.0f ms), every BUSY in %.0f ms, longest stall "
                "%.0f ms (%d round trips)\n",
                run + 1, rows_ms, bare_now_ms, busy_ms, stall_ms, stalls.Trips());
  }
  std::wprintf(L"%hs, %d recordings, Refresh (median, min..max of %d): rows shown %ls ms; every BUSY in %ls ms; "
               L"longest stall %ls ms\n",
               label, total, runs, Median(figures.rows_ms).c_str(), Median(figures.busy_ms).c_str(),
               Median(figures.stall_ms).c_str());
  std::vector<double> ratios;
  for (std::size_t i = 0; i < figures.rows_ms.size(); ++i) {
    if (figures.bare_ms[i] > 0) ratios.push_back(figures.rows_ms[i] / figures.bare_ms[i]);
  }
  std::sort(ratios.begin(), ratios.end());
  if (!ratios.empty()) {
    std::printf("%s, %d recordings: rows shown in %.2f times a bare FindFirstFileExW loop run just before "
                "(median of %zu; the start-up listing: %.2f times the first loop's %.0f ms)\n",
                label, total, ratios[ratios.size() / 2], ratios.size(), startup_ms / bare_ms, bare_ms);
  }

  if (delete_count <= 0) return true;
  // Every second row, the held files left out (their rows would stay).
  std::vector<bool> skip(static_cast<std::size_t>(total), false);
  for (const auto& file : held.files) {
    const int index = window.Find(file.when);
    if (index >= 0) skip[static_cast<std::size_t>(index)] = true;
  }
  int selected = 0;
  for (int i = 0; i < total && selected < delete_count; i += 2) {
    if (skip[static_cast<std::size_t>(i)]) continue;
    window.Select(i);
    ++selected;
  }
  const auto select_end = Clock::now();
  while (!::IsWindowEnabled(window.DeleteButton()) && MsSince(select_end) < 10000) ::Sleep(10);
  window.ClickDelete();
  HWND box = nullptr;
  while (!box && MsSince(select_end) < 60000) {
    box = ::FindWindowW(L"#32770", L"Delete files");
    if (!box) ::Sleep(5);
  }
  if (!box) return std::printf("%s: no Delete question\n", label), false;
  StallMeter stalls(main);
  ::Sleep(50);
  const double gui_before = ThreadCpuMs(gui_thread.Get());
  const auto yes = Clock::now();
  ::PostMessageW(::GetDlgItem(box, IDYES), BM_CLICK, 0, 0);
  // Where the folder's drive has no Recycle Bin (as under Wine), a second question asks whether to
  // delete for good; it is answered Yes too.
  HWND answered = box;
  while (window.Count() != total - selected && alive() && MsSince(yes) < 900000) {
    const HWND next = ::FindWindowW(L"#32770", L"Delete files");
    if (next && next != answered && ::IsWindowVisible(next)) {
      ::PostMessageW(::GetDlgItem(next, IDYES), BM_CLICK, 0, 0);
      answered = next;
    }
    ::Sleep(1);
  }
  const double delete_ms = MsSince(yes);
  const double gui_ms = ThreadCpuMs(gui_thread.Get()) - gui_before;
  ::Sleep(100);
  const double stall_ms = stalls.Stop();
  std::printf("%s, Delete of %d selected rows of %d: list updated %.0f ms after Yes, window's thread busy %.0f ms "
              "(its CPU time), longest stall %.0f ms\n",
              label, selected, total, delete_ms, gui_ms, stall_ms);
  return true;
}

int Run(int argc, char** argv) {
  // Figures appear as they come, also when the output is a pipe or a file.
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  std::vector<int> counts;
  char million[8] = {};
  const bool with_million = ::GetEnvironmentVariableA("CALLWRIGHT_BENCH_MILLION", million, sizeof(million)) > 0 &&
                            std::string(million) == "1";
  const std::string count_list = argc > 1 ? argv[1] : (with_million ? "10000,100000,1000000" : "10000,100000");
  for (std::size_t start = 0; start < count_list.size();) {
    const std::size_t comma = count_list.find(',', start);
    counts.push_back(std::atoi(count_list.substr(start, comma - start).c_str()));
    start = comma == std::string::npos ? count_list.size() : comma + 1;
  }
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  const int delete_count = argc > 3 ? std::atoi(argv[3]) : 5000;

  struct Program {
    const char* label;
    fs::path path;
  };
  std::vector<Program> programs;
  wchar_t baseline[MAX_PATH] = {};
  if (::GetEnvironmentVariableW(L"CALLWRIGHT_BASELINE", baseline, MAX_PATH) && fs::exists(baseline)) {
    programs.push_back({"baseline", baseline});
  }
  programs.push_back({"this build", test::ExePath(L"Callwright.exe")});

  bool first_count = true;
  // Wine searches a folder for a name of any letter case before it creates a file, so filling a
  // folder with 100,000 files from here takes many minutes: the benchmark script makes them beforehand
  // in CALLWRIGHT_BENCH_RECORDS\<count>, named as RecordingName does.
  wchar_t prepared[MAX_PATH] = {};
  const bool have_prepared = ::GetEnvironmentVariableW(L"CALLWRIGHT_BENCH_RECORDS", prepared, MAX_PATH) > 0;
  for (int count : counts) {
    std::unique_ptr<test::TempDir> temporary;
    fs::path folder;
    if (have_prepared) {
      folder = fs::path(prepared) / std::to_wstring(count);
      fs::create_directories(folder);
    } else {
      temporary = std::make_unique<test::TempDir>();
      folder = temporary->Path();
    }
    struct Records {
      fs::path path;
      const fs::path& Path() const { return path; }
    } records{folder};
    std::printf("%d recordings of 1 KiB, and 5 held open for writing...\n", count);
    for (int i = 0; i < count; ++i) {
      const fs::path path = records.Path() / RecordingName(i);
      if (!fs::exists(path) && !WriteKiB(path)) return std::printf("setup failed\n"), 1;
    }
    // The files each Refresh adds, also those of earlier invocations with more runs or stopped early.
    const auto remove_extras = [&] {
      for (int run = 0; run < std::max(runs, 32); ++run) {
        std::error_code ignored;
        fs::remove(records.Path() / (L"01022000_000000_extra" + std::to_wstring(run) + L".wav"), ignored);
      }
    };
    remove_extras();
    HeldFiles held;
    if (!held.Create(records.Path())) return std::printf("setup failed\n"), 1;
    // The second of two loops, as warm as the Refreshes measured after it.
    int entries = 0;
    BareListingMs(records.Path(), entries);
    const double bare_ms = BareListingMs(records.Path(), entries);
    std::printf("bare FindFirstFileExW loop: %d entries in %.0f ms\n", entries, bare_ms);
    for (const Program& program : programs) {
      // The files of the previous program's runs and deletions are put back.
      for (int i = 0; i < count; ++i) {
        const fs::path path = records.Path() / RecordingName(i);
        if (!fs::exists(path) && !WriteKiB(path)) return std::printf("setup failed\n"), 1;
      }
      remove_extras();
      // Deleting is measured on the first folder only: the old way takes minutes already there.
      if (!Measure(program.label, program.path, records.Path(), count, runs, first_count ? delete_count : 0, held,
                   bare_ms)) {
        return 1;
      }
    }
    first_count = false;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& error) {
    std::printf("setup failed: %s\n", error.what());
    return 1;
  }
}
