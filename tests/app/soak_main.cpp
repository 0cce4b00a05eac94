// The soak: drives a real Callwright.exe with the substitute client for a given time and checks
// all along what must always hold.
//
//   soak.exe [minutes]          (default 1; fractions allowed, e.g. 0.5)
//
// Each round places calls through a new client process (overlapping calls, the same partner many
// times a second, long and hostile handles, a client killed in the middle of its calls), and
// between rounds it storms the main window with Refresh and Delete, changes the destination folder
// through the settings window and its folder picker, and opens the About window through the
// notification-area icon's menu. It checks that
//   - the program never dies,
//   - every recording command names a path directly inside one of the folders in use that no
//     earlier command named,
//   - every recording the client created and nobody deleted is listed after a Refresh,
// and prints the program's private bytes, handle, GDI and USER object counts at the start and the
// end, with their slope after the first minute. Exit code 0 when every check held, 1 otherwise.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "support/gui_win.h"
#include "support/process_win.h"
#include "support/temp_dir_win.h"
#include "ui/toolkit/notify_icon.h"

namespace callwright {
namespace {

using test::ChildProcess;
using test::FindButton;
using test::PumpFor;
using test::PumpUntil;

constexpr wchar_t kMainCaption[] = L"Callwright [\u2022]";

int g_failures = 0;

void Fail(const std::wstring& what) {
  ++g_failures;
  std::fwprintf(stdout, L"FAIL: %ls\n", what.c_str());
  std::fflush(stdout);
}

void Say(const std::wstring& what) {
  std::fwprintf(stdout, L"%ls\n", what.c_str());
  std::fflush(stdout);
}

std::wstring Upper(std::wstring text) {
  if (!text.empty()) ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// The whole file, read while its writer may still have it open; empty when it cannot be read.
std::string ReadAll(const std::wstring& path) {
  std::string bytes;
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char buffer[65536];
  DWORD got = 0;
  while (::ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
  ::CloseHandle(file);
  return bytes;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(begin, end - begin);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    begin = end + 1;
  }
  return lines;
}

std::wstring ParentOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// ---- the program's windows, from outside

HWND FindWindowOfClass(DWORD process_id, const wchar_t* class_name) {
  for (HWND window : test::ProcessWindows(process_id)) {
    if (test::ClassName(window) == class_name) return window;
  }
  return nullptr;
}

HWND FindChildOfClass(HWND parent, const std::wstring& class_name, const std::wstring& text = {}, bool any_text = true) {
  struct Search {
    const std::wstring* class_name;
    const std::wstring* text;
    bool any_text;
    HWND found;
  } search{&class_name, &text, any_text, nullptr};
  ::EnumChildWindows(
      parent,
      [](HWND child, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        if (test::ClassName(child) != *s->class_name) return TRUE;
        if (!s->any_text && test::WindowText(child).find(*s->text) != 0) return TRUE;
        s->found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Memory in the program's address space, for the list and folder-picker messages whose pointers
// the system does not carry between processes.
class RemoteBuffer {
 public:
  RemoteBuffer(HANDLE process, std::size_t size) : process_(process), size_(size) {
    address_ = ::VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  ~RemoteBuffer() {
    if (address_) ::VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  bool Valid() const { return address_ != nullptr; }
  void* Address() const { return address_; }
  bool Write(const void* data, std::size_t size, std::size_t offset = 0) {
    return offset + size <= size_ &&
           ::WriteProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, nullptr);
  }
  bool Read(void* data, std::size_t size, std::size_t offset = 0) const {
    return offset + size <= size_ &&
           ::ReadProcessMemory(process_, static_cast<const char*>(address_) + offset, data, size, nullptr);
  }

 private:
  HANDLE process_;
  std::size_t size_;
  void* address_ = nullptr;
};

std::vector<std::wstring> ListColumnTexts(HANDLE process, HWND list, int column) {
  std::vector<std::wstring> texts;
  const auto count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  constexpr std::size_t kTextChars = 1024;
  RemoteBuffer remote(process, sizeof(LVITEMW) + kTextChars * sizeof(wchar_t));
  if (!remote.Valid()) return texts;
  auto* remote_text = reinterpret_cast<wchar_t*>(static_cast<char*>(remote.Address()) + sizeof(LVITEMW));
  for (int row = 0; row < count; ++row) {
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = remote_text;
    item.cchTextMax = kTextChars;
    remote.Write(&item, sizeof(item));
    const auto length = static_cast<std::size_t>(
        ::SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote.Address())));
    std::wstring text(std::min(length, kTextChars - 1), L'\0');
    remote.Read(text.data(), text.size() * sizeof(wchar_t), sizeof(LVITEMW));
    texts.push_back(std::move(text));
  }
  return texts;
}

// The text of the tree's selected item (the folder picker's choice).
std::wstring TreeSelection(HANDLE process, HWND tree) {
  const auto item = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  if (!item) return {};
  constexpr std::size_t kTextChars = 512;
  RemoteBuffer remote(process, sizeof(TVITEMW) + kTextChars * sizeof(wchar_t));
  if (!remote.Valid()) return {};
  TVITEMW query{};
  query.mask = TVIF_TEXT;
  query.hItem = item;
  query.pszText = reinterpret_cast<wchar_t*>(static_cast<char*>(remote.Address()) + sizeof(TVITEMW));
  query.cchTextMax = kTextChars;
  remote.Write(&query, sizeof(query));
  if (!::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.Address()))) return {};
  std::wstring text(kTextChars, L'\0');
  remote.Read(text.data(), text.size() * sizeof(wchar_t), sizeof(TVITEMW));
  text.resize(std::wcslen(text.c_str()));
  return text;
}

// The text of a control of another process (GetWindowText would not ask it).
std::wstring ControlText(HWND control) {
  wchar_t text[1024] = {};
  DWORD_PTR copied = 0;
  ::SendMessageTimeoutW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 3000, &copied);
  return text;
}

// The File location column: always the last.
int LocationColumn(HWND list) {
  const HWND header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
  return header ? static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) - 1 : 3;
}

bool SelectRow(HANDLE process, HWND list, int row) {
  RemoteBuffer remote(process, sizeof(LVITEMW));
  if (!remote.Valid()) return false;
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  remote.Write(&item, sizeof(item));
  return ::SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(remote.Address())) != 0;
}

