// How the program's windows behave on the desktop: the keyboard (real key events through the
// message loop), minimised windows, placement on a monitor, and who owns the boxes they open.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h.
#include <ole2.h>
#include <shellapi.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "base/gdi_scopes.h"
#include "core/destination_folder.h"
#include "core/settings_win.h"
#include "core/startup_win.h"
#include "support/config_file_win.h"
#include "support/files_win.h"
#include "support/gui_win.h"
#include "support/program_windows_fixture_win.h"
#include "support/run_key_win.h"
#include "support/temp_dir_win.h"
#include "support/window_answerer_win.h"
#include "ui/program_windows.h"
#include "ui/toolkit/application.h"
#include "ui/toolkit/message_box.h"
#include "ui/toolkit/placement.h"
#include "ui/toolkit/shell.h"

namespace callwright {
namespace {

namespace fs = std::filesystem;
using test::ReadConfig;
using test::RunLoopFor;
using test::RunLoopUntil;
using test::WindowAnswerer;
using test::WriteConfig;

// A real key press, as the keyboard makes it, with Shift held when asked.
void PressKey(WORD key, bool shift = false) {
  if (shift) {
    test::PressKeyWith(VK_SHIFT, key);
  } else {
    test::PressKey(key);
  }
  RunLoopFor(60);
}

class DesktopTest : public test::ProgramWindowsTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(user_.Redirected());
    ProgramWindowsTest::SetUp();
  }

  // Shown and active, as a click on it leaves it: key presses go to it.
  void ShowActive(Form& form) {
    form.Show();
    ::SetForegroundWindow(form.Handle());
    ASSERT_TRUE(RunLoopUntil([&] { return ::GetForegroundWindow() == form.Handle(); })) << "foreground";
    // The main window's list is built by a worker: wait for its rows.
    ASSERT_TRUE(RunLoopUntil([&] { return !main_->Probing(); })) << "listed";
  }

  // One recording, listed and selected, with Open and Delete enabled; its path goes to file.
  void ShowOneSelectedRecording(const test::TempDir& folder, std::wstring& file) {
    file = folder.Join(L"05032013_141516_anna.wav");
    ASSERT_TRUE(test::WriteBytes(file, "RIFF"));
    ASSERT_TRUE(WriteConfig(L"path", folder.Path()));
    ShowActive(*main_);
    ASSERT_EQ(main_->lst.Count(), 1);
    main_->lst.SetSelected(0, true);
    ASSERT_TRUE(RunLoopUntil([&] { return main_->btnopen.Enabled() && main_->btndelete.Enabled(); }));
  }

  // Ticking the autostart box writes the Run value: below a scratch key, never the real one.
  test::RedirectedCurrentUser user_;
};

// ---- keyboard

TEST_F(DesktopTest, TabSpaceAndEscInTheSettingsWindow) {
  test::TempDir folder;
  ShowActive(*main_);
  SetDestinationFolder(folder.Path());  // as a folder picked in the settings window
  ShowActive(*settings_);
  EXPECT_EQ(::GetFocus(), settings_->edtpath.Handle()) << "first in the tab order";

  // The speed buttons (the folder button and OK) take no focus, nor does the format's label: Tab and
  // Shift+Tab move between the folder box, the check box and the format's list, either way round.
  struct Step {
    bool shift;
    HWND expected;
  };
  const Step steps[] = {{false, settings_->startup.Handle()},   {false, settings_->cmbformat.Handle()},
                        {false, settings_->edtpath.Handle()},   {true, settings_->cmbformat.Handle()},
                        {true, settings_->startup.Handle()},    {true, settings_->edtpath.Handle()},
                        {false, settings_->startup.Handle()}};
  for (const Step& step : steps) {
    PressKey(VK_TAB, step.shift);
    EXPECT_EQ(::GetFocus(), step.expected) << (step.shift ? "Shift+Tab" : "Tab");
  }

  // Space ticks the focused box, which writes the autostart entry at once.
  ASSERT_FALSE(settings_->startup.Checked());
  PressKey(VK_SPACE);
  EXPECT_TRUE(settings_->startup.Checked());
  EXPECT_TRUE(IsInStartup(L"Callwright"));

  // Esc hides it as its close box does: the folder is stored.
  PressKey(VK_ESCAPE);
  EXPECT_TRUE(RunLoopUntil([&] { return !settings_->Visible(); }));
  EXPECT_EQ(ReadConfig(L"path"), folder.Path());
  EXPECT_TRUE(main_->Visible());
}

