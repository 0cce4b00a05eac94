// Callwright.exe as real processes: a copy in a temporary folder (so its config.ini and Records
// folder land there), started, asked to show by second starts, and ended by its Close button.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/files_win.h"
#include "support/gui_win.h"
#include "support/process_win.h"
#include "support/temp_dir_win.h"
#include "support/window_answerer_win.h"
#include "ui/program_windows.h"
#include "ui/toolkit/application.h"
#include "ui/toolkit/accessible.h"
#include "ui/toolkit/notify_icon.h"

namespace callwright {
namespace {

namespace fs = std::filesystem;
using test::ChildProcess;
using test::FindButton;
using test::WindowAnswerer;

constexpr wchar_t kMainCaption[] = L"Callwright [\u2022]";

// Pumps meanwhile, so that the answerers' ticks run.
bool WaitFor(const std::function<bool()>& done, DWORD timeout_ms = 10000) { return test::PumpUntil(done, timeout_ms); }

// The hidden application window of a process.
HWND ApplicationWindow(DWORD process_id) {
  for (HWND window : test::ProcessWindows(process_id)) {
    if (test::ClassName(window) == L"TApplication") return window;
  }
  return nullptr;
}

// The icons that Wine's system tray shows.
int WineTrayIconCount() { return static_cast<int>(test::WineTrayIcons().size()); }

class CallwrightProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy_file(test::ExePath(L"Callwright.exe"), exe_);
    // Closing the main window then hides it without the notice.
    ASSERT_TRUE(::WritePrivateProfileStringW(L"SYSTEM", L"info", L"1", folder_.Join(L"config.ini").c_str()));
  }

  std::unique_ptr<ChildProcess> Start(const std::vector<std::wstring>& arguments) {
    return std::make_unique<ChildProcess>(exe_, arguments);
  }
  HWND MainWindow(const ChildProcess& process) const {
    return test::FindProcessWindow(process.Id(), kMainCaption, false);
  }
  fs::path Records() const { return folder_.Join(L"Records"); }
  static bool Visible(HWND hwnd) { return ::IsWindowVisible(hwnd) != FALSE; }

  // A second start: it ends by itself with exit code 0.
  void StartSecond(const std::vector<std::wstring>& arguments) {
    auto second = Start(arguments);
    EXPECT_TRUE(second->Wait(15000)) << "a second start ends by itself";
    EXPECT_EQ(second->ExitCode(), 0u);
  }