// Presses Yes (or OK) in every message box the program shows now; the texts of those answered.
std::vector<std::wstring> AnswerMessageBoxes(DWORD process_id) {
  std::vector<std::wstring> texts;
  for (HWND window : test::ProcessWindows(process_id)) {
    if (test::ClassName(window) != L"#32770" || !::IsWindowVisible(window)) continue;
    // The folder picker is a dialog of the same class: it is answered where it is used.
    if (FindChildOfClass(window, L"SysTreeView32")) continue;
    const std::wstring text = test::MessageBoxText(window);
    if (test::PressButton(window, IDYES) || test::PressButton(window, IDOK)) texts.push_back(text);
  }
  return texts;
}

// ---- resource figures

struct Figures {
  double minutes;
  double private_bytes;
  double handles;
  double gdi;
  double user;
};

Figures Measure(HANDLE process, double minutes) {
  Figures s{minutes, 0, 0, 0, 0};
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof(memory);
  if (::GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory))) {
    // Both are the commit charge; some systems fill only the older field.
    s.private_bytes = static_cast<double>(memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage);
  }
  DWORD handles = 0;
  if (::GetProcessHandleCount(process, &handles)) s.handles = handles;
  s.gdi = ::GetGuiResources(process, GR_GDIOBJECTS);
  s.user = ::GetGuiResources(process, GR_USEROBJECTS);
  return s;
}

// Least-squares slope per minute of the samples taken after the first minute; 0 with fewer than two.
double Slope(const std::vector<Figures>& samples, double Figures::*field) {
  double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (const Figures& s : samples) {
    if (s.minutes < 1.0) continue;
    n += 1;
    sx += s.minutes;
    sy += s.*field;
    sxx += s.minutes * s.minutes;
    sxy += s.minutes * (s.*field);
  }
  const double d = n * sxx - sx * sx;
  return n < 2 || d == 0 ? 0.0 : (n * sxy - sx * sy) / d;
}

// ---- the run

class Soak {
 public:
  Soak(double minutes, test::TempDir& work)
      : minutes_(minutes),
        work_(work),
        folders_{work.Join(L"RecordsA"), work.Join(L"RecordsB")} {}

  int Run();

 private:
  bool Alive() const { return program_ && program_->Running(); }
  double Elapsed() const { return static_cast<double>(::GetTickCount64() - start_) / 60000.0; }
  HWND MainWindow() const { return program_ ? FindWindowOfClass(program_->Id(), L"TFrmMain") : nullptr; }

