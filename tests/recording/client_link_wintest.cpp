#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/catalogue.h"
#include "core/catalogue_win.h"
#include "core/destination_folder.h"
#include "core/timestamp.h"
#include "recording/call_state.h"
#include "recording/client_link_win.h"
#include "recording/notification.h"
#include "support/client_win.h"
#include "support/files_win.h"
#include "support/gui_win.h"
#include "support/hook_window_win.h"
#include "support/process_win.h"
#include "support/temp_dir_win.h"

namespace callwright {
namespace {

using test::ChildProcess;
using test::HookWindow;
using test::LinkToClient;
using test::PumpFor;
using test::PumpUntil;
using test::RepeatingTick;
using test::TempDir;

constexpr wchar_t kRefusalCaption[] = L"Access forbidden";
constexpr wchar_t kRefusalText[] =
    L"You just disallowed access to Skype. We were not able to start the application.";

std::wstring ClientSim() { return test::ExePath(L"callwright-clientsim.exe"); }

std::vector<std::string> ReadLines(const std::wstring& path) {
  std::vector<std::string> lines;
  const std::string bytes = test::ReadBytes(path).value_or("");
  std::size_t from = 0;
  for (std::size_t end; (end = bytes.find('\n', from)) != std::string::npos; from = end + 1) {
    lines.push_back(bytes.substr(from, end - from));
  }
  return lines;
}

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  FindHandle find(::FindFirstFileW((folder + L"\\*").c_str(), &data));
  if (!find) return names;
  do {
    // Hidden: the folder check's own probe file, there for a moment at each call.
    if (!(data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN))) names.emplace_back(data.cFileName);
  } while (::FindNextFileW(find.Get(), &data));
  return names;
}

std::uint32_t Le32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// A copy-data text to the link's window, as if from `from`.
LRESULT SendText(const HookWindow& window, HWND from, const void* data, DWORD size) {
  COPYDATASTRUCT record{0, size, const_cast<void*>(data)};
  return ::SendMessageW(window.Handle(), WM_COPYDATA, reinterpret_cast<WPARAM>(from), reinterpret_cast<LPARAM>(&record));
}

