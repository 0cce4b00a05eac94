// Callwright.exe as real processes: a copy in a temporary folder (so its config.ini and Records
// folder land there), started, asked to show by second starts, and ended by its Close button.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/gui_win.h"
#include "support/process_win.h"
#include "support/temp_dir_win.h"
#include "support/window_answerer_win.h"
#include "ui/toolkit/notify_icon.h"

namespace callwright {
namespace {

namespace fs = std::filesystem;
using test::ChildProcess;
using test::WindowAnswerer;

constexpr wchar_t kMainCaption[] = L"Callwright [\u2022]";

// Pumps meanwhile, so that the answerers' ticks run.
bool WaitFor(const std::function<bool()>& done, DWORD timeout_ms = 10000) { return test::PumpUntil(done, timeout_ms); }

HWND FindButton(HWND window, const std::wstring& caption) {
  struct Search {
    const std::wstring* caption;
    HWND found;
  } search{&caption, nullptr};
  ::EnumChildWindows(
      window,
      [](HWND child, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        if (test::WindowText(child) != *s->caption) return TRUE;
        s->found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The hidden application window of a process.
HWND ApplicationWindow(DWORD process_id) {
  struct Search {
    DWORD process_id;
    HWND found;
  } search{process_id, nullptr};
  ::EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(param);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        wchar_t name[64] = {};
        ::GetClassNameW(window, name, 64);
        if (owner != s.process_id || std::wstring(name) != L"TApplication") return TRUE;
        s.found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The icons that Wine's system tray shows, each a window of its own.
int WineTrayIconCount() {
  int count = 0;
  ::EnumWindows(
      [](HWND top, LPARAM param) -> BOOL {
        ::EnumChildWindows(
            top,
            [](HWND child, LPARAM p) -> BOOL {
              wchar_t name[64] = {};
              ::GetClassNameW(child, name, 64);
              if (std::wstring(name) == L"__winex11_tray_icon" && ::IsWindowVisible(child)) ++*reinterpret_cast<int*>(p);
              return TRUE;
            },
            param);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  return count;
}

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

  // While visible, a second start only brings it to the front: no show sequence.
  fs::remove(Records());
  StartSecond({L"/hidden"});
  test::PumpFor(200);
  EXPECT_TRUE(Visible(main));
  EXPECT_FALSE(fs::exists(Records()));

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
  bool owned_by_application_window = false;
  WindowAnswerer yes(L"#32770", L"Close process", IDYES, [&](HWND box) {
    wchar_t owner_class[64] = {};
    ::GetClassNameW(::GetWindow(box, GW_OWNER), owner_class, 64);
    owned_by_application_window = std::wstring(owner_class) == L"TApplication";
  });
  ::PostMessageW(close, BM_CLICK, 0, 0);
  ASSERT_TRUE(first->Wait(10000));
  EXPECT_EQ(yes.Answered(), 1);
  EXPECT_TRUE(owned_by_application_window);
  EXPECT_EQ(first->ExitCode(), 0u);
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

TEST_F(CallwrightProcessTest, TheCloseButtonRemovesTheNotificationIcon) {
  const int icons_before = WineTrayIconCount();
  auto first = Start({});
  HWND main = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (main = MainWindow(*first)) != nullptr && Visible(main); }));
  ASSERT_TRUE(WaitFor([&] { return WineTrayIconCount() == icons_before + 1; }));
  WindowAnswerer yes(L"#32770", L"Close process", IDYES);
  ::PostMessageW(FindButton(main, L"Close"), BM_CLICK, 0, 0);
  ASSERT_TRUE(first->Wait(10000));
  EXPECT_EQ(first->ExitCode(), 0u);
  EXPECT_EQ(WineTrayIconCount(), icons_before) << "removed before the process ended";
}

}  // namespace
}  // namespace callwright