  void Round(unsigned round);
  void PlaceCalls(const std::vector<std::wstring>& options, bool kill_midway);
  void KickDiscovery();
  void ShowMain();
  void RefreshAndDeleteStorm(unsigned round);
  void ChangeFolder();
  void TrayAbout();
  void ReadCommands(const std::wstring& log);
  bool WaitListed(HWND list, DWORD timeout_ms);
  void CheckListed();
  void TakeSample();
  void Close();

  double minutes_;
  test::TempDir& work_;
  std::wstring folders_[2];
  int folder_ = 0;
  std::unique_ptr<ChildProcess> program_;
  ULONGLONG start_ = 0;
  std::vector<Figures> samples_;
  unsigned call_id_ = 1000;
  unsigned client_runs_ = 0;
  std::set<std::wstring> commanded_;  // upper-cased paths of every recording command
  std::set<std::wstring> created_;    // paths as commanded, whose file the client made
  std::set<std::wstring> deleted_;    // upper-cased paths that Delete removed
  unsigned commands_ = 0;
  unsigned storms_ = 0;
  unsigned folder_changes_ = 0;
  unsigned tray_menus_ = 0;
};

int Soak::Run() {
  for (const std::wstring& folder : folders_) ::CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring program = work_.Join(L"Callwright.exe");
  const std::wstring client = work_.Join(L"callwright-clientsim.exe");
  if (!::CopyFileW(test::ExePath(L"Callwright.exe").c_str(), program.c_str(), FALSE) ||
      !::CopyFileW(test::ExePath(L"callwright-clientsim.exe").c_str(), client.c_str(), FALSE)) {
    Fail(L"the programs could not be copied");
    return 1;
  }
  // The notice about running in the background is not asked for; recordings go to the first folder.
  const std::wstring config = work_.Join(L"config.ini");
  ::WritePrivateProfileStringW(L"SYSTEM", L"info", L"1", config.c_str());
  ::WritePrivateProfileStringW(L"SYSTEM", L"path", folders_[0].c_str(), config.c_str());
  ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, config.c_str());

  program_ = std::make_unique<ChildProcess>(program, std::vector<std::wstring>{L"/hidden"}, work_.Path());
  start_ = ::GetTickCount64();
  PumpUntil([&] { return FindWindowOfClass(program_->Id(), L"TFrmMain") != nullptr; }, 15000);
  TakeSample();

  for (unsigned round = 0; Elapsed() < minutes_; ++round) {
    if (!Alive()) {
      Fail(L"the program ended in round " + std::to_wstring(round));
      break;
    }
    Round(round);
    TakeSample();
  }
  if (Alive()) {
    ShowMain();
    CheckListed();
    TakeSample();
    Close();
  }

  Say(L"rounds done in " + std::to_wstring(Elapsed()) + L" min: " + std::to_wstring(client_runs_) +
      L" client runs, " + std::to_wstring(commands_) + L" recording commands, " + std::to_wstring(created_.size()) +
      L" files, " + std::to_wstring(deleted_.size()) + L" deleted, " + std::to_wstring(storms_) +
      L" refresh/delete storms, " + std::to_wstring(folder_changes_) + L" folder changes, " +
      std::to_wstring(tray_menus_) + L" tray menus");
  if (!samples_.empty()) {
    const Figures& first = samples_.front();
    const Figures& last = samples_.back();
    std::fwprintf(stdout, L"%-14ls %14ls %14ls %16ls\n", L"figure", L"start", L"end", L"slope/min >1min");
    const struct {
      const wchar_t* name;
      double Figures::*field;
    } rows[] = {{L"private bytes", &Figures::private_bytes},
                {L"handles", &Figures::handles},
                {L"GDI objects", &Figures::gdi},
                {L"USER objects", &Figures::user}};
    for (const auto& row : rows) {
      // A count that stays 0 throughout is one the system does not report (Wine: handles, GDI, USER).
      const bool reported = std::any_of(samples_.begin(), samples_.end(), [&](const Figures& f) { return f.*row.field != 0; });
      if (!reported) {
        std::fwprintf(stdout, L"%-14ls %14ls %14ls %16ls\n", row.name, L"n/a", L"n/a", L"n/a");
        continue;
      }
      std::fwprintf(stdout, L"%-14ls %14.0f %14.0f %16.1f\n", row.name, first.*row.field, last.*row.field,
                    Slope(samples_, row.field));
    }
  }
  Say(g_failures == 0 ? L"soak: every check held" : L"soak: " + std::to_wstring(g_failures) + L" checks failed");
  return g_failures == 0 ? 0 : 1;
}