TEST_F(DesktopTest, EscHidesTheAboutWindowAtOnceAndTabStaysOnItsText) {
  ShowActive(*main_);
  ShowActive(*about_);
  EXPECT_EQ(::GetFocus(), about_->memoabout.Handle());
  PressKey(VK_TAB);
  EXPECT_EQ(::GetFocus(), about_->memoabout.Handle()) << "the OK button takes no focus";
  PressKey(VK_ESCAPE);
  EXPECT_TRUE(RunLoopUntil([&] { return !about_->Visible(); }));
  EXPECT_FALSE(about_->blend.Enabled()) << "hidden at once, as by the close box, without the fade";
  EXPECT_TRUE(main_->Visible()) << "Esc never hides the main window";
}

TEST_F(DesktopTest, TabInTheMainWindowGoesBetweenTheListAndTheSearchBoxOnly) {
  ShowActive(*main_);
  ::SetFocus(main_->lst.Handle());
  for (bool shift : {false, true}) {
    PressKey(VK_TAB, shift);
    EXPECT_EQ(::GetFocus(), main_->edtsearch.Handle()) << "no speed button takes the focus";
    PressKey(VK_TAB, shift);
    EXPECT_EQ(::GetFocus(), main_->lst.Handle()) << "no speed button takes the focus";
  }
  PressKey(VK_ESCAPE);
  EXPECT_TRUE(main_->Visible());
}

// Alt held while the letter is pressed, as the keyboard makes it.
void PressAltKey(wchar_t letter) {
  test::PressKeyWith(VK_MENU, static_cast<WORD>(letter));  // 'A'..'Z' are their own virtual keys
  RunLoopFor(80);
}

TEST_F(DesktopTest, AltAndTheUnderlinedLetterPressEachButtonAndBox) {
  ShowActive(*main_);
  std::vector<std::string> pressed;
  struct Key {
    Form* form;
    wchar_t letter;
    const char* what;
  };
  // Every button and box records its click instead of acting.
  struct Recorded {
    std::function<void()>* on_click;
    const char* what;
  };
  const Recorded recorded[] = {
      {&main_->btnrefresh.OnClick, "Refresh"},      {&main_->btnfol.OnClick, "Browse"},
      {&main_->btndelete.OnClick, "Delete"},        {&main_->btnopen.OnClick, "Open"},
      {&main_->btnclose.OnClick, "Close"},          {&main_->btnabout.OnClick, "About"},
      {&main_->btnsettings.OnClick, "Settings"},    {&settings_->startup.OnClick, "autostart"},
      {&settings_->btnok.OnClick, "settings OK"},   {&info_->c.OnClick, "notice box"},
      {&about_->SpeedButton2.OnClick, "about OK"},
  };
  for (const Recorded& r : recorded) *r.on_click = [&pressed, what = r.what] { pressed.emplace_back(what); };
  // Open and Delete act on a selection; the timer would take their enabling back.
  main_->TimerSel.SetEnabled(false);
  main_->btnopen.SetEnabled(true);
  main_->btndelete.SetEnabled(true);

  const Key keys[] = {
      {main_, 'R', "Refresh"},      {main_, 'B', "Browse"},     {main_, 'D', "Delete"},
      {main_, 'O', "Open"},         {main_, 'C', "Close"},      {main_, 'A', "About"},
      {main_, 'S', "Settings"},     {settings_, 'W', "autostart"}, {settings_, 'O', "settings OK"},
      {info_, 'D', "notice box"},   {about_, 'O', "about OK"},
  };
  for (const Key& key : keys) {
    if (!key.form->Visible() || ::GetForegroundWindow() != key.form->Handle()) ShowActive(*key.form);
    pressed.clear();
    PressAltKey(key.letter);
    EXPECT_EQ(pressed, std::vector<std::string>{key.what}) << "Alt+" << static_cast<char>(key.letter);
  }
}

// What the shell was asked to open, opening nothing.
std::vector<std::wstring> g_opened;
std::intptr_t RecordOpen(const std::wstring& target) {
  g_opened.push_back(target);
  return 42;
}