LRESULT SendText(const HookWindow& window, HWND from, const std::string& text) {
  return SendText(window, from, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

std::string Hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (const char c : bytes) {
    hex += kDigits[static_cast<unsigned char>(c) >> 4];
    hex += kDigits[static_cast<unsigned char>(c) & 15];
  }
  return hex;
}

// Sortable form of a DDMMYYYY_hhmmss timestamp.
std::wstring SortKey(const std::wstring& stamp) {
  return stamp.substr(4, 4) + stamp.substr(2, 2) + stamp.substr(0, 2) + stamp.substr(9, 6);
}

std::wstring TimestampNow() {
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  return FormatTimestamp({st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond});
}

TEST(ClientLink, RecordsACallIntoTheDestinationFolder) {
  HookWindow window;
  TempDir dir;
  const std::wstring records = dir.Join(L"Records");
  ASSERT_TRUE(::CreateDirectoryW(records.c_str(), nullptr));
  SetDestinationFolder(records);
  const std::wstring log = dir.Join(L"commands.txt");
  const std::wstring answers = dir.Join(L"answers.txt");
  ChildProcess sim(ClientSim(), {L"--partner", L"live:jane", L"--call", L"1234", L"--call-ms", L"1500", L"--log",
                                 log, L"--answers", answers, L"--timeout", L"20000"});
  ClientLink link(window);
  const std::wstring before = TimestampNow();
  ASSERT_TRUE(LinkToClient(link));

  // While the call lasts the file is held for writing, so a reader that will not share writing is
  // turned away.
  std::vector<std::wstring> files;
  ASSERT_TRUE(PumpUntil([&] { return !(files = FilesIn(records)).empty(); }, 10000));
  {
    FileHandle reader(::CreateFileW((records + L"\\" + files[0]).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_FALSE(reader);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  }
  ASSERT_TRUE(sim.Wait(15000));
  const std::wstring after = TimestampNow();
  EXPECT_EQ(sim.ExitCode(), 0u);

  files = FilesIn(records);
  ASSERT_EQ(files.size(), 1u);
  const std::wstring& name = files[0];
  // DDMMYYYY_hhmmss_ then the handle with the colon that file names cannot hold replaced.
  ASSERT_EQ(name.size(), 16 + std::wstring(L"live_jane.wav").size()) << name;
  EXPECT_EQ(name.substr(15), L"_live_jane.wav");
  const std::wstring stamp = name.substr(0, 15);
  EXPECT_LE(SortKey(before), SortKey(stamp));
  EXPECT_LE(SortKey(stamp), SortKey(after));

  const std::string path = SystemPlatform().EncodeAnsi(records + L"\\" + name);
  const std::vector<std::string> expected_log = {"GET CALL 1234 PARTNER_HANDLE",
                                                 "ALTER CALL 1234 SET_OUTPUT file=\"" + path + "\""};
  EXPECT_EQ(ReadLines(log), expected_log);
  // The in-progress notification, the partner handle and the call's end were all taken.
  EXPECT_EQ(ReadLines(answers), (std::vector<std::string>{"1", "1", "1"}));

  const std::string wav = test::ReadBytes(records + L"\\" + name).value_or("");
  ASSERT_GE(wav.size(), 44u);
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(Le32(wav, 4), wav.size() - 8);
  EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(Le32(wav, 16), 16u);
  EXPECT_EQ(wav.substr(36, 4), "data");
  EXPECT_EQ(Le32(wav, 40), wav.size() - 44);
  EXPECT_GT(wav.size(), 44u + 8000);  // about 1.5 s of 8 kHz 16-bit samples
  SetDestinationFolder(L"");
}

// Watches this process's refusal boxes from inside their modal loops.
struct RefusalBoxes {
  int shown = 0;
  std::size_t most_open = 0;
  bool open = false;
  std::wstring text;
  bool ok_button = false;
  bool cancel_button = false;
  HWND owner = nullptr;
  std::function<void()> on_show = [] {};
  std::function<bool()> close_when = [] { return true; };

  void Tick() {
    const std::vector<HWND> boxes = test::FindMessageBoxes(::GetCurrentProcessId(), kRefusalCaption);
    most_open = std::max(most_open, boxes.size());
    if (boxes.empty()) {
      open = false;
      return;
    }
    if (!open) {
      open = true;
      ++shown;
      text = test::MessageBoxText(boxes[0]);
      ok_button = test::HasButton(boxes[0], IDOK);
      cancel_button = test::HasButton(boxes[0], IDCANCEL);
      owner = ::GetWindow(boxes[0], GW_OWNER);
      on_show();
    }
    if (close_when()) {
      for (HWND box : boxes) test::PressButton(box, IDOK);
    }
  }
};

// Sees the application window's messages before the link does, and passes them on.
class WatchHook {
 public:
  WatchHook(HookWindow& window, std::function<void(const HookMessage&)> watch)
      : window_(window), id_(window.AddMessageHook([watch = std::move(watch)](HookMessage& message) {
          watch(message);
          return false;
        })) {}
  ~WatchHook() { window_.RemoveMessageHook(id_); }
  WatchHook(const WatchHook&) = delete;
  WatchHook& operator=(const WatchHook&) = delete;

 private:
  HookWindow& window_;
  int id_;
};

TEST(ClientLink, ReportsARefusalOnceUntilForbiddenIsCleared) {
  HookWindow window;
  ChildProcess sim(ClientSim(), {L"--status", L"2", L"--timeout", L"30000"});
  // Installed before the link's hook (the first discovery installs that one).
  const UINT attach = ::RegisterWindowMessageW(L"SkypeControlAPIAttach");
  int refusals = 0;
  HWND refusing = nullptr;
  WatchHook watch(window, [&](const HookMessage& message) {
    if (message.msg == attach && message.lparam == 2) {
      ++refusals;
      refusing = reinterpret_cast<HWND>(message.wparam);
    }
  });
  ClientLink link(window);
  RefusalBoxes boxes;
  RepeatingTick watch_boxes(30, [&] { boxes.Tick(); });

  // First refusal: while its box is open, a rediscovery brings a second refusal, which the box's
  // own message loop handles without opening another box.
  int refusals_at_show = 0;
  boxes.on_show = [&] {
    refusals_at_show = refusals;
    link.DiscoverClient();
  };
  boxes.close_when = [&] { return refusals_at_show != 0 && refusals > refusals_at_show; };
  ULONGLONG last = 0;
  ASSERT_TRUE(PumpUntil(
      [&] {
        if (!link.forbidden && ::GetTickCount64() - last >= 400) {
          last = ::GetTickCount64();
          link.DiscoverClient();
        }
        return boxes.shown == 1 && !boxes.open;
      },
      20000));
  EXPECT_EQ(boxes.most_open, 1u);
  EXPECT_EQ(boxes.text, kRefusalText);
  EXPECT_TRUE(boxes.ok_button);
  EXPECT_FALSE(boxes.cancel_button);
  EXPECT_EQ(boxes.owner, window.Handle());
  EXPECT_TRUE(link.forbidden);
  // A refusing client is not linked: its texts are turned away.
  EXPECT_EQ(link.SkypeWindowHandle, nullptr);
  ASSERT_NE(refusing, nullptr);
  EXPECT_EQ(SendText(window, refusing, "CALL 1 STATUS INPROGRESS"), 0);

  // Still forbidden: a new refusal shows no box.
  boxes.on_show = [] {};
  boxes.close_when = [] { return true; };
  const int before = refusals;
  link.DiscoverClient();
  ASSERT_TRUE(PumpUntil([&] { return refusals > before; }, 10000));
  PumpFor(300);
  EXPECT_EQ(link.SkypeWindowHandle, nullptr);
  EXPECT_EQ(boxes.shown, 1);

  // Cleared, as showing the main window does: the next refusal is reported again.
  link.forbidden = false;
  link.DiscoverClient();
  ASSERT_TRUE(PumpUntil([&] { return boxes.shown == 2 && !boxes.open; }, 10000));
  EXPECT_EQ(boxes.most_open, 1u);
  EXPECT_TRUE(link.forbidden);
}

TEST(ClientLink, AcceptsTextsOnlyFromTheLinkedClientAndSendsOnlyWhileLinked) {
  HookWindow window;
  TempDir dir;
  const std::wstring log = dir.Join(L"commands.txt");
  const std::wstring answers = dir.Join(L"answers.txt");
  // The client's own notification without a NUL: read within its cbData bytes.
  ChildProcess sim(ClientSim(), {L"--no-answers", L"--notify-hex", std::wstring(L"") + [] {
                                   const std::string hex = Hex("CALL 7 STATUS INPROGRESS");
                                   return std::wstring(hex.begin(), hex.end());
                                 }(),
                                 L"--notify-hex", L"", L"--linger", L"60000", L"--timeout", L"30000", L"--log", log,
                                 L"--answers", answers});
  ClientLink link(window);
  ASSERT_TRUE(LinkToClient(link));
  const HWND client = link.SkypeWindowHandle;
  ASSERT_TRUE(PumpUntil([&] { return ReadLines(answers).size() == 2; }, 10000));
  EXPECT_EQ(ReadLines(answers), (std::vector<std::string>{"1", "1"}));

  // From any other window: answered 0 and handled by nobody.
  WindowHandle other(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr));
  ASSERT_TRUE(other);
  EXPECT_EQ(SendText(window, other.Get(), "CALL 1 STATUS INPROGRESS"), 0);
  EXPECT_EQ(SendText(window, nullptr, "CALL 1 STATUS INPROGRESS"), 0);
  // From the linked client: answered 1 and handled.
  EXPECT_EQ(SendText(window, client, "CALL 2 STATUS INPROGRESS"), 1);

  // No NUL, and the bytes end where the memory does: reading one byte further would fault.
  {
    SYSTEM_INFO info;
    ::GetSystemInfo(&info);
    const DWORD page = info.dwPageSize;
    auto* pages = static_cast<char*>(::VirtualAlloc(nullptr, 2 * page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(pages, nullptr);
    DWORD old = 0;
    ASSERT_TRUE(::VirtualProtect(pages + page, page, PAGE_NOACCESS, &old));
    const std::string text = "CALL 3 STATUS INPROGRESS";
    char* at = pages + page - text.size();
    std::memcpy(at, text.data(), text.size());
    EXPECT_EQ(SendText(window, client, at, static_cast<DWORD>(text.size())), 1);
    // Only the first bytes count when cbData says so.
    EXPECT_EQ(SendText(window, client, at, 6), 1);  // "CALL 3": neither shape
    ::VirtualFree(pages, 0, MEM_RELEASE);
  }
  // No data at all: taken from the client, but nothing to handle.
  EXPECT_EQ(SendText(window, client, nullptr, 0), 1);
  EXPECT_EQ(SendText(window, client, nullptr, 25), 1);
  EXPECT_EQ(SendText(window, client, "x", 0), 1);

  // A command whose call id makes it longer than a command may be is dropped whole.
  EXPECT_EQ(SendText(window, client, "CALL " + std::string(kMaxCommandLength, '9') + " STATUS INPROGRESS"), 1);
  link.SendCommand(std::string(kMaxCommandLength + 1, 'A'));
  link.SendCommand(std::string(kMaxCommandLength, 'B'));  // the longest one goes whole

  // After a rediscovery and until the reply the link stays: texts are accepted and commands sent.
  link.DiscoverClient();
  EXPECT_EQ(link.SkypeWindowHandle, client);
  EXPECT_EQ(SendText(window, client, "CALL 4 STATUS INPROGRESS"), 1);
  EXPECT_EQ(SendText(window, nullptr, "CALL 4 STATUS INPROGRESS"), 0);
  link.SendCommand("GET CALL 5 PARTNER_HANDLE");
  PumpFor(300);  // the reply
  EXPECT_EQ(link.SkypeWindowHandle, client);
  link.SendCommand("GET CALL 6 PARTNER_HANDLE");

  ::PostMessageW(client, WM_CLOSE, 0, 0);
  ASSERT_TRUE(sim.Wait(10000));
  EXPECT_EQ(sim.ExitCode(), 0u);
  const std::vector<std::string> expected = {"GET CALL 7 PARTNER_HANDLE", "GET CALL 2 PARTNER_HANDLE",
                                             "GET CALL 3 PARTNER_HANDLE", std::string(kMaxCommandLength, 'B'),
                                             "GET CALL 4 PARTNER_HANDLE", "GET CALL 5 PARTNER_HANDLE",
                                             "GET CALL 6 PARTNER_HANDLE"};
  EXPECT_EQ(ReadLines(log), expected);

  // The client's window is gone: a command drops the link, and so does a discovery.
  ASSERT_FALSE(::IsWindow(client));
  link.SendCommand("GET CALL 8 PARTNER_HANDLE");
  EXPECT_EQ(link.SkypeWindowHandle, nullptr);
  link.SkypeWindowHandle = client;
  link.DiscoverClient();
  EXPECT_EQ(link.SkypeWindowHandle, nullptr);
}

TEST(ClientLink, KeepsTheLinkWhileRediscovering) {
  HookWindow window;
  TempDir dir;
  const std::wstring answers = dir.Join(L"answers.txt");
  constexpr int kNotifications = 20000;
  ChildProcess sim(ClientSim(), {L"--flood", std::to_wstring(kNotifications), L"--flood-status", L"RINGING",
                                 L"--no-answers", L"--answers", answers, L"--timeout", L"120000"});
  const UINT attach = ::RegisterWindowMessageW(L"SkypeControlAPIAttach");
  int replies = 0;
  int notifications = 0;
  int replies_during = -1;
  WatchHook watch(window, [&](const HookMessage& message) {
    if (message.msg == attach) ++replies;
    if (message.msg == WM_COPYDATA && ++notifications == 1) replies_during = replies;
  });
  ClientLink link(window);
  ASSERT_TRUE(LinkToClient(link));
  // A rediscovery every few milliseconds while the client keeps sending.
  ULONGLONG last = 0;
  ASSERT_TRUE(PumpUntil(
      [&] {
        if (::GetTickCount64() - last >= 5) {
          last = ::GetTickCount64();
          link.DiscoverClient();
        }
        return !sim.Running();
      },
      120000));
  EXPECT_EQ(sim.ExitCode(), 0u);
  replies_during = replies - replies_during;
  EXPECT_GE(replies_during, 5) << "too few rediscoveries during the notifications to show anything";
  const std::vector<std::string> answered = ReadLines(answers);
  EXPECT_EQ(answered.size(), static_cast<std::size_t>(kNotifications));
  EXPECT_EQ(std::count(answered.begin(), answered.end(), "1"), kNotifications) << replies_during << " rediscoveries";
}

// The destination folder, holding files of another program named as a recording with partner
// "kept.p" would be in each of the coming seconds; the destination is set back when it goes.
struct ForeignKeptFolder {
  ForeignKeptFolder() {
    EXPECT_TRUE(::CreateDirectoryW(records.c_str(), nullptr));
    SetDestinationFolder(records);
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    FILETIME at;
    ::SystemTimeToFileTime(&now, &at);
    for (int second = -2; second < 60; ++second) {
      ULARGE_INTEGER ticks{{at.dwLowDateTime, at.dwHighDateTime}};
      ticks.QuadPart += static_cast<ULONGLONG>(second) * 10000000;
      const FILETIME then{ticks.LowPart, ticks.HighPart};
      SYSTEMTIME st;
      ::FileTimeToSystemTime(&then, &st);
      const std::wstring name =
          FormatTimestamp({st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond}) + L"_kept.p.wav";
      FileHandle file(::CreateFileW((records + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!file) {
        ADD_FAILURE() << "cannot make a foreign file";
        continue;
      }
      DWORD written = 0;
      ::WriteFile(file.Get(), "keep", 4, &written, nullptr);
      foreign.insert(name);
    }
  }
  ~ForeignKeptFolder() { SetDestinationFolder(L""); }

  // The recordings made, the other program's files checked untouched.
  std::vector<RecordingRow> Recordings() const {
    std::vector<RecordingRow> made;
    for (RecordingRow& row : ListRecordings(records)) {
      const std::wstring name = row.FileLocation.substr(records.size() + 1);
      if (foreign.contains(name)) {
        EXPECT_TRUE(test::ReadBytes(row.FileLocation) == "keep") << "overwritten: " << name;
      } else {
        made.push_back(std::move(row));
      }
    }
    return made;
  }

  TempDir dir;
  const std::wstring records = dir.Join(L"Records");
  std::set<std::wstring> foreign;
};

TEST(ClientLink, TwoCallsNeverShareAFile) {
  HookWindow window;
  // Files of another program with the names "kept.p" would get: they are left alone.
  const ForeignKeptFolder folder;

  // Twelve calls with one partner back to back, the first one's recording command answered with
  // three more calls nested inside its handling (before the client opens any file), then one call
  // with the partner whose names are taken by the files above.
  const std::wstring log = folder.dir.Join(L"commands.txt");
  std::vector<std::wstring> args = {L"--log", log, L"--call-ms", L"200", L"--gap", L"1", L"--timeout", L"60000"};
  for (int call = 1; call <= 12; ++call) {
    args.insert(args.end(), {L"--notify", L"CALL " + std::to_wstring(call) + L" PARTNER_HANDLE same.p"});
  }
  for (int call = 20; call <= 22; ++call) {
    args.insert(args.end(), {L"--nested-notify", L"CALL " + std::to_wstring(call) + L" PARTNER_HANDLE same.p"});
  }
  args.insert(args.end(), {L"--notify", L"CALL 30 PARTNER_HANDLE kept.p"});
  ChildProcess sim(ClientSim(), args);
  ClientLink link(window);
  // As every showing of the main window does: the folder's names are known before the calls.
  link.PrepareFolder(false);
  ASSERT_TRUE(PumpUntil([&] { return link.Watch() && link.Watch()->Listed(); }, 10000));
  ASSERT_TRUE(LinkToClient(link));
  ASSERT_TRUE(sim.Wait(30000));
  EXPECT_EQ(sim.ExitCode(), 0u) << "a recording file could not be written";

  std::set<std::string> paths;
  for (const std::string& line : ReadLines(log)) paths.insert(line.substr(line.find('"')));
  EXPECT_EQ(paths.size(), 16u) << "a path was given twice";
  std::map<std::wstring, int> partners;
  for (const RecordingRow& row : folder.Recordings()) {
    EXPECT_GT(test::ReadBytes(row.FileLocation).value_or("").size(), 44u) << row.FileLocation;
    ++partners[row.Partner];
  }
  int recordings = 0;
  for (const auto& [partner, count] : partners) {
    EXPECT_TRUE(partner.starts_with(L"same.p") || partner == L"kept.p (2)") << partner;
    recordings += count;
  }
  EXPECT_EQ(recordings, 16);
  // Numbered within each second: "same.p" and "same.p (2)" at least.
  EXPECT_TRUE(partners.contains(L"same.p"));
  EXPECT_TRUE(partners.contains(L"same.p (2)"));
  EXPECT_EQ(partners.count(L"kept.p (2)"), 1u);
}

// Before the folder's names are listed (here: before the folder is even prepared), a name that is
// taken on the disk is still never given to the client.
TEST(ClientLink, BeforeTheFolderIsListedTheDiskIsAsked) {
  HookWindow window;
  const ForeignKeptFolder folder;
  const std::wstring log = folder.dir.Join(L"commands.txt");
  ChildProcess sim(ClientSim(), {L"--partner", L"kept.p", L"--call", L"1", L"--call-ms", L"200", L"--log", log,
                                 L"--timeout", L"20000"});
  ClientLink link(window);
  ASSERT_TRUE(LinkToClient(link));
  ASSERT_TRUE(sim.Wait(15000));
  const std::vector<RecordingRow> made = folder.Recordings();
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(made[0].Partner, L"kept.p (2)");
}

TEST(ClientLink, ShortensLongHandlesToNamesTheClientCanCreate) {
  HookWindow window;
  TempDir dir;
  const std::wstring handle(300, L'h');
  // The name's 255 units bind in a short folder, the client's 259-byte paths in a long one.
  const std::wstring folders[] = {dir.Path(), dir.Join(std::wstring(200 - dir.Path().size(), L'f'))};
  for (const std::wstring& folder : folders) {
    ASSERT_TRUE(folder == dir.Path() || ::CreateDirectoryW(folder.c_str(), nullptr));
    SetDestinationFolder(folder);
    const std::wstring log = dir.Join(L"commands.txt");
    ChildProcess sim(ClientSim(), {L"--partner", handle, L"--call", L"1", L"--call-ms", L"200", L"--log", log,
                                   L"--timeout", L"20000"});
    ClientLink link(window);
    ASSERT_TRUE(LinkToClient(link));
    ASSERT_TRUE(sim.Wait(15000));
    EXPECT_EQ(sim.ExitCode(), 0u) << "the recording file could not be written";
    const std::size_t kept = std::min<std::size_t>(255 - 20, 259 - (folder.size() + 1) - 20);
    const std::vector<RecordingRow> rows = ListRecordings(folder);
    ASSERT_EQ(rows.size(), 1u) << folder.size();
    EXPECT_EQ(rows[0].Partner, handle.substr(0, kept));
    const std::wstring name = rows[0].FileLocation.substr(folder.size() + 1);
    EXPECT_LE(name.size(), 255u);
    EXPECT_LE(rows[0].FileLocation.size(), 259u);
    EXPECT_EQ(name.size(), 20 + kept);
  }
  SetDestinationFolder(L"");
}

TEST(ClientLink, AHungClientDoesNotFreezeTheWindow) {
  HookWindow window;
  // The client hangs in its handler for much longer than the program waits.
  ChildProcess sim(ClientSim(), {L"--hang", L"40000", L"--no-answers", L"--timeout", L"90000"});
  ClientLink link(window);
  ASSERT_TRUE(LinkToClient(link));
  const UINT ping = ::RegisterWindowMessageW(L"CallwrightTestPing");
  ULONGLONG handled_at = 0;
  WatchHook watch(window, [&](const HookMessage& message) {
    if (message.msg == ping) handled_at = ::GetTickCount64();
  });
  const ULONGLONG start = ::GetTickCount64();
  ASSERT_TRUE(::PostMessageW(window.Handle(), ping, 0, 0));
  link.SendCommand("GET CALL 1 PARTNER_HANDLE");
  ASSERT_TRUE(PumpUntil([&] { return handled_at != 0; }, 30000));
  EXPECT_LT(handled_at - start, 20000u) << "the posted message waited for the hung client";
  EXPECT_GE(handled_at - start, 4000u) << "the command was not waited for at all";
  // Hung, not gone: still linked.
  EXPECT_NE(link.SkypeWindowHandle, nullptr);
  EXPECT_TRUE(sim.Running());
}

TEST(ClientLink, HandlesTheClientsRepliesSentWhileItHandlesACommand) {
  HookWindow window;
  TempDir dir;
  SetDestinationFolder(dir.Path());
  const std::wstring log = dir.Join(L"commands.txt");
  ChildProcess sim(ClientSim(), {L"--nested-answers", L"--partner", L"nested.p", L"--call-ms", L"200", L"--log", log,
                                 L"--linger", L"60000", L"--timeout", L"30000"});
  bool in_send = false;
  int replies_in_send = 0;
  WatchHook watch(window, [&](const HookMessage& message) {
    if (message.msg == WM_COPYDATA && in_send) ++replies_in_send;
  });
  ClientLink link(window);
  ASSERT_TRUE(LinkToClient(link));
  in_send = true;
  link.SendCommand("GET CALL 5 PARTNER_HANDLE");
  in_send = false;
  EXPECT_EQ(replies_in_send, 1);
  const std::vector<std::string> lines = ReadLines(log);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "GET CALL 5 PARTNER_HANDLE");
  EXPECT_TRUE(lines[1].starts_with("ALTER CALL 5 SET_OUTPUT file=")) << lines[1];
  EXPECT_TRUE(lines[1].ends_with("_nested.p.wav\"")) << lines[1];
  ::PostMessageW(link.SkypeWindowHandle, WM_CLOSE, 0, 0);
  ASSERT_TRUE(sim.Wait(10000));
  EXPECT_EQ(sim.ExitCode(), 0u);
  EXPECT_EQ(FilesIn(dir.Path()).size(), 2u);  // the log and the recording
  SetDestinationFolder(L"");
}

// What the link tells its observer, in order, with the state the notification-area icon keeps.
class RecordingObserver final : public ClientLinkObserver {
 public:
  void LinkChanged(HWND client) override {
    events.push_back(client == nullptr ? "unlinked" : client == expected_client ? "linked" : "linked elsewhere");
    state.LinkChanged(reinterpret_cast<std::uintptr_t>(client));
  }
  void NotificationRead(std::string_view text, const CallDecision& decision) override {
    events.push_back("notification " + std::string(text));
    if (decision.kind == CallDecision::Kind::Recording) events.push_back("recording " + std::string(text));
    state.Decided(decision);
  }

  HWND expected_client = nullptr;
  std::vector<std::string> events;
  CallState state{SystemPlatform()};
};

TEST(ClientLink, TellsItsObserverOfARecordingBeforeItsCommandGoesOut) {
  HookWindow window;
  TempDir dir;
  SetDestinationFolder(dir.Path());
  const std::wstring log = dir.Join(L"commands.txt");
  // The call's end comes from inside the handling of its recording command, before the send
  // returns, and never again afterwards.
  ChildProcess sim(ClientSim(), {L"--call", L"1", L"--partner", L"anna.k", L"--call-ms", L"300", L"--end-status", L"",
                                 L"--nested-notify", L"CALL 9 STATUS RINGING", L"--nested-notify",
                                 L"CALL 1 STATUS FINISHED", L"--log", log, L"--linger", L"60000", L"--timeout",
                                 L"30000"});
  ClientLink link(window);
  RecordingObserver observer;
  link.SetObserver(&observer);
  ASSERT_TRUE(LinkToClient(link));
  observer.expected_client = link.SkypeWindowHandle;
  // Rediscoveries all through the call, each answered by the same client: no change of link.
  ULONGLONG last = 0;
  ASSERT_TRUE(PumpUntil(
      [&] {
        if (::GetTickCount64() - last >= 50) {
          last = ::GetTickCount64();
          link.DiscoverClient();
        }
        return ReadLines(log).size() == 2 && FilesIn(dir.Path()).size() == 2;
      },
      15000));
  PumpFor(500);
  EXPECT_EQ(observer.state.Display(), LinkDisplay::Linked) << "the call's end was taken for the time before it began";
  ::PostMessageW(link.SkypeWindowHandle, WM_CLOSE, 0, 0);
  ASSERT_TRUE(sim.Wait(10000));
  EXPECT_EQ(sim.ExitCode(), 0u);
  link.DiscoverClient();  // finds the client's window gone
  const std::vector<std::string> expected = {
      "linked elsewhere",  // told before the test knew the window
      "notification CALL 1 STATUS INPROGRESS",
      "notification CALL 9 STATUS RINGING",  // inside the request for the partner handle
      "notification CALL 1 PARTNER_HANDLE anna.k",
      "recording CALL 1 PARTNER_HANDLE anna.k",
      "notification CALL 1 STATUS FINISHED",  // inside the recording command
      "unlinked",
  };
  EXPECT_EQ(observer.events, expected);
  EXPECT_EQ(observer.state.Display(), LinkDisplay::Waiting);
  link.SetObserver(nullptr);
  SetDestinationFolder(L"");
}

TEST(ClientLink, TellsItsObserverOnlyOfChangesOfTheLinkedWindow) {
  HookWindow window;
  TempDir dir;
  SetDestinationFolder(dir.Path());
  auto make_window = [] {
    return WindowHandle(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr));
  };
  WindowHandle first = make_window();
  WindowHandle second = make_window();
  ASSERT_TRUE(first && second);
  ClientLink link(window);
  link.forbidden = true;  // refusals without their box
  link.DiscoverClient();
  const HWND app = window.Handle();
  auto reply = [&](HWND from, LPARAM status) {
    ::SendMessageW(app, link.MsgAttach, reinterpret_cast<WPARAM>(from), status);
  };
  reply(first.Get(), 0);
  // A new observer learns of the link there already is.
  RecordingObserver observer;
  observer.expected_client = first.Get();
  link.SetObserver(&observer);
  ASSERT_EQ(observer.events, std::vector<std::string>{"linked"});
  EXPECT_EQ(SendText(window, first.Get(), "CALL 3 PARTNER_HANDLE bob"), 1);
  EXPECT_EQ(observer.state.Tooltip(), L"Callwright \u2013 recording bob");

  // Discoveries that go unanswered, and the same client answering again, leave the link and the
  // recording as they are: its window is still there and its notifications are still taken.
  for (int i = 0; i < 3; ++i) link.DiscoverClient();
  PumpFor(100);
  reply(first.Get(), 0);
  EXPECT_EQ(link.SkypeWindowHandle, first.Get());
  EXPECT_EQ(observer.state.Display(), LinkDisplay::Recording);

  // Another client, then a refusal.
  reply(second.Get(), 0);
  EXPECT_EQ(observer.state.Display(), LinkDisplay::Linked);
  reply(second.Get(), 2);
  EXPECT_EQ(link.SkypeWindowHandle, nullptr);
  EXPECT_EQ(observer.state.Display(), LinkDisplay::Waiting);
  reply(second.Get(), 2);  // still unlinked: nothing to tell

  // The linked window found gone by a command.
  reply(first.Get(), 0);
  EXPECT_EQ(SendText(window, first.Get(), "CALL 4 PARTNER_HANDLE eve"), 1);
  EXPECT_EQ(observer.state.Display(), LinkDisplay::Recording);
  first.Reset();
  link.SendCommand("GET CALL 4 PARTNER_HANDLE");
  EXPECT_EQ(observer.state.Display(), LinkDisplay::Waiting);

  const std::vector<std::string> expected = {"linked",
                                             "notification CALL 3 PARTNER_HANDLE bob",
                                             "recording CALL 3 PARTNER_HANDLE bob",
                                             "linked elsewhere",
                                             "unlinked",
                                             "linked",
                                             "notification CALL 4 PARTNER_HANDLE eve",
                                             "recording CALL 4 PARTNER_HANDLE eve",
                                             "unlinked"};
  EXPECT_EQ(observer.events, expected);
  link.SetObserver(nullptr);
  SetDestinationFolder(L"");
}

TEST(ClientLink, InstallsItsHookOnceAndRemovesItWhenDestroyed) {
  HookWindow window;
  const std::size_t before = window.Count();
  {
    ClientLink link(window);
    EXPECT_EQ(window.Count(), before);
    for (int i = 0; i < 10000; ++i) {
      link.DiscoverClient();
      if (i % 500 == 0) PumpFor(0);  // keep the broadcast queues short
    }
    EXPECT_EQ(window.Count(), before + 1);
    EXPECT_EQ(link.SkypeWindowHandle, nullptr);
    PumpFor(100);
  }
  EXPECT_EQ(window.Count(), before);
  // Nothing reaches the destroyed link: an attach reply is left to the window's own handling.
  const UINT attach = ::RegisterWindowMessageW(L"SkypeControlAPIAttach");
  EXPECT_EQ(::SendMessageW(window.Handle(), attach, reinterpret_cast<WPARAM>(window.Handle()), 2), 0);
  EXPECT_TRUE(test::FindMessageBoxes(::GetCurrentProcessId(), kRefusalCaption).empty());
}

TEST(ClientLink, ALinkDestroyedByAnEarlierHookOfTheSameMessageIsNotReached) {
  HookWindow window;
  const UINT attach = ::RegisterWindowMessageW(L"SkypeControlAPIAttach");
  auto link = std::make_unique<ClientLink>(window);
  // Installed before the link's hook: the first attach reply destroys the link.
  WatchHook destroyer(window, [&](const HookMessage& message) {
    if (message.msg == attach) link.reset();
  });
  link->forbidden = true;  // a refusal without its box
  link->DiscoverClient();
  // After the link's hook: it sees the reply only when the link did not take it.
  int seen_after = 0;
  WatchHook after(window, [&](const HookMessage& message) {
    if (message.msg == attach) ++seen_after;
  });
  ASSERT_EQ(window.Count(), 3u);
  WindowHandle client(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr));
  ASSERT_TRUE(client);
  for (const LPARAM status : {LPARAM{0}, LPARAM{2}}) {
    EXPECT_EQ(::SendMessageW(window.Handle(), attach, reinterpret_cast<WPARAM>(client.Get()), status), 0);
  }
  EXPECT_EQ(link, nullptr);
  EXPECT_EQ(seen_after, 2) << "the destroyed link's hook took a reply";
  EXPECT_EQ(window.Count(), 2u);
  EXPECT_TRUE(test::FindMessageBoxes(::GetCurrentProcessId(), kRefusalCaption).empty());
}

TEST(ClientLink, DropsCommandsWhileUnlinkedBeforeAnyDiscovery) {
  HookWindow window;
  ClientLink link(window);
  EXPECT_EQ(link.SkypeWindowHandle, nullptr);
  link.SendCommand("GET CALL 1 PARTNER_HANDLE");  // nothing to send to, nothing raised
  // Without a discovery there is no hook: the application window answers copy-data with 0.
  EXPECT_EQ(SendText(window, nullptr, "CALL 1 STATUS INPROGRESS"), 0);
}


// What the link tells its observer besides the link: notices for the user and the free-space
// warning, with the icon's state.
class NoticeObserver final : public ClientLinkObserver {
 public:
  void LinkChanged(HWND client) override { state.LinkChanged(reinterpret_cast<std::uintptr_t>(client)); }
  void NotificationRead(std::string_view, const CallDecision& decision) override { state.Decided(decision); }
  void Tell(const std::wstring& text) override { told.push_back(text); }
  void SpaceWarningChanged(const std::wstring& warning) override {
    warnings.push_back(warning);
    state.SetWarning(warning);
  }

  std::vector<std::wstring> told;
  std::vector<std::wstring> warnings;
  CallState state{SystemPlatform()};
};

// Puts a seam in place for one test and the system's own back afterwards.
template <typename Seam>
class SeamScope {
 public:
  SeamScope(Seam& seam, Seam replacement) : seam_(seam), saved_(std::move(seam)) { seam_ = std::move(replacement); }
  ~SeamScope() { seam_ = std::move(saved_); }
  SeamScope(const SeamScope&) = delete;
  SeamScope& operator=(const SeamScope&) = delete;

 private:
  Seam& seam_;
  Seam saved_;
};

// Links a fresh link to a second process and prepares the folder first, as every showing does.
void PrepareAndWait(ClientLink& link) {
  link.PrepareFolder(false);
  ASSERT_TRUE(PumpUntil([&] { return !link.PreparingFolder() && link.Watch() && link.Watch()->Listed(); }, 10000));
}

// A link with its own destination folder, given back to the default after each test.
class ClientLinkFolder : public ::testing::Test {
 protected:
  void SetUp() override { SetDestinationFolder(dir.Path()); }
  void TearDown() override { SetDestinationFolder(L""); }

  HookWindow window;
  TempDir dir;
};

TEST_F(ClientLinkFolder, AFolderRemovedBetweenTwoCallsIsMadeAgainAndBothAreRecorded) {
  const std::wstring records = dir.Join(L"Records");
  ASSERT_TRUE(::CreateDirectoryW(records.c_str(), nullptr));
  SetDestinationFolder(records);
  ClientLink link(window);
  PrepareAndWait(link);
  const std::wstring log = dir.Join(L"commands.txt");
  for (const wchar_t* call : {L"1", L"2"}) {
    ChildProcess sim(ClientSim(), {L"--call", call, L"--partner", L"rita", L"--call-ms", L"200", L"--log", log,
                                   L"--timeout", L"20000"});
    ASSERT_TRUE(LinkToClient(link));
    ASSERT_TRUE(PumpUntil([&] { return !sim.Running(); }, 20000))
        << ReadLines(log).size() << " commands, " << FilesIn(records).size() << " files";
    EXPECT_EQ(sim.ExitCode(), 0u) << "call " << call << ": the file could not be written";
    EXPECT_EQ(ReadLines(log).size(), 2u) << "call " << call;
    const std::vector<std::wstring> files = FilesIn(records);
    ASSERT_EQ(files.size(), 1u) << "call " << call;
    const std::string wav = test::ReadBytes(records + L"\\" + files[0]).value_or("");
    EXPECT_GT(wav.size(), 44u);
    // Removed as Explorer removes a folder: its files, then itself.
    ASSERT_TRUE(::DeleteFileW((records + L"\\" + files[0]).c_str()));
    ASSERT_TRUE(::RemoveDirectoryW(records.c_str())) << ::GetLastError();
    link.DiscoverClient();  // finds the ended client's window gone
    ASSERT_EQ(link.SkypeWindowHandle, nullptr);
  }
}

TEST_F(ClientLinkFolder, ACallPlacedWhileTheFolderCheckHangsGetsItsCommandAtOnce) {
  KernelHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::atomic<int> checks{0};
  SeamScope seam(CheckRecordingFolder, FolderCheck([&](const std::wstring& folder, bool& created) {
                   ++checks;
                   // An unreachable share: the check waits for the network's time limit.
                   ::WaitForSingleObject(release.Get(), 30000);
                   return CheckFolderOnDisk(folder, created);
                 }));
  ClientLink link(window);
  link.PrepareFolder(true);
  // The window answers meanwhile, within a tenth of a second.
  std::atomic<int> answered{-1};
  std::thread prober([&] {
    DWORD_PTR result = 0;
    answered = ::SendMessageTimeoutW(window.Handle(), WM_NULL, 0, 0, SMTO_NORMAL, 100, &result) ? 1 : 0;
  });
  PumpUntil([&] { return answered.load() >= 0; }, 2000);
  prober.join();
  EXPECT_EQ(answered.load(), 1);
  const std::wstring log = dir.Join(L"commands.txt");
  ChildProcess sim(ClientSim(), {L"--call", L"7", L"--partner", L"ben", L"--call-ms", L"200", L"--log", log,
                                 L"--timeout", L"20000"});
  ASSERT_TRUE(LinkToClient(link));
  ASSERT_TRUE(PumpUntil([&] { return !sim.Running(); }, 15000)) << "the call waited for the folder check";
  EXPECT_EQ(sim.ExitCode(), 0u);
  EXPECT_TRUE(link.PreparingFolder()) << "the check is still held up";
  EXPECT_GE(checks.load(), 1);
  const std::vector<std::string> lines = ReadLines(log);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].rfind("ALTER CALL 7 SET_OUTPUT file=\"" + SystemPlatform().EncodeAnsi(dir.Path() + L"\\"), 0),
            0u)
      << lines[1];
  EXPECT_EQ(FilesIn(dir.Path()).size(), 2u) << "the recording and the log";
  ::SetEvent(release.Get());
  EXPECT_TRUE(PumpUntil([&] { return !link.PreparingFolder(); }, 10000));
}

TEST_F(ClientLinkFolder, APartnerHandleAfterItsCallsEndGetsNoCommand) {
  ClientLink link(window);
  NoticeObserver observer;
  link.SetObserver(&observer);
  const std::wstring log = dir.Join(L"commands.txt");
  // Call 5 ends before its handle comes; call 6 does not.
  ChildProcess sim(ClientSim(),
                   {L"--no-answers", L"--end-status", L"", L"--log", log, L"--timeout", L"20000", L"--notify",
                    L"CALL 5 STATUS INPROGRESS", L"--notify", L"CALL 5 STATUS FINISHED", L"--notify",
                    L"CALL 5 PARTNER_HANDLE dave", L"--notify", L"CALL 6 STATUS INPROGRESS", L"--notify",
                    L"CALL 6 PARTNER_HANDLE erin"});
  ASSERT_TRUE(LinkToClient(link));
  ASSERT_TRUE(PumpUntil([&] { return ReadLines(log).size() == 3; }, 15000));
  PumpFor(300);
  const std::vector<std::string> lines = ReadLines(log);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "GET CALL 5 PARTNER_HANDLE");
  EXPECT_EQ(lines[1], "GET CALL 6 PARTNER_HANDLE");
  EXPECT_EQ(lines[2].rfind("ALTER CALL 6 SET_OUTPUT ", 0), 0u) << lines[2];
  EXPECT_EQ(observer.state.Tooltip(), L"Callwright \u2013 recording erin") << "never dave";
  ASSERT_TRUE(PumpUntil([&] { return !sim.Running(); }, 15000));
  link.SetObserver(nullptr);
}