void Soak::Round(unsigned round) {
  const std::wstring hostile = L"x/..\\..\\evil:*?\"<>|" + std::wstring(300, L'z');
  switch (round % 4) {
    case 0:  // overlapping calls of different lengths
      PlaceCalls({L"--partner", L"anna.k", L"--call-ms", L"1500", L"--gap", L"100"}, false);
      break;
    case 1:  // the same partner many times a second
      PlaceCalls({L"--partner", L"bob", L"--call-ms", L"150", L"--gap", L"20"}, false);
      break;
    case 2:  // a long handle full of characters no file name may hold
      PlaceCalls({L"--partner", hostile, L"--call-ms", L"400", L"--gap", L"50"}, false);
      break;
    case 3:  // the client dies in the middle of its calls and the next round starts a new one
      PlaceCalls({L"--partner", L"carol", L"--call-ms", L"20000", L"--gap", L"50"}, true);
      break;
  }
  if (!Alive()) return;
  RefreshAndDeleteStorm(round);
  if (round % 3 == 2) ChangeFolder();
  if (round % 5 == 0) TrayAbout();
}

void Soak::PlaceCalls(const std::vector<std::wstring>& options, bool kill_midway) {
  const std::wstring log = work_.Join(L"client-" + std::to_wstring(client_runs_++) + L".log");
  std::vector<std::wstring> args = options;
  for (int i = 0; i < 5; ++i) {
    args.push_back(L"--call");
    args.push_back(std::to_wstring(++call_id_));
  }
  for (const wchar_t* option : {L"--log", log.c_str(), L"--delay", L"100", L"--timeout", L"60000"}) args.push_back(option);
  {
    ChildProcess client(work_.Join(L"callwright-clientsim.exe"), args, work_.Path());
    KickDiscovery();
    if (kill_midway) {
      // Killed once its first recording has started: the file it held stays behind, not BUSY.
      PumpUntil([&] { return ReadAll(log).find("SET_OUTPUT") != std::string::npos || !client.Running(); }, 20000);
      PumpFor(300);
      client.Terminate();
    } else if (!client.Wait(45000)) {
      Fail(L"a client did not end: " + log);
    }
  }
  ReadCommands(log);
}

// A rediscovery at every showing: the new client is linked at once instead of at the next timer.
void Soak::KickDiscovery() {
  if (HWND main = MainWindow(); main && ::IsWindowVisible(main)) ::PostMessageW(main, WM_CLOSE, 0, 0);
  PumpUntil([&] { HWND main = MainWindow(); return !main || !::IsWindowVisible(main); }, 3000);
  ShowMain();
}

void Soak::ShowMain() {
  static const UINT show_request = ::RegisterWindowMessageW(L"CALLWRIGHTAPP");
  ::PostMessageW(HWND_BROADCAST, show_request, 0, 0);
  PumpUntil([&] { HWND main = MainWindow(); return main && ::IsWindowVisible(main); }, 5000);
  AnswerMessageBoxes(program_->Id());
}

void Soak::ReadCommands(const std::wstring& log) {
  for (const std::string& line : Lines(ReadAll(log))) {
    const std::size_t at = line.find("SET_OUTPUT file=\"");
    if (at == std::string::npos) continue;
    const std::size_t begin = at + 17;
    const std::size_t end = line.rfind('"');
    if (end == std::string::npos || end <= begin) {
      Fail(L"a recording command without its closing quote");
      continue;
    }
    const std::string ansi = line.substr(begin, end - begin);
    std::wstring path(ansi.size(), L'\0');
    path.resize(static_cast<std::size_t>(
        ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), path.data(), static_cast<int>(path.size()))));
    ++commands_;
    if (!commanded_.insert(Upper(path)).second) Fail(L"a path commanded twice: " + path);
    const std::wstring parent = Upper(ParentOf(path));
    if (parent != Upper(folders_[0]) && parent != Upper(folders_[1])) Fail(L"a path outside the folders: " + path);
    if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) created_.insert(path);
  }
}