TEST_F(DesktopTest, EnterAndDeleteInTheListActAsOpenAndDelete) {
  test::TempDir folder;
  for (const wchar_t* name : {L"05032013_141516_anna.wav", L"06032013_141516_bert.wav", L"07032013_141516_carl.wav"}) {
    ASSERT_TRUE(test::WriteBytes(folder.Join(name), "RIFF"));
  }
  ASSERT_TRUE(WriteConfig(L"path", folder.Path()));
  ShowActive(*main_);
  ASSERT_EQ(main_->lst.Count(), 3);
  ASSERT_EQ(::GetFocus(), main_->lst.Handle());
  g_opened.clear();
  ShellOpen = &RecordOpen;

  HWND owner = nullptr;
  {
    test::MessageBoxAnswerer no(L"Delete files", IDNO, [&](HWND box) { owner = ::GetWindow(box, GW_OWNER); });
    // Without a selection both keys do nothing, as the disabled buttons.
    PressKey(VK_RETURN);
    PressKey(VK_DELETE);
    EXPECT_TRUE(g_opened.empty());
    EXPECT_EQ(no.Answered(), 0);

    main_->lst.SetSelected(1, true);
    main_->lst.SetSelected(2, true);
    PressKey(VK_RETURN);
    EXPECT_EQ(g_opened, std::vector<std::wstring>{main_->lst.ItemText(1, RecordingList::kLocation)}) << "once, the first selected row";
    EXPECT_TRUE(main_->Visible());

    PressKey(VK_DELETE);
    EXPECT_EQ(no.Answered(), 1);
    EXPECT_EQ(no.LastText(), L"Move 2 recordings to the Recycle Bin?");
    EXPECT_EQ(owner, main_->Handle()) << "modal to the main window, as the button's question";
    EXPECT_EQ(main_->lst.Count(), 3) << "No deletes nothing";
    EXPECT_EQ(main_->lst.SelectedCount(), 2);
  }
  const std::wstring kept = main_->lst.ItemText(0, RecordingList::kLocation);
  const std::wstring deleted[] = {main_->lst.ItemText(1, RecordingList::kLocation), main_->lst.ItemText(2, RecordingList::kLocation)};
  {
    test::MessageBoxAnswerer yes(L"Delete files", IDYES);
    PressKey(VK_DELETE);
    EXPECT_EQ(yes.Answered(), 1);
  }
  EXPECT_TRUE(RunLoopUntil([&] { return !main_->Deleting() && main_->lst.Count() == 1; }));
  for (const std::wstring& path : deleted) EXPECT_FALSE(fs::exists(path)) << path;
  EXPECT_TRUE(fs::exists(kept));
  EXPECT_EQ(main_->lst.ItemText(0, RecordingList::kLocation), kept);
  EXPECT_EQ(g_opened.size(), 1u) << "Delete opens nothing";
}

TEST_F(DesktopTest, EnterActsAsOkInTheSettingsAndAboutWindows) {
  test::TempDir folder;
  ShowActive(*main_);
  // Wherever the focus is; Enter never ticks the check box. Each round stores another folder.
  const std::pair<HWND, std::wstring> rounds[] = {{settings_->edtpath.Handle(), folder.Join(L"one")},
                                                  {settings_->startup.Handle(), folder.Join(L"two")}};
  for (const auto& [focus, picked] : rounds) {
    ShowActive(*settings_);
    SetDestinationFolder(picked);  // as a folder picked in the window
    ::SetFocus(focus);
    PressKey(VK_RETURN);
    EXPECT_TRUE(RunLoopUntil([&] { return !settings_->Visible(); })) << "hidden as by OK";
    EXPECT_EQ(ReadConfig(L"path"), picked) << "stored as OK stores it";
    EXPECT_FALSE(settings_->startup.Checked());
    EXPECT_FALSE(IsInStartup(L"Callwright"));
    EXPECT_TRUE(main_->Visible());
  }

  // The About window's only focus is its read-only text, which leaves Enter to the window.
  ShowActive(*about_);
  ASSERT_EQ(::GetFocus(), about_->memoabout.Handle());
  const std::wstring text = about_->memoabout.Text();
  PressKey(VK_RETURN);
  EXPECT_TRUE(about_->blend.Enabled()) << "OK's fade, not the close box's hide";
  EXPECT_TRUE(RunLoopUntil([&] { return !about_->Visible(); }));
  EXPECT_EQ(about_->AlphaBlendValue(), 255);
  EXPECT_FALSE(about_->AlphaBlending());
  EXPECT_EQ(about_->memoabout.Text(), text);
  EXPECT_TRUE(main_->Visible());
}