  // Key "path" of the copy's config.ini as the file holds it now (ANSI or UTF-16), or "<missing>".
  // Read from the file itself: this process's profile functions may keep an older copy.
  std::wstring StoredPath() const { return StoredValue(L"path"); }
  // A value of config.ini as the file holds it, or "<missing>".
  std::wstring StoredValue(const std::wstring& name) const {
    const std::string bytes = test::ReadBytes(folder_.Join(L"config.ini")).value_or("");
    std::wstring text;
    if (bytes.size() >= 2 && bytes.compare(0, 2, "\xFF\xFE") == 0) {
      text.assign(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    } else {
      text.assign(bytes.begin(), bytes.end());  // ASCII: a temporary folder
    }
    const std::size_t key = text.find(L"\n" + name + L"=");
    if (key == std::wstring::npos) return L"<missing>";
    const std::size_t from = key + name.size() + 2;
    return text.substr(from, text.find_first_of(L"\r\n", from) - from);
  }

  test::TempDir folder_;
  std::wstring exe_ = folder_.Join(L"Callwright.exe");
};

TEST_F(CallwrightProcessTest, HiddenStartSecondStartsAndCloseButton) {
  auto first = Start({L"/hidden"});
  HWND main = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (main = MainWindow(*first)) != nullptr && fs::exists(Records()); }));
  EXPECT_TRUE(WaitFor([&] { return !Visible(main); })) << "shown and hidden at once";
  test::PumpFor(200);
  EXPECT_FALSE(Visible(main));

  // A second start shows the hidden window and runs its show sequence again.
  fs::remove(Records());
  StartSecond({});
  EXPECT_TRUE(WaitFor([&] { return Visible(main) && fs::exists(Records()); }));

  // While visible, a second start only brings it to the front. (The Records folder is no sign of
  // a show sequence any more: a destination folder removed while the program runs is made again.)
  StartSecond({L"/hidden"});
  test::PumpFor(200);
  EXPECT_TRUE(Visible(main));

  // Closing only hides it; "/hidden" on a second start still shows it.
  ::PostMessageW(main, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return !Visible(main); }));
  StartSecond({L"/hidden"});
  EXPECT_TRUE(WaitFor([&] { return Visible(main); }));
  EXPECT_TRUE(WaitFor([&] { return fs::exists(Records()); }));

  // Close: No keeps the process, Yes ends it with exit code 0.
  HWND close = FindButton(main, L"Close");
  ASSERT_NE(close, nullptr);
  {
    WindowAnswerer no(L"#32770", L"Close process", IDNO);
    ::PostMessageW(close, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return no.Answered() == 1; }));
    EXPECT_EQ(no.LastText(), L"This will close the Callwright process, are you sure ?");
  }
  EXPECT_FALSE(first->Wait(300));
  HWND owner = nullptr;
  bool main_enabled = true;
  WindowAnswerer yes(L"#32770", L"Close process", IDYES, [&](HWND box) {
    owner = ::GetWindow(box, GW_OWNER);
    main_enabled = ::IsWindowEnabled(main) != FALSE;
  });
  ::PostMessageW(close, BM_CLICK, 0, 0);
  ASSERT_TRUE(first->Wait(10000));
  EXPECT_EQ(yes.Answered(), 1);
  EXPECT_EQ(owner, main) << "owned by the window it belongs to";
  EXPECT_FALSE(main_enabled) << "modal to it";
  EXPECT_EQ(first->ExitCode(), 0u);
}

// Watches a process from a thread of its own, as fast as it can, for its main window ever being
// visible: a flash of a few milliseconds is seen.
class VisibilityWatch {
 public:
  explicit VisibilityWatch(DWORD process_id)
      : thread_([this, process_id] {
          while (!stop_) {
            HWND main = test::FindProcessWindow(process_id, kMainCaption, false);
            if (main && ::IsWindowVisible(main)) seen_ = true;
          }
        }) {}
  ~VisibilityWatch() { Stop(); }
  VisibilityWatch(const VisibilityWatch&) = delete;
  VisibilityWatch& operator=(const VisibilityWatch&) = delete;
  bool Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return seen_;
  }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<bool> seen_{false};
  std::thread thread_;
};

TEST_F(CallwrightProcessTest, HiddenStartNeverShowsTheWindowAndItsFirstShowIsAFullOne) {
  auto first = Start({L"/hidden"});
  VisibilityWatch watch(first->Id());
  // The show sequence's work is done (the default folder is made) without the window.
  ASSERT_TRUE(WaitFor([&] { return fs::exists(Records()); }));
  test::PumpFor(500);
  EXPECT_FALSE(watch.Stop()) << "never visible, not even for an instant";
  HWND main = MainWindow(*first);
  ASSERT_NE(main, nullptr);

  // The first visible show: centred in the work area, with the show sequence run again.
  fs::remove(Records());
  StartSecond({});
  ASSERT_TRUE(WaitFor([&] { return Visible(main) && fs::exists(Records()); }));
  RECT shown{}, area{};
  ::GetWindowRect(main, &shown);
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  EXPECT_NEAR((shown.left + shown.right) / 2, (area.left + area.right) / 2, 1);
  EXPECT_NEAR((shown.top + shown.bottom) / 2, (area.top + area.bottom) / 2, 1);
  test::PumpFor(300);
  EXPECT_TRUE(Visible(main));
}