void Soak::RefreshAndDeleteStorm(unsigned round) {
  ShowMain();
  HWND main = MainWindow();
  HWND list = main ? FindChildOfClass(main, L"SysListView32") : nullptr;
  HWND refresh = main ? FindButton(main, L"Refresh") : nullptr;
  HWND remove = main ? FindButton(main, L"Delete") : nullptr;
  if (!list || !refresh || !remove) {
    Fail(L"the main window's list or buttons were not found");
    return;
  }
  ++storms_;
  for (int i = 0; i < 12; ++i) {
    ::PostMessageW(refresh, BM_CLICK, 0, 0);
    PumpFor(15);
  }
  if (round % 2 == 1) return;
  WaitListed(list, 5000);
  // The two newest rows of the round before go; a recording still held stays.
  const std::vector<std::wstring> paths = ListColumnTexts(program_->Handle(), list, LocationColumn(list));
  std::vector<std::wstring> chosen;
  for (int row = 0; row < static_cast<int>(paths.size()) && chosen.size() < 2; ++row) {
    if (paths[row].find(L"carol") != std::wstring::npos) continue;  // kept for the listing check
    if (SelectRow(program_->Handle(), list, row)) chosen.push_back(paths[row]);
  }
  if (chosen.empty()) return;
  // The button follows the selection at the window's next selection tick.
  PumpUntil([&] { return ::IsWindowEnabled(remove) != FALSE; }, 3000);
  ::PostMessageW(remove, BM_CLICK, 0, 0);
  // Yes to every question: where no Recycle Bin takes the files, a second one asks about deleting
  // them for good.
  PumpUntil([&] {
    AnswerMessageBoxes(program_->Id());
    return std::all_of(chosen.begin(), chosen.end(),
                       [](const std::wstring& p) { return ::GetFileAttributesW(p.c_str()) == INVALID_FILE_ATTRIBUTES; });
  }, 8000);
  PumpFor(300);
  AnswerMessageBoxes(program_->Id());
  ::PostMessageW(refresh, BM_CLICK, 0, 0);
  for (const std::wstring& path : chosen) {
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) deleted_.insert(Upper(path));
  }
}

void Soak::ChangeFolder() {
  AnswerMessageBoxes(program_->Id());
  HWND main = MainWindow();
  HWND settings_button = main ? FindButton(main, L"Settings") : nullptr;
  if (!settings_button) {
    Fail(L"the Settings button was not found");
    return;
  }
  ::PostMessageW(settings_button, BM_CLICK, 0, 0);
  HWND settings = nullptr;
  PumpUntil([&] {
    settings = FindWindowOfClass(program_->Id(), L"TFrmSettings");
    return settings && ::IsWindowVisible(settings);
  }, 5000);
  HWND group = settings ? FindChildOfClass(settings, L"Button", L"Record Destination", false) : nullptr;
  HWND edit = group ? FindChildOfClass(group, L"Edit") : nullptr;
  HWND browse = nullptr;
  if (group) {
    // The folder button is the group's one control besides the folder box.
    for (HWND child = ::GetWindow(group, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
      if (child != edit) browse = child;
    }
  }
  HWND ok = settings ? FindButton(settings, L"OK") : nullptr;
  if (!edit || !browse || !ok) {
    Fail(L"the settings window's folder box, folder button or OK was not found");
    return;
  }
  const int next = 1 - folder_;
  ::PostMessageW(browse, BM_CLICK, 0, 0);
  HWND picker = nullptr;
  PumpUntil([&] {
    for (HWND window : test::ProcessWindows(program_->Id())) {
      if (test::ClassName(window) == L"#32770" && ::IsWindowVisible(window) && FindChildOfClass(window, L"SysTreeView32")) {
        picker = window;
      }
    }
    return picker != nullptr;
  }, 10000);
  if (!picker) {
    Fail(L"the folder picker did not open");
    return;
  }
  const std::wstring& target = folders_[next];
  const std::wstring target_name = target.substr(target.find_last_of(L'\\') + 1);
  HWND tree = FindChildOfClass(picker, L"SysTreeView32");
  {
    // Right after the picker shows, its tree may not take a selection yet: asked until it does.
    RemoteBuffer remote(program_->Handle(), (target.size() + 1) * sizeof(wchar_t));
    remote.Write(target.c_str(), (target.size() + 1) * sizeof(wchar_t));
    PumpUntil([&] {
      ::SendMessageW(picker, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(remote.Address()));
      PumpFor(50);
      return TreeSelection(program_->Handle(), tree) == target_name;
    }, 5000);
  }
  if (TreeSelection(program_->Handle(), tree) != target_name) {
    ::PostMessageW(picker, WM_COMMAND, IDCANCEL, 0);
    Fail(L"the folder picker did not select " + target);
    return;
  }
  ::PostMessageW(picker, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(picker, IDOK)));
  const bool changed = PumpUntil([&] { return Upper(ControlText(edit)) == Upper(target); }, 5000);
  AnswerMessageBoxes(program_->Id());
  ::PostMessageW(ok, BM_CLICK, 0, 0);
  PumpUntil([&] { return !::IsWindowVisible(settings); }, 3000);
  if (!changed) {
    Fail(L"the folder picked in the settings was not taken: " + ControlText(edit));
    return;
  }
  folder_ = next;
  ++folder_changes_;
}