// The notice has no button: Enter, wherever the focus is, and Esc dismiss it as its close box does.
// Its memo is full (no line break would fit), so Enter is not the memo's.
TEST_F(DesktopTest, EnterAndEscDismissTheNoticeAsItsCloseBox) {
  struct Case {
    const char* name;
    HWND focus;
    WORD key;
  };
  const Case cases[] = {{"Enter on the box", info_->c.Handle(), VK_RETURN},
                        {"Esc on the box", info_->c.Handle(), VK_ESCAPE},
                        {"Enter in the memo", info_->Memo.Handle(), VK_RETURN}};
  const std::wstring text = info_->Memo.Text();
  for (const Case& k : cases) {
    ShowActive(*main_);
    bool pressed = false;
    int ticks_after = 0;
    bool still_up = false;
    // Drives the notice from inside its modal loop; half a second after the key it is closed as by
    // its close box, so that a key that did nothing fails the case instead of hanging the test.
    test::RepeatingTick tick(20, [&] {
      if (!info_->Visible() || ::GetForegroundWindow() != info_->Handle()) return;
      if (!pressed) {
        pressed = true;
        ::SetFocus(k.focus);
        test::PressKey(k.key);
        return;
      }
      if (++ticks_after != 25) return;
      still_up = true;
      ::PostMessageW(info_->Handle(), WM_CLOSE, 0, 0);
    });
    main_->Close();
    EXPECT_TRUE(pressed) << k.name;
    EXPECT_FALSE(still_up) << k.name << ": the key did not dismiss the notice";
    EXPECT_FALSE(info_->Visible()) << k.name;
    EXPECT_FALSE(info_->c.Checked()) << k.name << ": the box keeps its state";
    EXPECT_EQ(info_->Memo.Text(), text) << k.name;
    EXPECT_FALSE(main_->Visible()) << k.name << ": the close goes on";
  }
}

// ---- minimised windows

TEST_F(DesktopTest, EveryShowRestoresAMinimisedForm) {
  ShowActive(*main_);
  for (Form* form : {static_cast<Form*>(settings_), static_cast<Form*>(about_)}) {
    form->Show();
    ::ShowWindow(form->Handle(), SW_MINIMIZE);
    ASSERT_TRUE(::IsIconic(form->Handle()));
    form->Show();  // as the main window's button does
    EXPECT_FALSE(::IsIconic(form->Handle()));
    EXPECT_TRUE(form->Visible());
    EXPECT_TRUE(RunLoopUntil([&] { return ::GetForegroundWindow() == form->Handle(); })) << "brought forward";
    form->Hide();
  }
  main_->btnsettings.Click();
  EXPECT_TRUE(settings_->Visible());
  ::ShowWindow(settings_->Handle(), SW_MINIMIZE);
  main_->btnsettings.Click();
  EXPECT_FALSE(::IsIconic(settings_->Handle())) << "the Settings button brings it back";
}

// ---- placement

TEST(Placement, CentredOnTheMonitorOfTheWindowCentredOver) {
  struct Case {
    const char* name;
    RECT over;
    SIZE size;
    RECT work_area;
    POINT expected;
  };
  const RECT primary{0, 0, 1920, 1040};
  const RECT right{1920, 0, 3840, 1040};  // a second monitor right of the primary one
  const RECT left{-1280, 200, 0, 1224};   // one left of it, lower down
  const Case cases[] = {
      {"over a window on the primary monitor", {100, 100, 500, 400}, {200, 100}, primary, {200, 200}},
      {"over a window on the right monitor", {2400, 300, 2800, 600}, {200, 100}, right, {2500, 400}},
      {"over a window on the left monitor", {-900, 500, -500, 800}, {200, 100}, left, {-800, 600}},
      {"in the right monitor's work area", right, {400, 300}, right, {2680, 370}},
      {"sticking out right and below", {3700, 950, 3840, 1040}, {400, 300}, right, {3440, 740}},
      {"sticking out left and above", {-1300, 150, -1200, 250}, {400, 300}, left, {-1280, 200}},
      {"larger than the work area", {2000, 0, 2100, 100}, {2500, 1200}, right, {1920, 0}},
  };
  for (const Case& c : cases) {
    const POINT at = CentredPosition(c.over, c.size, c.work_area);
    EXPECT_EQ(at.x, c.expected.x) << c.name;
    EXPECT_EQ(at.y, c.expected.y) << c.name;
  }
}

