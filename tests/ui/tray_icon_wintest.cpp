// The notification-area icon: its calls to the shell watched through the Shell_NotifyIconW seam
// while the substitute client places real calls, its menu chosen with real mouse clicks, and one
// run against the real Shell_NotifyIconW of Wine's system tray.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/destination_folder.h"
#include "core/settings_win.h"
#include "support/client_win.h"
#include "support/config_file_win.h"
#include "support/gui_win.h"
#include "support/process_win.h"
#include "support/program_windows_fixture_win.h"
#include "support/temp_dir_win.h"
#include "support/window_answerer_win.h"
#include "ui/about_form.h"
#include "ui/main_form.h"
#include "ui/program_windows.h"
#include "ui/settings_form.h"
#include "ui/toolkit/application.h"
#include "ui/toolkit/notify_icon.h"
#include "ui/toolkit/shell.h"
#include "ui/tray_icon.h"

namespace callwright {
namespace {

namespace fs = std::filesystem;
using test::ChildProcess;
using test::PumpFor;
using test::PumpUntil;
using test::RepeatingTick;
using test::WindowAnswerer;
using test::WineTrayIcons;
using test::WriteConfig;

constexpr wchar_t kWaiting[] = L"Callwright \u2013 waiting for the client";
constexpr wchar_t kLinked[] = L"Callwright \u2013 linked to the client";
constexpr wchar_t kRecordingAnna[] = L"Callwright \u2013 recording anna.k";

// What the program told the shell, one entry per Shell_NotifyIconW call.
struct ShellCall {
  DWORD message;
  NOTIFYICONDATAW data;
  std::wstring Tip() const { return data.szTip; }
};
std::vector<ShellCall> g_shell_calls;
std::vector<DWORD> g_shell_refuses;  // the messages that fail

BOOL WINAPI RecordShellCall(DWORD message, PNOTIFYICONDATAW data) {
  g_shell_calls.push_back({message, *data});
  return std::find(g_shell_refuses.begin(), g_shell_refuses.end(), message) == g_shell_refuses.end();
}
const std::vector<DWORD> kNoShell = {NIM_ADD, NIM_MODIFY, NIM_SETVERSION, NIM_DELETE};

std::vector<std::wstring> g_opened;
std::intptr_t RecordOpen(const std::wstring& target) {
  g_opened.push_back(target);
  return 42;  // what ShellExecuteW gives for success: above 32
}

std::wstring ClientSim() { return test::ExePath(L"callwright-clientsim.exe"); }

LPARAM IconEvent(UINT event) { return MAKELPARAM(event, TrayIcon::kIconId); }

class TrayIconTest : public test::ProgramWindowsTest {
 protected:
  void SetUp() override {
    ProgramWindowsTest::SetUp();
    g_shell_calls.clear();
    g_shell_refuses.clear();
    NotifyIconCall = &RecordShellCall;
    ShellOpen = &RecordOpen;
    g_opened.clear();
  }
  // Closing the main window then hides it without the notice.
  void PrepareConfig() override { ASSERT_TRUE(WriteConfig(L"info", L"1")); }

  void TearDown() override {
    tray_.reset();
    NotifyIconCall = previous_notify_;
    ProgramWindowsTest::TearDown();
  }

  // The recording of this partner in the test's folder, or an empty path.
  fs::path RecordingOf(const std::wstring& partner) const {
    for (const auto& entry : fs::directory_iterator(folder_.Path())) {
      const std::wstring name = entry.path().filename().wstring();
      if (name.ends_with(L"_" + partner + L".wav")) return entry.path();
    }
    return {};
  }

  void StartTray() { tray_ = std::make_unique<TrayIcon>(*main_); }

  // The tooltips the shell was given, a repeated one once.
  std::vector<std::wstring> Tips() const {
    std::vector<std::wstring> tips;
    for (const ShellCall& call : g_shell_calls) {
      if ((call.message == NIM_ADD || call.message == NIM_MODIFY) && (tips.empty() || tips.back() != call.Tip())) {
        tips.push_back(call.Tip());
      }
    }
    return tips;
  }
  const ShellCall* LastChange() const {
    for (auto it = g_shell_calls.rbegin(); it != g_shell_calls.rend(); ++it) {
      if (it->message == NIM_ADD || it->message == NIM_MODIFY) return &*it;
    }
    return nullptr;
  }
  const ShellCall* Last(DWORD message) const {
    for (auto it = g_shell_calls.rbegin(); it != g_shell_calls.rend(); ++it) {
      if (it->message == message) return &*it;
    }
    return nullptr;
  }
  int Count(DWORD message) const {
    return static_cast<int>(std::count_if(g_shell_calls.begin(), g_shell_calls.end(),
                                          [&](const ShellCall& c) { return c.message == message; }));
  }