void Soak::TrayAbout() {
  // The icon's menu as a right-click on it opens it; About chosen by its access key, as a user
  // would (the other process's menu cannot be read from here).
  HWND application = FindWindowOfClass(program_->Id(), L"TApplication");
  if (!application) {
    Fail(L"the application window was not found");
    return;
  }
  ::PostMessageW(application, kNotifyIconMessage, MAKEWPARAM(200, 200), MAKELPARAM(WM_CONTEXTMENU, 1));
  if (!PumpUntil([&] { return test::FindPopupMenu(program_->Id()) != nullptr; }, 5000)) {
    Fail(L"the notification-area icon gave no menu");
    return;
  }
  test::PressKey('A');
  ++tray_menus_;
  HWND about = nullptr;
  PumpUntil([&] {
    about = FindWindowOfClass(program_->Id(), L"TFrmAbout");
    return about && ::IsWindowVisible(about);
  }, 3000);
  if (!about) Fail(L"About did not open from the notification-area menu");
  PumpFor(300);
  if (about) ::PostMessageW(about, WM_CLOSE, 0, 0);
  test::PressKey(VK_ESCAPE);  // a menu left open
}

// The listing is in once the row count holds still for a while.
bool Soak::WaitListed(HWND list, DWORD timeout_ms) {
  LRESULT last = -1;
  ULONGLONG since = ::GetTickCount64();
  return PumpUntil([&] {
    const LRESULT count = ::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
    if (count != last) {
      last = count;
      since = ::GetTickCount64();
    }
    return ::GetTickCount64() - since > 700;
  }, timeout_ms);
}

void Soak::CheckListed() {
  HWND main = MainWindow();
  HWND list = main ? FindChildOfClass(main, L"SysListView32") : nullptr;
  HWND refresh = main ? FindButton(main, L"Refresh") : nullptr;
  if (!list || !refresh) {
    Fail(L"the main window's list was not found for the last check");
    return;
  }
  ::PostMessageW(refresh, BM_CLICK, 0, 0);
  PumpFor(200);
  WaitListed(list, 15000);
  std::set<std::wstring> listed;
  for (const std::wstring& path : ListColumnTexts(program_->Handle(), list, LocationColumn(list))) listed.insert(Upper(path));
  unsigned expected = 0;
  const std::wstring folder = Upper(folders_[folder_]);
  for (const std::wstring& path : created_) {
    if (Upper(ParentOf(path)) != folder || deleted_.contains(Upper(path))) continue;
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) continue;  // converted or removed since
    ++expected;
    if (!listed.contains(Upper(path))) Fail(L"a recording the client made is not listed: " + path);
  }
  Say(L"listing check: " + std::to_wstring(expected) + L" recordings of the current folder, " +
      std::to_wstring(listed.size()) + L" rows");
}

void Soak::TakeSample() {
  if (!Alive()) return;
  samples_.push_back(Measure(program_->Handle(), Elapsed()));
}

void Soak::Close() {
  HWND main = MainWindow();
  HWND close = main ? FindButton(main, L"Close") : nullptr;
  if (!close) {
    Fail(L"the Close button was not found");
    return;
  }
  ::PostMessageW(close, BM_CLICK, 0, 0);
  PumpUntil([&] { return !AnswerMessageBoxes(program_->Id()).empty() || !program_->Running(); }, 5000);
  if (!program_->Wait(10000)) {
    Fail(L"the program did not end on Close");
  } else if (program_->ExitCode().value_or(1) != 0) {
    Fail(L"the program ended with exit code " + std::to_wstring(program_->ExitCode().value_or(1)));
  }
}

}  // namespace
}  // namespace callwright

int wmain(int argc, wchar_t** argv) {
  double minutes = 1.0;
  if (argc >= 2) minutes = std::wcstod(argv[1], nullptr);
  if (!(minutes > 0)) {
    std::fputws(L"usage: soak [minutes]\n", stderr);
    return 2;
  }
  try {
    callwright::test::TempDir work(L"callwright-soak");
    callwright::Soak soak(minutes, work);
    return soak.Run();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "soak: %s\n", error.what());
    return 1;
  }
}