TEST_F(ClientLinkFolder, ACallThatCannotBeGivenACommandIsTold) {
  ClientLink link(window);
  NoticeObserver observer;
  link.SetObserver(&observer);
  const std::wstring log = dir.Join(L"commands.txt");
  // A call id so long that no command naming it fits the client's limit.
  const std::wstring id(kMaxCommandLength, L'9');
  ChildProcess sim(ClientSim(), {L"--no-answers", L"--log", log, L"--timeout", L"20000", L"--notify",
                                 L"CALL " + id + L" PARTNER_HANDLE zoe"});
  ASSERT_TRUE(LinkToClient(link));
  ASSERT_TRUE(PumpUntil([&] { return !observer.told.empty(); }, 15000));
  EXPECT_EQ(observer.told, std::vector<std::wstring>{L"The call with zoe is not recorded: Skype cannot be given a file "
                                                     L"name for it in the folder \"" + dir.Path() + L"\"."});
  EXPECT_EQ(observer.state.Display(), LinkDisplay::Linked);
  ASSERT_TRUE(PumpUntil([&] { return !sim.Running(); }, 15000));
  EXPECT_TRUE(ReadLines(log).empty());
  link.SetObserver(nullptr);
}

TEST_F(ClientLinkFolder, LittleFreeSpaceIsToldOncePerCallAndTheCallsAreStillRecorded) {
  std::atomic<int> queries{0};
  std::atomic<std::uint64_t> free_bytes{420ull * 1024 * 1024 + 12345};
  SeamScope seam(QueryFreeSpace, FreeSpaceQuery([&](const std::wstring&) -> std::optional<FreeSpace> {
                   ++queries;
                   return FreeSpace{free_bytes.load(), L"D:"};
                 }));
  ClientLink link(window);
  NoticeObserver observer;
  link.SetObserver(&observer);
  PrepareAndWait(link);
  EXPECT_EQ(observer.warnings, std::vector<std::wstring>{L"only 420 MB free on D:"});
  EXPECT_TRUE(observer.told.empty()) << "no call yet";

  const std::wstring log = dir.Join(L"commands.txt");
  ChildProcess sim(ClientSim(), {L"--call", L"1", L"--call", L"2", L"--partner", L"kim", L"--call-ms", L"300",
                                 L"--log", log, L"--timeout", L"20000"});
  ASSERT_TRUE(LinkToClient(link));
  ASSERT_TRUE(PumpUntil([&] { return observer.state.Display() == LinkDisplay::Recording; }, 15000));
  EXPECT_EQ(observer.state.Tooltip().rfind(L"Callwright \u2013 only 420 MB free on D: \u2013 recording kim", 0), 0u)
      << observer.state.Tooltip().c_str();
  ASSERT_TRUE(PumpUntil([&] { return !sim.Running(); }, 15000));
  EXPECT_EQ(sim.ExitCode(), 0u);
  PumpFor(200);
  const std::wstring text = L"Only 420 MB free on D: \u2014 recordings may stop.";
  EXPECT_EQ(observer.told, (std::vector<std::wstring>{text, text})) << "once for each call's start";
  EXPECT_EQ(FilesIn(dir.Path()).size(), 3u) << "both recordings and the log";
  EXPECT_LE(queries.load(), 2) << "a few seconds' answer serves the calls' preparations";

  // Room again: the warning goes.
  free_bytes = 600ull * 1024 * 1024;
  ::Sleep(static_cast<DWORD>(std::chrono::milliseconds(FolderPreparer::kFreeSpaceLifetime).count()));
  PrepareAndWait(link);
  EXPECT_EQ(observer.warnings.back(), L"");
  EXPECT_EQ(observer.state.Tooltip().find(L"free"), std::wstring::npos);
  link.SetObserver(nullptr);
}

}  // namespace
}  // namespace callwright