  // A window of this test that plays the client: it answers a discovery and sends notifications
  // through the link's real messages.
  void AttachFakeClient() {
    if (!fake_client_) {
      fake_client_.Reset(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr));
    }
    main_->DiscoverClient();
    ::SendMessageW(Application::Instance().Handle(), main_->MsgAttach, reinterpret_cast<WPARAM>(fake_client_.Get()), 0);
  }
  void NotifyFromFakeClient(const std::string& text) {
    COPYDATASTRUCT record{0, static_cast<DWORD>(text.size() + 1), const_cast<char*>(text.c_str())};
    ::SendMessageW(Application::Instance().Handle(), WM_COPYDATA, reinterpret_cast<WPARAM>(fake_client_.Get()),
                   reinterpret_cast<LPARAM>(&record));
  }

  void SendIconEvent(UINT event, POINT at = {100, 100}) {
    ::SendMessageW(Application::Instance().Handle(), kNotifyIconMessage, MAKEWPARAM(at.x, at.y), IconEvent(event));
  }

  // Opens the icon's menu and clicks the item at `position` with the mouse; `inspect` looks at the
  // menu first.
  bool ChooseFromMenu(int position, const std::function<void(HMENU)>& inspect = {}) {
    bool clicked = false;
    RepeatingTick tick(50, [&] {
      if (clicked) return;
      HWND menu = test::FindPopupMenu(::GetCurrentProcessId());
      if (!menu) return;
      if (inspect) inspect(test::MenuOf(menu));
      clicked = test::ClickMenuItem(menu, position);
    });
    SendIconEvent(WM_CONTEXTMENU);
    PumpFor(50);
    return clicked;
  }

  std::unique_ptr<TrayIcon> tray_;
  WindowHandle fake_client_;
  NotifyIconFunction previous_notify_ = NotifyIconCall;
};

TEST_F(TrayIconTest, AddedOnTheApplicationWindowAsVersionFour) {
  StartTray();
  ASSERT_EQ(g_shell_calls.size(), 2u);
  const NOTIFYICONDATAW& add = g_shell_calls[0].data;
  EXPECT_EQ(g_shell_calls[0].message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(add.cbSize, sizeof(NOTIFYICONDATAW));
  EXPECT_EQ(add.hWnd, Application::Instance().Handle());
  EXPECT_EQ(add.uID, TrayIcon::kIconId);
  EXPECT_EQ(add.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP)) << "no GUID, no balloon";
  EXPECT_EQ(add.uCallbackMessage, kNotifyIconMessage);
  EXPECT_EQ(add.hIcon, tray_->Picture(LinkDisplay::Waiting));
  EXPECT_EQ(g_shell_calls[0].Tip(), kWaiting);
  EXPECT_EQ(g_shell_calls[1].message, static_cast<DWORD>(NIM_SETVERSION));
  EXPECT_EQ(g_shell_calls[1].data.uVersion, static_cast<UINT>(NOTIFYICON_VERSION_4));
  EXPECT_TRUE(tray_->Icon().Shown());

  // Three pictures of their own, 16 x 16 at this screen's scale.
  const HICON pictures[] = {tray_->Picture(LinkDisplay::Waiting), tray_->Picture(LinkDisplay::Linked),
                            tray_->Picture(LinkDisplay::Recording)};
  for (HICON picture : pictures) {
    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(picture, &info));
    BITMAP bitmap{};
    ::GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
    EXPECT_EQ(bitmap.bmWidth, ::GetSystemMetrics(SM_CXSMICON));
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
  }
  EXPECT_NE(pictures[0], pictures[1]);
  EXPECT_NE(pictures[1], pictures[2]);