// A show request that comes right after a hidden start, at any moment once the main window exists,
// leaves the window visible: nothing of the hidden start hides it later.
TEST_F(CallwrightProcessTest, AShowRequestSoonAfterAHiddenStartEndsVisible) {
  const UINT show_request = ::RegisterWindowMessageW(L"CALLWRIGHTAPP");
  for (DWORD delay : {0, 30, 100}) {
    auto first = Start({L"/hidden"});
    HWND main = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (main = MainWindow(*first)) != nullptr; }, 15000));
    ::Sleep(delay);
    // What a second start broadcasts, sent to this instance only.
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(main, show_request, 0, 0, SMTO_ABORTIFHUNG, 10000, &ignored);
    EXPECT_TRUE(WaitFor([&] { return Visible(main); })) << delay << " ms";
    test::PumpFor(300);
    EXPECT_TRUE(Visible(main)) << delay << " ms: still visible";
    first->Terminate();
  }
  // The same with a real second start, begun as soon as the first one's window exists.
  auto first = Start({L"/hidden"});
  HWND main = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (main = MainWindow(*first)) != nullptr; }, 15000));
  StartSecond({});
  EXPECT_TRUE(WaitFor([&] { return Visible(main); }));
  test::PumpFor(300);
  EXPECT_TRUE(Visible(main));
}

// Logoff, shutdown and installers (Restart Manager) ask first: the answer is yes at once, with no
// notice. At the end of the session the settings window's folder is stored as its hide would store
// it, and the process ends as the Close button ends it.
TEST_F(CallwrightProcessTest, TheEndOfTheSessionIsNeverRefusedAndStoresTheOpenSettings) {
  const std::wstring config = folder_.Join(L"config.ini");
  // The notice is active: on a close it would show.
  ASSERT_TRUE(::WritePrivateProfileStringW(L"SYSTEM", L"info", L"0", config.c_str()));
  ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, config.c_str());  // written to the file now
  auto process = Start({});
  HWND main = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (main = MainWindow(*process)) != nullptr && Visible(main); }));
  HWND settings_button = FindButton(main, L"Settings");
  ASSERT_NE(settings_button, nullptr);
  ::PostMessageW(settings_button, BM_CLICK, 0, 0);
  HWND settings = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (settings = test::FindProcessWindow(process->Id(), L"Settings", true)) != nullptr; }));
  // A folder picked in the settings window and not yet stored.
  const std::wstring picked = folder_.Join(L"Picked");
  HWND box = ::FindWindowExW(::FindWindowExW(settings, nullptr, L"Button", L"Record Destination"), nullptr, L"Edit",
                             nullptr);
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(::SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(picked.c_str())));
  // And Opus picked as how recordings are kept.
  HWND format = ::FindWindowExW(settings, nullptr, L"ComboBox", nullptr);
  ASSERT_NE(format, nullptr);
  ASSERT_EQ(::SendMessageW(format, CB_SETCURSEL, 2, 0), 2);

  for (LPARAM reason : {LPARAM{0}, LPARAM{ENDSESSION_LOGOFF}, LPARAM{ENDSESSION_CLOSEAPP}}) {
    DWORD_PTR answer = 0;
    ASSERT_TRUE(::SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, reason, SMTO_ABORTIFHUNG, 5000, &answer))
        << "answered at once";
    EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE)) << reason;
  }
  test::PumpFor(300);
  EXPECT_EQ(test::FindProcessWindow(process->Id(), L"Info", true), nullptr) << "no notice";
  EXPECT_TRUE(Visible(main)) << "not hidden either";

  // A session that does not end after all changes nothing.
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutW(main, WM_ENDSESSION, FALSE, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
  EXPECT_FALSE(process->Wait(300));

  ::SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &ignored);
  ASSERT_TRUE(process->Wait(10000));
  EXPECT_EQ(process->ExitCode(), 0u);
  ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, config.c_str());  // drop any cached copy
  wchar_t stored[MAX_PATH] = {};
  ::GetPrivateProfileStringW(L"SYSTEM", L"path", L"", stored, MAX_PATH, config.c_str());
  EXPECT_EQ(std::wstring(stored), picked);
  ::GetPrivateProfileStringW(L"SYSTEM", L"format", L"<missing>", stored, MAX_PATH, config.c_str());
  EXPECT_EQ(std::wstring(stored), L"opus");
}

