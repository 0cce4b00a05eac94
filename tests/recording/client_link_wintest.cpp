#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/destination_folder.h"
#include "core/timestamp.h"
#include "recording/client_link_win.h"
#include "recording/notification.h"
#include "support/gui_win.h"
#include "support/process_win.h"
#include "support/temp_dir_win.h"
#include "ui/toolkit/application.h"

namespace callwright {
namespace {

using test::ChildProcess;
using test::PumpFor;
using test::PumpUntil;
using test::RepeatingTick;
using test::TempDir;

constexpr wchar_t kRefusalCaption[] = L"Access forbidden";
constexpr wchar_t kRefusalText[] =
    L"You just disallowed access to Skype. We were not able to start the application.";

std::wstring ClientSim() { return test::ExePath(L"callwright-clientsim.exe"); }

// The whole file, also while its writer still holds it open.
std::string ReadBytes(const std::wstring& path) {
  FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  std::string bytes;
  if (!file) return bytes;
  char buffer[65536];
  DWORD read = 0;
  while (::ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
  return bytes;
}

std::vector<std::string> ReadLines(const std::wstring& path) {
  std::vector<std::string> lines;
  const std::string bytes = ReadBytes(path);
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
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(data.cFileName);
  } while (::FindNextFileW(find.Get(), &data));
  return names;
}

std::uint32_t Le32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// Discovers until the client answers: it needs a moment to start.
bool LinkTo(ClientLink& link, DWORD timeout_ms = 15000) {
  ULONGLONG last = 0;
  return PumpUntil(
      [&] {
        if (link.SkypeWindowHandle != nullptr) return true;
        if (::GetTickCount64() - last >= 400) {
          last = ::GetTickCount64();
          link.DiscoverClient();
        }
        return false;
      },
      timeout_ms);
}

LRESULT SendText(HWND from, const void* data, DWORD size) {
  COPYDATASTRUCT record{0, size, const_cast<void*>(data)};
  return ::SendMessageW(Application::Instance().Handle(), WM_COPYDATA, reinterpret_cast<WPARAM>(from),
                        reinterpret_cast<LPARAM>(&record));
}

LRESULT SendText(HWND from, const std::string& text) {
  return SendText(from, text.c_str(), static_cast<DWORD>(text.size() + 1));
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
  TempDir dir;
  const std::wstring records = dir.Join(L"Records");
  ASSERT_TRUE(::CreateDirectoryW(records.c_str(), nullptr));
  SetDestinationFolder(records);
  const std::wstring log = dir.Join(L"commands.txt");
  const std::wstring answers = dir.Join(L"answers.txt");
  ChildProcess sim(ClientSim(), {L"--partner", L"live:jane", L"--call", L"1234", L"--call-ms", L"1500", L"--log",
                                 log, L"--answers", answers, L"--timeout", L"20000"});
  ClientLink link;
  const std::wstring before = TimestampNow();
  ASSERT_TRUE(LinkTo(link));

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

  const std::string wav = ReadBytes(records + L"\\" + name);
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

TEST(ClientLink, ReportsARefusalOnceUntilForbiddenIsCleared) {
  ChildProcess sim(ClientSim(), {L"--status", L"2", L"--timeout", L"30000"});
  ClientLink link;
  RefusalBoxes boxes;
  RepeatingTick watch(30, [&] { boxes.Tick(); });

  // First refusal: while its box is open, a rediscovery brings a second refusal, which the box's
  // own message loop handles without opening another box.
  bool rediscovered = false;
  boxes.on_show = [&] {
    link.DiscoverClient();
    rediscovered = true;
  };
  boxes.close_when = [&] { return rediscovered && link.SkypeWindowHandle != nullptr; };
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
  EXPECT_EQ(boxes.owner, Application::Instance().Handle());
  EXPECT_TRUE(link.forbidden);
  const HWND client = link.SkypeWindowHandle;
  EXPECT_NE(client, nullptr);

  // Still forbidden: a new discovery relinks the refusing client without a box.
  boxes.on_show = [] {};
  boxes.close_when = [] { return true; };
  link.DiscoverClient();
  EXPECT_EQ(link.SkypeWindowHandle, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return link.SkypeWindowHandle != nullptr; }, 10000));
  PumpFor(300);
  EXPECT_EQ(link.SkypeWindowHandle, client);
  EXPECT_EQ(boxes.shown, 1);