  tray_.reset();
  ASSERT_FALSE(g_shell_calls.empty());
  EXPECT_EQ(g_shell_calls.back().message, static_cast<DWORD>(NIM_DELETE));
  EXPECT_EQ(g_shell_calls.back().data.uID, TrayIcon::kIconId);
  EXPECT_EQ(g_shell_calls.back().data.hWnd, Application::Instance().Handle());
  const std::size_t calls = g_shell_calls.size();
  ::SendMessageW(Application::Instance().Handle(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_EQ(g_shell_calls.size(), calls) << "a removed icon is not added again";
}

TEST_F(TrayIconTest, StatesAndTooltipFollowACallOfTheClient) {
  SetDestinationFolder(folder_.Path());
  StartTray();
  ChildProcess sim(ClientSim(), {L"--partner", L"anna.k", L"--call", L"1234", L"--call-ms", L"1500",
                                 L"--end-status", L"cancelled", L"--timeout", L"20000", L"--log",
                                 folder_.Join(L"commands.txt")});
  ASSERT_TRUE(test::LinkToClient(*main_));
  EXPECT_EQ(LastChange()->Tip(), kLinked);
  EXPECT_EQ(LastChange()->data.hIcon, tray_->Picture(LinkDisplay::Linked));

  ASSERT_TRUE(PumpUntil([&] { return tray_->State().Display() == LinkDisplay::Recording; }, 10000));
  EXPECT_EQ(LastChange()->Tip(), kRecordingAnna);
  EXPECT_EQ(LastChange()->data.hIcon, tray_->Picture(LinkDisplay::Recording));
  // The recording started with the command: the client has opened the file by now or is about to.
  EXPECT_TRUE(PumpUntil([&] { return fs::exists(RecordingOf(L"anna.k")); }, 5000));

  // The client reports the call's end ("cancelled", in its own case), then ends itself.
  ASSERT_TRUE(sim.Wait(15000));
  EXPECT_EQ(sim.ExitCode(), 0u);
  EXPECT_EQ(LastChange()->Tip(), kLinked);
  EXPECT_EQ(LastChange()->data.hIcon, tray_->Picture(LinkDisplay::Linked));

  // Its window is gone: the next discovery finds the link lost.
  main_->DiscoverClient();
  EXPECT_EQ(LastChange()->Tip(), kWaiting);
  EXPECT_EQ(LastChange()->data.hIcon, tray_->Picture(LinkDisplay::Waiting));
  EXPECT_EQ(Tips(), (std::vector<std::wstring>{kWaiting, kLinked, kRecordingAnna, kLinked, kWaiting}));
  EXPECT_EQ(Count(NIM_ADD), 1) << "changed, never added twice";
  for (const ShellCall& call : g_shell_calls) {
    EXPECT_EQ(call.data.uFlags & (NIF_INFO | NIF_GUID), 0u) << "no balloon per call";
  }
}

TEST_F(TrayIconTest, LosingTheLinkEndsTheRecording) {
  SetDestinationFolder(folder_.Path());
  StartTray();
  ChildProcess sim(ClientSim(), {L"--partner", L"anna.k", L"--call", L"77", L"--call-ms", L"20000", L"--timeout", L"25000",
                                 L"--log", folder_.Join(L"commands.txt")});
  // Counts the attach replies; installed before the link's own hook, which takes them.
  const UINT attach = ::RegisterWindowMessageW(L"SkypeControlAPIAttach");
  int replies = 0;
  struct Watch {
    int id;
    ~Watch() { Application::Instance().RemoveMessageHook(id); }
  } watch{Application::Instance().AddMessageHook([&](HookMessage& message) {
    if (message.msg == attach) ++replies;
    return false;
  })};
  ASSERT_TRUE(test::LinkToClient(*main_));
  ASSERT_TRUE(PumpUntil([&] { return tray_->State().Display() == LinkDisplay::Recording; }, 10000));
  // Rediscoveries, each answered by the same client, keep the recording.
  for (int i = 0; i < 3; ++i) {
    const int before = replies;
    main_->DiscoverClient();
    ASSERT_TRUE(PumpUntil([&] { return replies > before; }, 5000));
    EXPECT_EQ(LastChange()->Tip(), kRecordingAnna);
  }

  sim.Terminate();
  main_->DiscoverClient();
  EXPECT_EQ(LastChange()->Tip(), kWaiting);
  EXPECT_EQ(tray_->State().Display(), LinkDisplay::Waiting);
}

TEST_F(TrayIconTest, ALeftClickShowsTheMainWindowAsAShowRequestDoes) {
  StartTray();
  ASSERT_TRUE(WriteConfig(L"path", folder_.Path()));
  // The window as the show request leaves it, then as each selection event leaves it, from the
  // same starting states.
  struct Start {
    const char* name;
    void (*prepare)(TFrmMain&);
  } starts[] = {
      {"hidden", [](TFrmMain& m) { m.Hide(); }},
      {"visible", [](TFrmMain& m) { m.Show(); }},
      {"minimized", [](TFrmMain& m) { m.Show(); ::ShowWindow(m.Handle(), SW_MINIMIZE); }},
  };
  auto outcome = [&] {
    return std::make_pair(main_->Visible(), ::IsIconic(main_->Handle()) != FALSE);
  };
  for (const Start& start : starts) {
    start.prepare(*main_);
    PumpFor(20);
    ::SendMessageW(main_->Handle(), ShowRequestMsg, 0, 0);
    PumpFor(20);
    const auto by_request = outcome();
    for (const UINT event : {static_cast<UINT>(NIN_SELECT), static_cast<UINT>(NIN_KEYSELECT)}) {
      ::ShowWindow(main_->Handle(), SW_RESTORE);
      start.prepare(*main_);
      PumpFor(20);
      SetDestinationFolder(L"");
      SendIconEvent(event);
      PumpFor(20);
      EXPECT_EQ(outcome(), by_request) << start.name << " " << event;
      if (std::string(start.name) == "hidden") {
        EXPECT_TRUE(main_->Visible());
        EXPECT_EQ(DestinationFolder(), folder_.Path()) << "the show sequence ran";
      }
    }
    ::ShowWindow(main_->Handle(), SW_RESTORE);
  }
}

TEST_F(TrayIconTest, MenuItemsAndEachCommandDoesWhatItSays) {
  StartTray();
  ASSERT_TRUE(WriteConfig(L"path", folder_.Path()));
  main_->Show();
  PumpFor(20);
  main_->Hide();

  std::vector<std::wstring> items;
  int default_item = -1;
  ASSERT_TRUE(ChooseFromMenu(0, [&](HMENU menu) {
    items = test::MenuItemTexts(menu);
    default_item = static_cast<int>(::GetMenuDefaultItem(menu, TRUE, 0));
  }));
  EXPECT_EQ(items, (std::vector<std::wstring>{L"&Show Callwright", L"&Open recordings folder", L"Se&ttings\u2026",
                                              L"&About\u2026", L"-", L"&Close Callwright"}));
  EXPECT_EQ(default_item, 0) << "Show Callwright is the default, drawn bold";
  EXPECT_TRUE(PumpUntil([&] { return main_->Visible(); }, 2000)) << "Show Callwright";
  main_->Hide();

  ASSERT_TRUE(ChooseFromMenu(1));
  EXPECT_TRUE(PumpUntil([&] { return !g_opened.empty(); }, 2000));
  EXPECT_EQ(g_opened, (std::vector<std::wstring>{folder_.Path()})) << "Open recordings folder";

  ASSERT_TRUE(ChooseFromMenu(2));
  EXPECT_TRUE(PumpUntil([&] { return windows_->settings->Visible(); }, 2000)) << "Settings";
  windows_->settings->Hide();

  ASSERT_TRUE(ChooseFromMenu(3));
  EXPECT_TRUE(PumpUntil([&] { return windows_->about->Visible(); }, 2000)) << "About";
  windows_->about->Hide();
  EXPECT_FALSE(main_->Visible()) << "only Show Callwright shows the main window";

  // Close asks the main window's question; No keeps the program (Yes ends the process: see the
  // start-up tests).
  WindowAnswerer no(L"#32770", L"Close process", IDNO);
  ASSERT_TRUE(ChooseFromMenu(5));
  EXPECT_TRUE(PumpUntil([&] { return no.Answered() == 1; }, 5000));
  EXPECT_EQ(no.LastText(), L"This will close the Callwright process, are you sure ?");
  EXPECT_TRUE(tray_->Icon().Shown());

  // Dismissed without a choice: nothing happens, and the menu opens again the next time.
  g_opened.clear();
  bool dismissed = false;
  {
    RepeatingTick tick(50, [&] {
      if (HWND menu = test::FindPopupMenu(::GetCurrentProcessId()); menu && !dismissed) {
        dismissed = true;
        ::EndMenu();
      }
    });
    SendIconEvent(WM_CONTEXTMENU);
  }
  EXPECT_TRUE(dismissed);
  EXPECT_TRUE(g_opened.empty());
  EXPECT_FALSE(main_->Visible());
  ASSERT_TRUE(ChooseFromMenu(1));
  EXPECT_TRUE(PumpUntil([&] { return !g_opened.empty(); }, 2000));
}

TEST_F(TrayIconTest, TaskbarCreatedAddsTheIconAgainInItsState) {
  StartTray();
  AttachFakeClient();
  EXPECT_EQ(LastChange()->Tip(), kLinked);
  g_shell_calls.clear();
  ::SendMessageW(Application::Instance().Handle(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  ASSERT_EQ(g_shell_calls.size(), 2u);
  EXPECT_EQ(g_shell_calls[0].message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(g_shell_calls[0].Tip(), kLinked);
  EXPECT_EQ(g_shell_calls[0].data.hIcon, tray_->Picture(LinkDisplay::Linked));
  EXPECT_EQ(g_shell_calls[1].message, static_cast<DWORD>(NIM_SETVERSION));

  // A taskbar that announces itself while it still holds the icon (as at a change of the screen's
  // scale) refuses to add it again: it is changed in place and still removed at the end.
  g_shell_calls.clear();
  g_shell_refuses = {NIM_ADD};
  ::SendMessageW(Application::Instance().Handle(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  ASSERT_GE(g_shell_calls.size(), 2u);
  EXPECT_EQ(g_shell_calls[1].message, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_EQ(g_shell_calls[1].Tip(), kLinked);
  EXPECT_TRUE(tray_->Icon().Shown());
  tray_.reset();
  EXPECT_EQ(g_shell_calls.back().message, static_cast<DWORD>(NIM_DELETE));
}

TEST_F(TrayIconTest, AShellThatRefusesTheIconLeavesTheProgramAsItIs) {
  g_shell_refuses = kNoShell;
  StartTray();
  EXPECT_FALSE(tray_->Icon().Shown());
  main_->Show();
  PumpFor(20);
  EXPECT_TRUE(main_->Visible());
  // The link goes on, and each change tries the shell again.
  AttachFakeClient();
  EXPECT_EQ(tray_->State().Display(), LinkDisplay::Linked);
  ASSERT_NE(Last(NIM_ADD), nullptr);
  EXPECT_EQ(Last(NIM_ADD)->Tip(), kLinked);
  // A shell that starts later announces its taskbar: the icon is added then.
  g_shell_refuses.clear();
  ::SendMessageW(Application::Instance().Handle(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_TRUE(tray_->Icon().Shown());
  EXPECT_EQ(LastChange()->Tip(), kLinked);
  // A shell that goes away again: the change fails, and adding it anew with the new state is tried.
  g_shell_refuses = kNoShell;
  SetDestinationFolder(folder_.Path());
  NotifyFromFakeClient("CALL 5 PARTNER_HANDLE anna.k");
  EXPECT_EQ(tray_->State().Display(), LinkDisplay::Recording);
  EXPECT_FALSE(tray_->Icon().Shown());
  EXPECT_EQ(Last(NIM_ADD)->Tip(), kRecordingAnna);
}

// At logon the shell's add routinely times out. A failed add is tried again on a timer of the
// application window, each wait twice the last, at most a minute, until the shell takes the icon.
TEST_F(TrayIconTest, AFailedAddIsTriedAgainOnATimerUntilTheShellTakesIt) {
  g_shell_refuses = kNoShell;
  StartTray();
  ASSERT_FALSE(tray_->Icon().Shown());
  EXPECT_EQ(Count(NIM_ADD), 1);
  EXPECT_EQ(tray_->Icon().RetryDelay(), NotifyIcon::kFirstRetryDelayMs);
  // The first two tries come from the real timer.
  for (const int adds : {2, 3}) {
    ASSERT_TRUE(PumpUntil([&] { return Count(NIM_ADD) == adds; }, 10000)) << adds;
  }
  EXPECT_EQ(tray_->Icon().RetryDelay(), 4000u);
  // The later ones, driven by the timer's own message.
  const HWND application = Application::Instance().Handle();
  const UINT_PTR timer = tray_->Icon().RetryTimerId();
  for (const UINT next : {8000u, 16000u, 32000u, 60000u, 60000u}) {
    const int adds = Count(NIM_ADD);
    ::SendMessageW(application, WM_TIMER, timer, 0);
    EXPECT_EQ(Count(NIM_ADD), adds + 1);
    EXPECT_EQ(tray_->Icon().RetryDelay(), next);
  }
  EXPECT_EQ(Last(NIM_ADD)->Tip(), kWaiting);
  EXPECT_EQ(Last(NIM_ADD)->data.hWnd, application);

  // A change of state meanwhile tries at once and keeps the timer's wait.
  AttachFakeClient();
  EXPECT_EQ(Last(NIM_ADD)->Tip(), kLinked);
  EXPECT_EQ(tray_->Icon().RetryDelay(), 60000u);

  // The shell takes it: added in its present state, and no more tries.
  g_shell_refuses.clear();
  ::SendMessageW(application, WM_TIMER, timer, 0);
  EXPECT_TRUE(tray_->Icon().Shown());
  EXPECT_EQ(Last(NIM_ADD)->Tip(), kLinked);
  EXPECT_EQ(Last(NIM_SETVERSION)->data.uVersion, static_cast<UINT>(NOTIFYICON_VERSION_4));
  EXPECT_EQ(tray_->Icon().RetryDelay(), 0u);
  const int adds = Count(NIM_ADD);
  ::SendMessageW(application, WM_TIMER, timer, 0);
  EXPECT_EQ(Count(NIM_ADD), adds) << "a stray tick adds nothing";

  // Lost again later: the waits start from one second again.
  g_shell_refuses = kNoShell;
  NotifyFromFakeClient("CALL 5 STATUS INPROGRESS");
  SetDestinationFolder(folder_.Path());
  NotifyFromFakeClient("CALL 5 PARTNER_HANDLE anna.k");
  EXPECT_FALSE(tray_->Icon().Shown());
  EXPECT_EQ(tray_->Icon().RetryDelay(), NotifyIcon::kFirstRetryDelayMs);
}

// An add the shell reported failed may still have been applied (it timed out): every end deletes the
// icon all the same, and no try comes after it.
TEST_F(TrayIconTest, AnIconWhoseAddFailedIsStillDeletedAtTheEnd) {
  struct End {
    const char* name;
    std::function<void()> end;
  } ends[] = {
      {"the icon goes", [this] { tray_.reset(); }},
      {"the session ends",
       [] { ::SendMessageW(Application::Instance().Handle(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF); }},
  };
  for (const End& end : ends) {
    SCOPED_TRACE(end.name);
    g_shell_calls.clear();
    g_shell_refuses = {NIM_ADD, NIM_MODIFY};
    StartTray();
    ASSERT_FALSE(tray_->Icon().Shown());
    end.end();
    ASSERT_EQ(Count(NIM_DELETE), 1);
    EXPECT_EQ(Last(NIM_DELETE)->data.uID, TrayIcon::kIconId);
    EXPECT_EQ(Last(NIM_DELETE)->data.hWnd, Application::Instance().Handle());
    const int adds = Count(NIM_ADD);
    PumpFor(1500);
    EXPECT_EQ(Count(NIM_ADD), adds) << "no try after the end";
    tray_.reset();
    EXPECT_EQ(Count(NIM_DELETE), 1) << "deleted once";
  }
}

TEST_F(TrayIconTest, EndingTheSessionRemovesTheIcon) {
  StartTray();
  ::SendMessageW(Application::Instance().Handle(), WM_ENDSESSION, FALSE, 0);
  EXPECT_TRUE(tray_->Icon().Shown()) << "the session goes on";
  EXPECT_EQ(Count(NIM_DELETE), 0);
  ::SendMessageW(Application::Instance().Handle(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  EXPECT_FALSE(tray_->Icon().Shown());
  EXPECT_EQ(Count(NIM_DELETE), 1);
}

TEST_F(TrayIconTest, TheRealShellTakesTheIconAndAClickOnItShowsTheWindow) {
  NotifyIconCall = previous_notify_;
  const std::size_t before = WineTrayIcons().size();
  StartTray();
  ASSERT_TRUE(tray_->Icon().Shown()) << "Wine's Shell_NotifyIconW took the icon";
  std::vector<HWND> icons;
  ASSERT_TRUE(PumpUntil([&] { return (icons = WineTrayIcons()).size() == before + 1; }, 5000));
  AttachFakeClient();
  EXPECT_TRUE(tray_->Icon().Shown()) << "changed in place";

  ::SendMessageW(Application::Instance().Handle(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  PumpFor(300);
  EXPECT_EQ(WineTrayIcons().size(), before + 1) << "added again, not twice";
  icons = WineTrayIcons();

  // A real click on the icon reaches the program as a selection.
  main_->Hide();
  RECT rect{};
  HWND icon = icons.back();
  ASSERT_TRUE(::GetWindowRect(icon, &rect));
  test::ClickAt({(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
  EXPECT_TRUE(PumpUntil([&] { return main_->Visible(); }, 5000));

  tray_.reset();
  EXPECT_TRUE(PumpUntil([&] { return WineTrayIcons().size() == before; }, 5000)) << "no icon left behind";
}

}  // namespace
}  // namespace callwright