// The settings window's folder box of a process, found through its group.
HWND FolderBox(DWORD process_id) {
  HWND settings = test::FindProcessWindow(process_id, L"Settings", false);
  if (!settings) return nullptr;
  return ::FindWindowExW(::FindWindowExW(settings, nullptr, L"Button", L"Record Destination"), nullptr, L"Edit",
                         nullptr);
}

// Every way out ends the program as the Close button does: the notification icon removed, a folder
// picked in the settings window (still open or not, stored or not) stored, exit code 0. A close of
// the hidden application window is one of them (taskkill without /F posts WM_CLOSE to every
// top-level window of the process): it never leaves a process behind that records nothing. So is
// the Restart Manager's close (an installer or an update) with ENDSESSION_CLOSEAPP.
TEST_F(CallwrightProcessTest, EveryWayOutStoresThePickedFolderRemovesTheIconAndEndsWithZero) {
  using Windows = std::vector<HWND>;
  struct Way {
    const char* name;
    bool hidden;  // started with "/hidden"
    std::function<void(DWORD process_id, HWND main, HWND application)> end;
  } ways[] = {
      {"WM_CLOSE to every top-level window (taskkill)", true,
       [](DWORD process_id, HWND, HWND) {
         for (HWND window : test::ProcessWindows(process_id)) ::PostMessageW(window, WM_CLOSE, 0, 0);
       }},
      {"WM_CLOSE to the application window", true,
       [](DWORD, HWND, HWND application) { ::PostMessageW(application, WM_CLOSE, 0, 0); }},
      {"SC_CLOSE to the application window", true,
       [](DWORD, HWND, HWND application) { ::PostMessageW(application, WM_SYSCOMMAND, SC_CLOSE, 0); }},
      {"the Restart Manager's ENDSESSION_CLOSEAPP to every top-level window", true,
       [](DWORD process_id, HWND, HWND application) {
         // As the Restart Manager: the query to every window first, then the end to every window.
         const Windows windows = test::ProcessWindows(process_id);
         for (HWND window : windows) {
           DWORD_PTR answer = 0;
           EXPECT_TRUE(::SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP, SMTO_ABORTIFHUNG,
                                             5000, &answer));
           const std::wstring class_name = test::ClassName(window);
           if (class_name == L"TApplication" || class_name.starts_with(L"TFrm")) {
             EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE)) << class_name.c_str();
           }
         }
         // The application window first: it too must let the end come.
         Windows order{application};
         for (HWND window : windows) {
           if (window != application) order.push_back(window);
         }
         for (HWND window : order) {
           DWORD_PTR ignored = 0;
           ::SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP, SMTO_ABORTIFHUNG, 5000, &ignored);
         }
       }},
      {"Close button answered Yes", false,
       [](DWORD, HWND main, HWND) {
         WindowAnswerer yes(L"#32770", L"Close process", IDYES);
         ::PostMessageW(FindButton(main, L"Close"), BM_CLICK, 0, 0);
         WaitFor([&] { return yes.Answered() == 1; });
       }},
      {"Close Callwright in the icon's menu answered Yes", true,
       [](DWORD process_id, HWND, HWND application) {
         WindowAnswerer yes(L"#32770", L"Close process", IDYES);
         ::PostMessageW(application, kNotifyIconMessage, MAKEWPARAM(200, 200), MAKELPARAM(WM_CONTEXTMENU, 1));
         ASSERT_TRUE(WaitFor([&] { return test::FindPopupMenu(process_id) != nullptr; }, 5000));
         test::PressKey('C');
         WaitFor([&] { return yes.Answered() == 1; });
       }},
  };
  bool first_way = true;
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    // Made again by the start's show sequence, after which the folder box is filled.
    fs::remove_all(Records());
    fs::remove(folder_.Join(L"config.ini"));
    ASSERT_TRUE(::WritePrivateProfileStringW(L"SYSTEM", L"info", L"1", folder_.Join(L"config.ini").c_str()));
    ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, folder_.Join(L"config.ini").c_str());
    const int icons_before = WineTrayIconCount();
    // The first way records a call first: the program must be doing its work when it is closed.
    // Started first, so that the program's discovery at its start finds it.
    std::unique_ptr<ChildProcess> client;
    if (first_way) {
      client = std::make_unique<ChildProcess>(test::ExePath(L"callwright-clientsim.exe"),
                                              std::vector<std::wstring>{L"--partner", L"carla", L"--call", L"42",
                                                                        L"--call-ms", L"200", L"--delay", L"1000",
                                                                        L"--timeout", L"30000", L"--log",
                                                                        folder_.Join(L"commands.txt")});
      ASSERT_TRUE(WaitFor([] { return ::FindWindowW(L"CallwrightClientSim", nullptr) != nullptr; }, 15000));
    }
    auto process = Start(way.hidden ? std::vector<std::wstring>{L"/hidden"} : std::vector<std::wstring>{});
    HWND main = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (main = MainWindow(*process)) != nullptr && fs::exists(Records()); }, 15000));
    ASSERT_TRUE(WaitFor([&] { return WineTrayIconCount() == icons_before + 1; }));
    ASSERT_TRUE(WaitFor([&] { return Visible(main) == !way.hidden; }));
    const HWND application = ApplicationWindow(process->Id());
    ASSERT_NE(application, nullptr);
    if (client) {
      ASSERT_TRUE(client->Wait(25000));
      EXPECT_EQ(client->ExitCode(), 0u) << "the client wrote the recording it was told to";
      bool recorded = false;
      for (const auto& entry : fs::directory_iterator(Records())) {
        recorded = recorded || entry.path().filename().wstring().ends_with(L"_carla.wav");
      }
      EXPECT_TRUE(recorded) << test::ReadBytes(folder_.Join(L"commands.txt")).value_or("no log");
    }
    first_way = false;

    // A folder picked in the settings window, which was never shown or hidden since. It is made
    // once the main window has painted or done its hidden start, so it may come after the icon.
    const std::wstring picked = folder_.Join(L"Picked");
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = FolderBox(process->Id())) != nullptr; }));
    ASSERT_TRUE(::SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(picked.c_str())));
    EXPECT_EQ(StoredPath(), L"<missing>");

    way.end(process->Id(), main, application);
    if (!process->Wait(10000)) {
      ADD_FAILURE() << "still running";
      continue;
    }
    EXPECT_EQ(process->ExitCode(), 0u);
    EXPECT_EQ(WineTrayIconCount(), icons_before) << "the icon went before the process";
    EXPECT_EQ(StoredPath(), picked);
    EXPECT_EQ(StoredValue(L"format"), L"<missing>") << "the settings window, never shown, stores no format";
  }
}

