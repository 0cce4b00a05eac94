// Callwright.exe as real processes: a copy in a temporary folder (so its config.ini and Records
// folder land there), started, asked to show by second starts, and ended by its Close button.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>

#include "support/gui_helpers_win.h"

namespace callwright {
namespace {

namespace fs = std::filesystem;
using gui_helpers::ChildProcess;
using gui_helpers::MessageBoxAnswerer;
using gui_helpers::TempFolder;

constexpr wchar_t kMainCaption[] = L"Callwright [\u2022]";

// Waits without a message loop of its own (this process has no windows).
bool WaitFor(const std::function<bool()>& done, DWORD timeout_ms = 10000) {
  const ULONGLONG end = ::GetTickCount64() + timeout_ms;
  while (!done()) {
    if (::GetTickCount64() >= end) return false;
    ::Sleep(20);
  }
  return true;
}

HWND FindButton(HWND window, const std::wstring& caption) {
  struct Search {
    const std::wstring* caption;
    HWND found;
  } search{&caption, nullptr};
  ::EnumChildWindows(
      window,
      [](HWND child, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        wchar_t text[64] = {};
        ::GetWindowTextW(child, text, 64);
        if (*s->caption != text) return TRUE;
        s->found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

class CallwrightProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy_file(gui_helpers::TestProgramFolder() / L"Callwright.exe", exe_);
    // Closing the main window then hides it without the notice.
    ASSERT_TRUE(::WritePrivateProfileStringW(L"SYSTEM", L"info", L"1", (folder_.Path() / L"config.ini").c_str()));
  }

  std::unique_ptr<ChildProcess> Start(const std::wstring& arguments) {
    std::wstring line = L"\"" + exe_.wstring() + L"\"";
    if (!arguments.empty()) line += L" " + arguments;
    auto process = std::make_unique<ChildProcess>(exe_, line, folder_.Path());
    EXPECT_TRUE(process->Started());
    return process;
  }

  HWND MainWindow(const ChildProcess& process) const {
    return gui_helpers::FindProcessWindow(process.Id(), kMainCaption, false);
  }
  fs::path Records() const { return folder_.Path() / L"Records"; }
  bool Visible(HWND hwnd) const { return ::IsWindowVisible(hwnd) != FALSE; }

  // A second start: it must end by itself with exit code 0.
  void StartSecond(const std::wstring& arguments) {
    auto second = Start(arguments);
    DWORD exit_code = 1;
    EXPECT_TRUE(second->Wait(15000, &exit_code))
        << "second start with '" << std::string(arguments.begin(), arguments.end()) << "'";
    EXPECT_EQ(exit_code, 0u);
  }

  TempFolder folder_;
  fs::path exe_ = folder_.Path() / L"Callwright.exe";
};

TEST_F(CallwrightProcessTest, HiddenStartSecondStartsAndCloseButton) {
  auto first = Start(L"/hidden");
  HWND main = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (main = MainWindow(*first)) != nullptr && fs::exists(Records()); }));
  EXPECT_TRUE(WaitFor([&] { return !Visible(main); })) << "shown and hidden at once";
  ::Sleep(200);
  EXPECT_FALSE(Visible(main));

  // A second start shows the hidden window and runs its show sequence again.
  fs::remove(Records());
  StartSecond(L"");
  EXPECT_TRUE(WaitFor([&] { return Visible(main) && fs::exists(Records()); }));

  // While visible, a second start only brings it to the front: no show sequence.
  fs::remove(Records());
  StartSecond(L"/hidden");
  ::Sleep(200);
  EXPECT_TRUE(Visible(main));
  EXPECT_FALSE(fs::exists(Records()));

  // Closing only hides it; "/hidden" on a second start still shows it.
  ::PostMessageW(main, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return !Visible(main); }));
  StartSecond(L"/hidden");
  EXPECT_TRUE(WaitFor([&] { return Visible(main); }));
  EXPECT_TRUE(WaitFor([&] { return fs::exists(Records()); }));

  // Close: No keeps the process, Yes ends it with exit code 0.
  HWND close = FindButton(main, L"Close");
  ASSERT_NE(close, nullptr);
  {
    MessageBoxAnswerer no(L"Close process", IDNO);
    ::PostMessageW(close, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return no.Answered() == 1; }));
    EXPECT_EQ(no.LastText(), L"This will close the Callwright process, are you sure ?");
  }
  EXPECT_FALSE(first->Wait(300));
  std::atomic<bool> owned_by_application_window{false};
  MessageBoxAnswerer yes(L"Close process", IDYES, L"#32770", [&](HWND box) {
    wchar_t owner_class[64] = {};
    ::GetClassNameW(::GetWindow(box, GW_OWNER), owner_class, 64);
    owned_by_application_window = std::wstring(owner_class) == L"TApplication";
  });
  ::PostMessageW(close, BM_CLICK, 0, 0);
  DWORD exit_code = 1;
  ASSERT_TRUE(first->Wait(10000, &exit_code));
  EXPECT_EQ(yes.Answered(), 1);
  EXPECT_TRUE(owned_by_application_window);
  EXPECT_EQ(exit_code, 0u);
}

TEST_F(CallwrightProcessTest, OnlyAnExactFirstArgumentHides) {
  for (const wchar_t* arguments : {L"/HIDDEN", L"other /hidden"}) {
    auto process = Start(arguments);
    HWND main = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (main = MainWindow(*process)) != nullptr && Visible(main); }));
    ::Sleep(300);
    EXPECT_TRUE(Visible(main)) << std::string(arguments, arguments + wcslen(arguments));
    ::TerminateProcess(process->Handle(), 0);
    process->Wait(5000);
  }
}

}  // namespace
}  // namespace callwright