  // Cleared, as showing the main window does: the next refusal is reported again.
  link.forbidden = false;
  link.DiscoverClient();
  ASSERT_TRUE(PumpUntil([&] { return boxes.shown == 2 && !boxes.open; }, 10000));
  EXPECT_EQ(boxes.most_open, 1u);
  EXPECT_TRUE(link.forbidden);
}

TEST(ClientLink, AcceptsTextsOnlyFromTheLinkedClientAndSendsOnlyWhileLinked) {
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
  ClientLink link;
  ASSERT_TRUE(LinkTo(link));
  const HWND client = link.SkypeWindowHandle;
  ASSERT_TRUE(PumpUntil([&] { return ReadLines(answers).size() == 2; }, 10000));
  EXPECT_EQ(ReadLines(answers), (std::vector<std::string>{"1", "1"}));

  // From any other window: answered 0 and handled by nobody.
  WindowHandle other(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr));
  ASSERT_TRUE(other);
  EXPECT_EQ(SendText(other.Get(), "CALL 1 STATUS INPROGRESS"), 0);
  EXPECT_EQ(SendText(nullptr, "CALL 1 STATUS INPROGRESS"), 0);
  // From the linked client: answered 1 and handled.
  EXPECT_EQ(SendText(client, "CALL 2 STATUS INPROGRESS"), 1);

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
    EXPECT_EQ(SendText(client, at, static_cast<DWORD>(text.size())), 1);
    // Only the first bytes count when cbData says so.
    EXPECT_EQ(SendText(client, at, 6), 1);  // "CALL 3": neither shape
    ::VirtualFree(pages, 0, MEM_RELEASE);
  }
  // No data at all: taken from the client, but nothing to handle.
  EXPECT_EQ(SendText(client, nullptr, 0), 1);
  EXPECT_EQ(SendText(client, nullptr, 25), 1);
  EXPECT_EQ(SendText(client, "x", 0), 1);

  // A command whose call id makes it longer than a command may be is dropped whole.
  EXPECT_EQ(SendText(client, "CALL " + std::string(kMaxCommandLength, '9') + " STATUS INPROGRESS"), 1);
  link.SendCommand(std::string(kMaxCommandLength + 1, 'A'));
  link.SendCommand(std::string(kMaxCommandLength, 'B'));  // the longest one goes whole

  // After a rediscovery and until the reply nothing is accepted and nothing is sent.
  link.DiscoverClient();
  EXPECT_EQ(link.SkypeWindowHandle, nullptr);
  EXPECT_EQ(SendText(client, "CALL 4 STATUS INPROGRESS"), 0);
  EXPECT_EQ(SendText(nullptr, "CALL 4 STATUS INPROGRESS"), 0);
  link.SendCommand("GET CALL 5 PARTNER_HANDLE");
  ASSERT_TRUE(PumpUntil([&] { return link.SkypeWindowHandle != nullptr; }, 10000));
  EXPECT_EQ(link.SkypeWindowHandle, client);
  link.SendCommand("GET CALL 6 PARTNER_HANDLE");

  ::PostMessageW(client, WM_CLOSE, 0, 0);
  ASSERT_TRUE(sim.Wait(10000));
  EXPECT_EQ(sim.ExitCode(), 0u);
  const std::vector<std::string> expected = {"GET CALL 7 PARTNER_HANDLE", "GET CALL 2 PARTNER_HANDLE",
                                             "GET CALL 3 PARTNER_HANDLE", std::string(kMaxCommandLength, 'B'),
                                             "GET CALL 6 PARTNER_HANDLE"};
  EXPECT_EQ(ReadLines(log), expected);
}

TEST(ClientLink, InstallsItsHookOnceAndRemovesItWhenDestroyed) {
  Application& app = Application::Instance();
  const std::size_t before = app.HookCount();
  {
    ClientLink link;
    EXPECT_EQ(app.HookCount(), before);
    for (int i = 0; i < 10000; ++i) {
      link.DiscoverClient();
      if (i % 500 == 0) PumpFor(0);  // keep the broadcast queues short
    }
    EXPECT_EQ(app.HookCount(), before + 1);
    EXPECT_EQ(link.SkypeWindowHandle, nullptr);
    PumpFor(100);
  }
  EXPECT_EQ(app.HookCount(), before);
  // Nothing reaches the destroyed link: an attach reply is left to the window's own handling.
  const UINT attach = ::RegisterWindowMessageW(L"SkypeControlAPIAttach");
  EXPECT_EQ(::SendMessageW(app.Handle(), attach, reinterpret_cast<WPARAM>(app.Handle()), 2), 0);
  EXPECT_TRUE(test::FindMessageBoxes(::GetCurrentProcessId(), kRefusalCaption).empty());
}

TEST(ClientLink, DropsCommandsWhileUnlinkedBeforeAnyDiscovery) {
  ClientLink link;
  EXPECT_EQ(link.SkypeWindowHandle, nullptr);
  link.SendCommand("GET CALL 1 PARTNER_HANDLE");  // nothing to send to, nothing raised
  // Without a discovery there is no hook: the application window answers copy-data with 0.
  EXPECT_EQ(SendText(nullptr, "CALL 1 STATUS INPROGRESS"), 0);
}

}  // namespace
}  // namespace callwright