TEST_F(DesktopTest, FirstShowsCentreInTheWorkAreaOfTheMainWindowsMonitor) {
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromWindow(main_->Handle(), MONITOR_DEFAULTTONEAREST), &info));
  const RECT area = MonitorWorkArea(main_->Handle());
  EXPECT_TRUE(::EqualRect(&area, &info.rcWork));
  main_->Show();
  RECT shown{};
  ::GetWindowRect(main_->Handle(), &shown);
  EXPECT_NEAR((shown.left + shown.right) / 2, (area.left + area.right) / 2, 1);
  EXPECT_NEAR((shown.top + shown.bottom) / 2, (area.top + area.bottom) / 2, 1);
}

// ---- owners of boxes, and reports

TEST_F(DesktopTest, ReportsAreOwnedByTheVisibleFormInFront) {
  EXPECT_EQ(Application::Instance().ReportOwner(), Application::Instance().Handle()) << "nothing visible";
  ShowActive(*main_);
  EXPECT_EQ(Application::Instance().ReportOwner(), main_->Handle());
  ShowActive(*settings_);
  EXPECT_EQ(Application::Instance().ReportOwner(), settings_->Handle());

  // The top-level error report of a handler of the settings window is modal to it.
  HWND owner = nullptr;
  bool settings_enabled = true;
  WindowAnswerer report(L"#32770", L"Callwright", IDOK, [&](HWND box) {
    owner = ::GetWindow(box, GW_OWNER);
    settings_enabled = ::IsWindowEnabled(settings_->Handle()) != FALSE;
  });
  Application::Instance().Guard([] { throw std::runtime_error("broken"); });
  EXPECT_EQ(report.Answered(), 1);
  EXPECT_EQ(report.LastText(), L"broken.");
  EXPECT_EQ(owner, settings_->Handle());
  EXPECT_FALSE(settings_enabled);

  // Whatever a handler throws is reported the same way, and never unwinds through the system:
  // from a guarded handler, and from a window's message handler.
  Application::Instance().Guard([] { throw 42; });
  EXPECT_EQ(report.Answered(), 2);
  EXPECT_EQ(report.LastText(), L"An unexpected error stopped the last action.");
  settings_->btnok.OnClick = [] { throw 42; };
  ::SendMessageW(settings_->btnok.Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(report.Answered(), 3);
  EXPECT_EQ(report.LastText(), L"An unexpected error stopped the last action.");
  settings_->btnok.OnClick = [this] { settings_->btnokClick(); };

  settings_->Hide();
  main_->Hide();
  EXPECT_EQ(Application::Instance().ReportOwner(), Application::Instance().Handle()) << "all hidden again";
}

int WINAPI BoxThatFailsToOpen(HWND, LPCWSTR, LPCWSTR, UINT) { return 0; }
int g_answer = 0;
UINT g_box_type = 0;
HWND g_box_owner = nullptr;
int WINAPI BoxAnswering(HWND owner, LPCWSTR, LPCWSTR, UINT type) {
  g_box_owner = owner;
  g_box_type = type;
  return g_answer;
}

TEST(AskYesNo, OnlyYesIsAYes) {
  struct Case {
    int answer;
    bool yes;
  };
  const Case cases[] = {{IDYES, true}, {IDNO, false}, {0, false}, {IDCANCEL, false}, {-1, false}};
  HWND owner = Application::Instance().Handle();
  for (const Case& c : cases) {
    g_answer = c.answer;
    MessageBoxCall = &BoxAnswering;
    EXPECT_EQ(AskYesNo(owner, L"question", L"caption"), c.yes) << c.answer;
    EXPECT_EQ(g_box_owner, owner);
    EXPECT_EQ(g_box_type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
  }
  MessageBoxCall = &::MessageBoxW;
}

TEST_F(DesktopTest, ABoxThatFailsToOpenDeletesNothingAndEndsNothing) {
  test::TempDir folder;
  std::wstring file;
  ASSERT_NO_FATAL_FAILURE(ShowOneSelectedRecording(folder, file));
  MessageBoxCall = &BoxThatFailsToOpen;
  main_->btndelete.Click();
  EXPECT_TRUE(fs::exists(file));
  EXPECT_EQ(main_->lst.Count(), 1);
  main_->btnclose.Click();  // would end this test program
  EXPECT_TRUE(main_->Visible());
}

TEST(ShellOpenFailure, NamesTheTargetAndTheReason) {
  struct Case {
    std::intptr_t code;
    const wchar_t* text;
  };
  const Case cases[] = {
      {SE_ERR_FNF, L"Unable to open C:\\r\\a.wav: the file was not found."},
      {SE_ERR_PNF, L"Unable to open C:\\r\\a.wav: the path was not found."},
      {SE_ERR_ACCESSDENIED, L"Unable to open C:\\r\\a.wav: access is denied."},
      {SE_ERR_NOASSOC, L"Unable to open C:\\r\\a.wav: no program is associated with this file type."},
      {0, L"Unable to open C:\\r\\a.wav: the system is out of memory or resources."},
      {17, L"Unable to open C:\\r\\a.wav: error 17."},
  };
  for (const Case& c : cases) EXPECT_EQ(ShellOpenFailureText(L"C:\\r\\a.wav", c.code), c.text) << c.code;
}

TEST_F(DesktopTest, AFailedOpenOrBrowseIsReportedNamingTheFileOrFolder) {
  test::TempDir folder;
  std::wstring file;
  ASSERT_NO_FATAL_FAILURE(ShowOneSelectedRecording(folder, file));
  // Gone since the list was made: the shell cannot open it.
  ASSERT_TRUE(::DeleteFileW(file.c_str()));

  HWND owner = nullptr;
  WindowAnswerer report(L"#32770", L"Callwright", IDOK, [&](HWND box) { owner = ::GetWindow(box, GW_OWNER); });
  main_->btnopen.Click();
  EXPECT_EQ(report.Answered(), 1);
  EXPECT_EQ(report.LastText(), ShellOpenFailureText(file, SE_ERR_FNF));
  EXPECT_EQ(owner, main_->Handle());

  const std::wstring missing = folder.Join(L"gone");
  SetDestinationFolder(missing);
  main_->btnfol.Click();
  EXPECT_EQ(report.Answered(), 2);
  EXPECT_EQ(report.LastText().rfind(L"Unable to open " + missing + L": ", 0), 0u) << report.LastText();

  // An open that works reports nothing.
  ShellOpen = [](const std::wstring&) -> std::intptr_t { return 42; };
  main_->btnfol.Click();
  main_->btnopen.Click();
  EXPECT_EQ(report.Answered(), 2);
}

// A pattern brush does not own its bitmap: the check box's background brush, handed to the system
// at every paint, keeps its bitmap alive as long as itself.
TEST_F(DesktopTest, TheCheckBoxBackgroundBrushKeepsItsBitmap) {
  ShowActive(*settings_);
  HWND box = settings_->startup.Handle();
  const auto brush = reinterpret_cast<HBRUSH>(::SendMessageW(
      settings_->Handle(), WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(ClientDc(box).Get()), reinterpret_cast<LPARAM>(box)));
  ASSERT_NE(brush, nullptr);
  LOGBRUSH info{};
  ASSERT_EQ(::GetObjectW(brush, sizeof(info), &info), static_cast<int>(sizeof(info)));
  EXPECT_EQ(info.lbStyle, static_cast<UINT>(BS_PATTERN));
  EXPECT_EQ(::GetObjectType(reinterpret_cast<HGDIOBJ>(info.lbHatch)), static_cast<DWORD>(OBJ_BITMAP))
      << "the bitmap is still there";
}

TEST(OleApartment, EnteredOnceWhenTheApplicationStarts) {
  Application::Instance();
  // Already entered: a further entry only counts up (and is balanced at once).
  const HRESULT again = ::OleInitialize(nullptr);
  EXPECT_EQ(again, S_FALSE);
  if (SUCCEEDED(again)) ::OleUninitialize();
}

}  // namespace
}  // namespace callwright