// The Restart Manager starts the program again in the background after an update ended it, and
// only then: not after a crash, a hang or a restart of the system (the autostart entry's duty).
std::vector<std::pair<std::wstring, DWORD>> g_restarts;
HRESULT g_restart_answer = S_OK;
HRESULT WINAPI RecordRestart(PCWSTR command_line, DWORD flags) {
  g_restarts.emplace_back(command_line ? command_line : L"<null>", flags);
  return g_restart_answer;
}

TEST(RestartRegistration, AskedForWithHiddenAfterAnUpdateOnly) {
  const RestartRegistration previous = RegisterRestartCall;
  RegisterRestartCall = &RecordRestart;
  struct Case {
    HRESULT answer;
    bool registered;
  } cases[] = {{S_OK, true}, {E_FAIL, false}, {E_INVALIDARG, false}};
  for (const Case& c : cases) {
    g_restarts.clear();
    g_restart_answer = c.answer;
    EXPECT_EQ(RegisterProgramRestart(), c.registered) << std::hex << c.answer;
    ASSERT_EQ(g_restarts.size(), 1u);
    EXPECT_EQ(g_restarts[0].first, L"/hidden");
    EXPECT_EQ(g_restarts[0].second, static_cast<DWORD>(RESTART_NO_CRASH | RESTART_NO_HANG | RESTART_NO_REBOOT));
  }
  // A command line beyond the system's limit is never handed over.
  g_restarts.clear();
  EXPECT_FALSE(Application::Instance().RegisterRestart(std::wstring(RESTART_MAX_CMD_LINE, L'x')));
  EXPECT_TRUE(g_restarts.empty());
  RegisterRestartCall = previous;
}

TEST_F(CallwrightProcessTest, OnlyAnExactFirstArgumentHides) {
  const std::vector<std::vector<std::wstring>> cases{{L"/HIDDEN"}, {L"other", L"/hidden"}, {L"/hidden "}};
  for (const std::vector<std::wstring>& arguments : cases) {
    auto process = Start(arguments);
    HWND main = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (main = MainWindow(*process)) != nullptr && Visible(main); }));
    test::PumpFor(300);
    EXPECT_TRUE(Visible(main)) << arguments.size() << " argument(s)";
    process->Terminate();
  }
}

TEST_F(CallwrightProcessTest, NotificationIconFromAHiddenStartAndCloseThroughItsMenu) {
  const int icons_before = WineTrayIconCount();
  auto first = Start({L"/hidden"});
  HWND main = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (main = MainWindow(*first)) != nullptr && fs::exists(Records()); }));
  EXPECT_TRUE(WaitFor([&] { return !Visible(main); }));
  EXPECT_TRUE(WaitFor([&] { return WineTrayIconCount() == icons_before + 1; })) << "added at a hidden start too";
  const HWND application = ApplicationWindow(first->Id());
  ASSERT_NE(application, nullptr);

  // Close Callwright, chosen by its access key as a user would (the other process's menu cannot be
  // read from here), asks the Close button's question.
  auto choose_close = [&] {
    ::PostMessageW(application, kNotifyIconMessage, MAKEWPARAM(200, 200), MAKELPARAM(WM_CONTEXTMENU, 1));
    if (!WaitFor([&] { return test::FindPopupMenu(first->Id()) != nullptr; }, 5000)) return false;
    test::PressKey('C');
    return true;
  };
  {
    WindowAnswerer no(L"#32770", L"Close process", IDNO);
    ASSERT_TRUE(choose_close());
    ASSERT_TRUE(WaitFor([&] { return no.Answered() == 1; }));
    EXPECT_EQ(no.LastText(), L"This will close the Callwright process, are you sure ?");
  }
  EXPECT_FALSE(first->Wait(300));
  EXPECT_EQ(WineTrayIconCount(), icons_before + 1);

  // Yes ends the process with exit code 0, and the icon goes with it.
  WindowAnswerer yes(L"#32770", L"Close process", IDYES);
  ASSERT_TRUE(choose_close());
  ASSERT_TRUE(first->Wait(10000));
  EXPECT_EQ(yes.Answered(), 1);
  EXPECT_EQ(first->ExitCode(), 0u);
  // Gone before the process ended: Wine's tray would drop a dead process's icon by itself only a
  // moment later (Windows' taskbar not before the mouse passes over it).
  EXPECT_EQ(WineTrayIconCount(), icons_before) << "no icon left behind";
}

TEST_F(CallwrightProcessTest, EveryEndRemovesTheNotificationIconFirst) {
  struct End {
    const char* name;
    std::function<void(HWND main)> end;
  } ends[] = {
      {"Close button answered Yes",
       [](HWND main) {
         WindowAnswerer yes(L"#32770", L"Close process", IDYES);
         ::PostMessageW(FindButton(main, L"Close"), BM_CLICK, 0, 0);
         WaitFor([&] { return yes.Answered() == 1; });
       }},
      {"end of the session",
       [](HWND main) {
         DWORD_PTR ignored = 0;
         ::SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &ignored);
         ::SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &ignored);
       }},
  };
  for (const End& end : ends) {
    const int icons_before = WineTrayIconCount();
    auto first = Start({});
    HWND main = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (main = MainWindow(*first)) != nullptr && Visible(main); })) << end.name;
    ASSERT_TRUE(WaitFor([&] { return WineTrayIconCount() == icons_before + 1; })) << end.name;
    end.end(main);
    ASSERT_TRUE(first->Wait(10000)) << end.name;
    EXPECT_EQ(first->ExitCode(), 0u) << end.name;
    EXPECT_EQ(WineTrayIconCount(), icons_before) << end.name << ": removed before the process ended";
  }
}

}  // namespace
}  // namespace callwright
