// The settings window and the folder picker, driven through their real windows: the registry's Run
// key below a redirected current user, the real config.ini beside this test program, the shell's
// real folder dialog (found and answered from a second thread) and real error boxes.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/destination_folder.h"
#include "core/settings_win.h"
#include "support/client_win.h"
#include "support/config_file_win.h"
#include "support/files_win.h"
#include "support/gui_win.h"
#include "support/process_win.h"
#include "support/program_windows_fixture_win.h"
#include "support/run_key_win.h"
#include "support/temp_dir_win.h"
#include "support/window_answerer_win.h"
#include "ui/program_windows.h"
#include "ui/about_form.h"
#include "ui/browse_folder.h"
#include "ui/info_form.h"
#include "ui/main_form.h"
#include "ui/settings_form.h"
#include "ui/toolkit/application.h"

namespace callwright {
namespace {

namespace fs = std::filesystem;
using test::MessageBoxAnswerer;
using test::PumpFor;
using test::PumpUntil;
using test::ReadConfig;
using test::RunLoopFor;
using test::RunLoopUntil;
using test::RegistryValue;
using test::TempDir;
using test::WriteConfig;

constexpr wchar_t kValueName[] = L"Callwright";
constexpr wchar_t kDialogTitle[] = L"Chose record destination path";

// ---- the autostart value, read past the program's own routines

// The program's Run value as stored, or nothing.
std::optional<RegistryValue> RunValue() { return test::ReadRunValue(kValueName); }
std::wstring RunText() { return RunValue().value_or(RegistryValue{}).Text(); }

std::wstring ExpectedRunText() { return L"\"" + ExecutablePath() + L"\" /hidden"; }

// ---- the shell's folder dialog, answered from a second thread

struct ChildWindow {
  std::wstring class_name;
  std::wstring text;
  int id = 0;
  bool visible = false;
};

// What the driver saw of the dialog before it answered.
struct DialogSeen {
  bool found = false;
  HWND owner = nullptr;
  bool owner_enabled = true;  // the owner could be used while the dialog was open
  RECT at{};                  // the dialog's place on the screen
  std::vector<ChildWindow> children;
  // The tree's selected item when the dialog was found: its text, and whether it is the root
  // (the tree view selects its first item by itself when it gets the focus).
  std::wstring selected_text;
  bool selection_is_root = true;
  std::wstring selected_after;  // the selected item's text once the folder to pick was selected
  bool ok_enabled_before_answer = false;

  bool ShowsText(const std::wstring& text) const {
    for (const ChildWindow& c : children) {
      if (c.visible && c.text == text) return true;
    }
    return false;
  }
  // Visible push buttons other than OK and Cancel (the new-folder button).
  int OtherVisibleButtons() const {
    int count = 0;
    for (const ChildWindow& c : children) {
      if (c.visible && _wcsicmp(c.class_name.c_str(), L"Button") == 0 && c.id != IDOK && c.id != IDCANCEL) ++count;
    }
    return count;
  }
};

// Waits for a folder dialog owned by the application window, looks at it, then answers it:
// Ok presses OK on what is selected (select, when given, is selected first); Cancel presses
// Cancel; Close uses the title bar's close command. Whatever happens, no dialog is left open.
class FolderDialogDriver {
 public:
  enum class Answer { Ok, Cancel, Close };

  explicit FolderDialogDriver(Answer answer, std::wstring select = {})
      : gui_thread_(::GetCurrentThreadId()),
        owner_(FrmSettings ? FrmSettings->Handle() : Application::Instance().Handle()),
        answer_(answer),
        select_(std::move(select)) {
    SHFILEINFOW info{};
    if (!select_.empty() && ::SHGetFileInfoW(select_.c_str(), 0, &info, sizeof(info), SHGFI_DISPLAYNAME)) {
      select_name_ = info.szDisplayName;
    }
    thread_ = std::thread([this] { Run(); });
  }
  ~FolderDialogDriver() { Finish(); }
  FolderDialogDriver(const FolderDialogDriver&) = delete;
  FolderDialogDriver& operator=(const FolderDialogDriver&) = delete;

  // Stops waiting (the dialog is over); then Seen() may be read.
  void Finish() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  const DialogSeen& Seen() {
    Finish();
    return seen_;
  }

 private:
  HWND FindDialog() const {
    struct Search {
      HWND owner;
      HWND found;
    } search{owner_, nullptr};
    ::EnumThreadWindows(
        gui_thread_,
        [](HWND hwnd, LPARAM param) -> BOOL {
          auto* s = reinterpret_cast<Search*>(param);
          wchar_t name[32] = {};
          ::GetClassNameW(hwnd, name, 32);
          if (wcscmp(name, L"#32770") == 0 && ::IsWindowVisible(hwnd) && ::GetWindow(hwnd, GW_OWNER) == s->owner) {
            s->found = hwnd;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

  void Look(HWND dialog) {
    seen_.found = true;
    seen_.owner = ::GetWindow(dialog, GW_OWNER);
    seen_.owner_enabled = ::IsWindowEnabled(seen_.owner) != FALSE;
    ::GetWindowRect(dialog, &seen_.at);
    ::EnumChildWindows(
        dialog,
        [](HWND child, LPARAM param) -> BOOL {
          ChildWindow c;
          wchar_t buffer[512] = {};
          ::GetClassNameW(child, buffer, 512);
          c.class_name = buffer;
          buffer[0] = L'\0';
          ::GetWindowTextW(child, buffer, 512);
          c.text = buffer;
          c.id = ::GetDlgCtrlID(child);
          c.visible = ::IsWindowVisible(child) != FALSE;
          reinterpret_cast<std::vector<ChildWindow>*>(param)->push_back(std::move(c));
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&seen_.children));
    if (HWND tree = ::FindWindowExW(dialog, nullptr, WC_TREEVIEWW, nullptr)) {
      HTREEITEM selected = TreeView_GetSelection(tree);
      seen_.selection_is_root = selected == nullptr || selected == TreeView_GetRoot(tree);
    }
    seen_.selected_text = SelectedText(dialog);
  }

  static std::wstring SelectedText(HWND dialog) {
    HWND tree = ::FindWindowExW(dialog, nullptr, WC_TREEVIEWW, nullptr);
    wchar_t text[MAX_PATH] = {};
    TVITEMW item{};
    item.mask = TVIF_TEXT;
    item.hItem = tree ? TreeView_GetSelection(tree) : nullptr;
    item.pszText = text;
    item.cchTextMax = MAX_PATH;
    if (!item.hItem || !TreeView_GetItem(tree, &item)) return {};
    return text;
  }

  void Run() {
    const ULONGLONG give_up = ::GetTickCount64() + 20000;
    HWND dialog = nullptr;
    while (!stop_ && !(dialog = FindDialog()) && ::GetTickCount64() < give_up) ::Sleep(20);
    if (!dialog) return;
    ::Sleep(100);  // let it fill its tree
    Look(dialog);
    HWND ok = ::GetDlgItem(dialog, IDOK);
    switch (answer_) {
      case Answer::Ok:
        if (!select_.empty()) {
          // Right after the dialog shows, its tree may not take a selection yet: ask again until
          // the folder's item is selected.
          for (int i = 0; i < 50 && seen_.selected_after != select_name_; ++i) {
            if (i > 0) ::Sleep(50);
            ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(select_.c_str()));
            seen_.selected_after = SelectedText(dialog);
          }
        }
        for (int i = 0; i < 100 && !::IsWindowEnabled(ok); ++i) ::Sleep(20);
        seen_.ok_enabled_before_answer = ::IsWindowEnabled(ok) != FALSE;
        ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
        break;
      case Answer::Cancel:
        ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDCANCEL)));
        break;
      case Answer::Close:
        ::PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    }
    // Never leave the test thread inside the dialog.
    const ULONGLONG deadline = ::GetTickCount64() + 10000;
    while (!stop_ && ::IsWindow(dialog) && ::GetTickCount64() < deadline) ::Sleep(20);
    if (!stop_ && ::IsWindow(dialog)) ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  }

  DWORD gui_thread_;
  HWND owner_;
  Answer answer_;
  std::wstring select_;
  std::wstring select_name_;  // the shell's name of that folder, as the tree shows it
  std::atomic<bool> stop_{false};
  DialogSeen seen_;
  std::thread thread_;
};

// A folder name as the shell reports it (the temporary folder may be given in another form).
std::wstring ShellPath(const fs::path& folder) {
  wchar_t path[MAX_PATH + 1] = {};
  PIDLIST_ABSOLUTE list = ::ILCreateFromPathW(folder.c_str());
  if (list) {
    ::SHGetPathFromIDListW(list, path);
    ::ILFree(list);
  }
  return path;
}

// ---- the program's four windows, as start-up creates them

class SettingsWindowTest : public test::ProgramWindowsTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(user_.Redirected());
    ProgramWindowsTest::SetUp();
  }

  void ShowMain() {
    main_->Show();
    PumpFor(10);
  }
  // As the main window's Settings button does.
  void ShowSettings() {
    main_->btnsettings.Click();
    PumpFor(10);
  }
  void PressOk() {
    settings_->btnok.Click();
    PumpFor(10);
  }

  // The program's own registry calls land below a scratch key for the whole test.
  test::RedirectedCurrentUser user_;
};

RECT ScreenRect(HWND hwnd) {
  RECT r{};
  ::GetWindowRect(hwnd, &r);
  return r;
}

TEST_F(SettingsWindowTest, WindowControlsAndPictures) {
  HWND hwnd = settings_->Handle();
  wchar_t text[64] = {};
  ::GetWindowTextW(hwnd, text, 64);
  EXPECT_STREQ(text, L"Settings");
  ::GetClassNameW(hwnd, text, 64);
  EXPECT_STREQ(text, L"TFrmSettings");
  EXPECT_TRUE(::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_THICKFRAME) << "sizeable";
  EXPECT_EQ(::GetWindow(hwnd, GW_OWNER), Application::Instance().Handle()) << "no task-bar button of its own";
  EXPECT_EQ(settings_->ClientSize().cx, 342);
  EXPECT_EQ(settings_->ClientSize().cy, 278) << "grown by the format's label and list";
  EXPECT_FALSE(settings_->Visible()) << "created hidden";

  struct Placed {
    const char* name;
    const Control& control;
    HWND parent;
    RECT bounds;  // left, top, right, bottom
  };
  const Placed placed[] = {
      {"imgtop", settings_->imgtop, hwnd, {0, 0, 342, 90}},
      {"GroupBox1", settings_->GroupBox1, hwnd, {8, 96, 8 + 326, 96 + 65}},
      {"edtpath", settings_->edtpath, settings_->GroupBox1.Handle(), {16, 28, 16 + 260, 28 + 21}},
      {"btnopen", settings_->btnopen, settings_->GroupBox1.Handle(), {282, 27, 282 + 31, 27 + 22}},
      {"p", settings_->p, hwnd, {0, 278 - 41, 342, 278}},
      {"imgbottom", settings_->imgbottom, settings_->p.Handle(), {0, 0, 342, 41}},
      {"startup", settings_->startup, hwnd, {8, 167, 8 + 265, 167 + 17}},
      {"btnok", settings_->btnok, settings_->p.Handle(), {131, 9, 131 + 81, 9 + 25}},
      {"cmbformat", settings_->cmbformat, hwnd, {8, 208, 8 + 326, 208 + 21}},
  };
  for (const Placed& c : placed) {
    const RECT bounds = c.control.Bounds();
    EXPECT_TRUE(::EqualRect(&bounds, &c.bounds)) << c.name << ": " << bounds.left << "," << bounds.top << ","
                                                 << bounds.right << "," << bounds.bottom;
    EXPECT_EQ(::GetParent(c.control.Handle()), c.parent) << c.name;
  }

  EXPECT_EQ(settings_->GroupBox1.Text(), L"Record Destination");
  EXPECT_TRUE(settings_->edtpath.ReadOnly());
  EXPECT_EQ(settings_->edtpath.Text(), L"");
  EXPECT_EQ(settings_->btnopen.Text(), L"");
  EXPECT_EQ(settings_->startup.Text(), L"Start Callwright with Windows.");
  EXPECT_FALSE(settings_->startup.Checked());
  EXPECT_EQ(settings_->btnok.Text(), L"OK");
  EXPECT_TRUE(::GetWindowLongPtrW(settings_->p.Handle(), GWL_EXSTYLE) & WS_EX_COMPOSITED) << "double-buffered";

  // The format: its label above a drop-down list that offers the three ways, WAV first.
  EXPECT_EQ(settings_->lblformat.Text(), L"Keep recordings as:");
  EXPECT_EQ(settings_->lblformat.Left(), 8);
  EXPECT_EQ(settings_->lblformat.Top(), 192);
  EXPECT_LE(settings_->lblformat.Bounds().bottom, settings_->cmbformat.Top()) << "above the list";
  EXPECT_EQ(::GetWindowLongPtrW(settings_->cmbformat.Handle(), GWL_STYLE) & 0x3, CBS_DROPDOWNLIST) << "no typing";
  const std::vector<std::wstring> formats = {L"WAV, as recorded", L"FLAC, lossless (about half the size)",
                                             L"Opus, for speech (about a tenth)"};
  ASSERT_EQ(settings_->cmbformat.Count(), 3);
  for (int row = 0; row < 3; ++row) EXPECT_EQ(settings_->cmbformat.Item(row), formats[row]) << row;
  EXPECT_EQ(settings_->cmbformat.ItemIndex(), 0);

  EXPECT_EQ(settings_->imgtop.PictureSize().cx, 343);
  EXPECT_EQ(settings_->imgtop.PictureSize().cy, 90);
  EXPECT_EQ(settings_->imgbottom.PictureSize().cx, 1);
  EXPECT_EQ(settings_->imgbottom.PictureSize().cy, 43);

  // Tab order: the group (with the folder box), the bottom panel, the check box.
  std::vector<HWND> order;
  for (HWND child = ::GetWindow(hwnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) order.push_back(child);
  const auto position = [&](HWND child) { return std::find(order.begin(), order.end(), child) - order.begin(); };
  EXPECT_LT(position(settings_->GroupBox1.Handle()), position(settings_->p.Handle()));
  EXPECT_LT(position(settings_->p.Handle()), position(settings_->startup.Handle()));
  EXPECT_LT(position(settings_->startup.Handle()), position(settings_->lblformat.Handle()));
  EXPECT_EQ(position(settings_->lblformat.Handle()) + 1, position(settings_->cmbformat.Handle()))
      << "the label right before its list, as its access key needs";
  EXPECT_LT(position(settings_->cmbformat.Handle()), position(settings_->imgtop.Handle())) << "the header is beneath";
}

TEST_F(SettingsWindowTest, ResizingKeepsOkCentred) {
  struct Case {
    int client_width;
    int ok_left;
  };
  const Case cases[] = {{342, 131}, {500, 210}, {343, 131}, {301, 110}, {81, 0}, {60, -10}};
  HWND hwnd = settings_->Handle();
  const DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(hwnd, GWL_STYLE));
  const DWORD ex_style = static_cast<DWORD>(::GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
  for (const Case& c : cases) {
    RECT outer{0, 0, c.client_width, 278};
    ::AdjustWindowRectEx(&outer, style, FALSE, ex_style);
    ::SetWindowPos(hwnd, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top, SWP_NOMOVE | SWP_NOZORDER);
    if (settings_->ClientSize().cx != c.client_width) continue;  // below the platform's smallest window
    EXPECT_EQ(settings_->btnok.Left(), c.ok_left) << c.client_width;
    EXPECT_EQ(settings_->btnok.Top(), 9) << c.client_width;
    EXPECT_EQ(settings_->p.Width(), c.client_width);
    EXPECT_EQ(settings_->GroupBox1.Left(), 8) << "only OK is moved by code";
  }
  // Shown, the button stays centred.
  ShowSettings();
  EXPECT_EQ(settings_->btnok.Left(), settings_->ClientSize().cx / 2 - 40);
}

TEST_F(SettingsWindowTest, FirstShowCentresOverTheMainWindowThenKeepsItsPlace) {
  ShowMain();
  RECT area{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  struct Case {
    POINT main_at;
    bool clamped;
  };
  const Case cases[] = {{{150, 120}, false}, {{area.left - 300, area.top - 250}, true}};
  for (const Case& c : cases) {
    // Each case needs a window that was never shown.
    windows_->settings.reset();
    windows_->settings = std::make_unique<TFrmSettings>();
    settings_ = windows_->settings.get();
    FrmSettings = settings_;
    ::SetWindowPos(main_->Handle(), nullptr, c.main_at.x, c.main_at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const RECT main = ScreenRect(main_->Handle());
    ShowSettings();
    ASSERT_TRUE(settings_->Visible());
    const RECT shown = ScreenRect(settings_->Handle());
    const int width = shown.right - shown.left, height = shown.bottom - shown.top;
    if (c.clamped) {
      EXPECT_EQ(shown.left, area.left) << "never left of the desktop";
      EXPECT_EQ(shown.top, area.top) << "never above the desktop";
    } else {
      EXPECT_EQ(shown.left, main.left + (main.right - main.left - width) / 2);
      EXPECT_EQ(shown.top, main.top + (main.bottom - main.top - height) / 2);
    }
    PressOk();
  }

  // Later shows leave it where it was left, wherever the main window is.
  ShowSettings();
  ::SetWindowPos(settings_->Handle(), nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  PressOk();
  ::SetWindowPos(main_->Handle(), nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ShowSettings();
  const RECT again = ScreenRect(settings_->Handle());
  EXPECT_EQ(again.left, 40);
  EXPECT_EQ(again.top, 30);
}

TEST_F(SettingsWindowTest, CloseBoxAndOkOnlyHide) {
  ShowMain();
  struct Way {
    const wchar_t* name;
    void (*hide)(TFrmSettings&);
  };
  const Way ways[] = {
      {L"OK", [](TFrmSettings& s) { s.btnok.Click(); }},
      {L"close box", [](TFrmSettings& s) { ::SendMessageW(s.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
      {L"WM_CLOSE", [](TFrmSettings& s) { ::SendMessageW(s.Handle(), WM_CLOSE, 0, 0); }},
  };
  for (const Way& way : ways) {
    SetDestinationFolder(folder_.Path() + L"\\" + way.name);
    ShowSettings();
    ASSERT_TRUE(settings_->Visible());
    way.hide(*settings_);
    PumpFor(10);
    EXPECT_FALSE(settings_->Visible()) << way.name;
    EXPECT_TRUE(::IsWindow(settings_->Handle())) << way.name;
    EXPECT_EQ(ReadConfig(L"path"), folder_.Path() + L"\\" + way.name) << "stored on every kind of hide";
  }
  EXPECT_TRUE(main_->Visible()) << "the main window stays";
}

// ---- the autostart entry

TEST_F(SettingsWindowTest, FirstShowRewritesAnEntryOfAnyKindAndLaterShowsWriteNothing) {
  struct Case {
    const char* name;
    void (*write)();
  };
  const Case cases[] = {
      {"another executable",
       [] { ASSERT_TRUE(test::WriteRunText(kValueName, L"\"C:\\Old Place\\Callwright.exe\" /hidden")); }},
      {"no text at all", [] { ASSERT_TRUE(test::WriteRunNumber(kValueName, 7)); }},
  };
  for (const Case& c : cases) {
    DestroyWindows();
    CreateWindows();  // a new run: the box starts unticked
    c.write();
    ShowSettings();
    EXPECT_TRUE(settings_->startup.Checked()) << c.name;
    const RegistryValue value = RunValue().value_or(RegistryValue{});
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ)) << c.name;
    EXPECT_EQ(value.Text(), ExpectedRunText()) << c.name;

    // Box and registry agree from now on: showing again writes nothing.
    PressOk();
    ASSERT_TRUE(test::WriteRunText(kValueName, L"changed outside"));
    ShowSettings();
    EXPECT_TRUE(settings_->startup.Checked()) << c.name;
    EXPECT_EQ(RunText(), L"changed outside") << c.name;

    // Showing while visible only brings it to the front.
    test::DeleteRunValue(kValueName);
    ShowSettings();
    EXPECT_TRUE(settings_->startup.Checked()) << c.name;
    EXPECT_FALSE(RunValue().has_value()) << c.name;
    PressOk();
  }
}

TEST_F(SettingsWindowTest, NoEntryLeavesTheBoxUntickedAndWritesNothing) {
  ShowSettings();
  EXPECT_FALSE(settings_->startup.Checked());
  EXPECT_FALSE(RunValue().has_value());
  PressOk();

  // An entry removed from outside while the window was hidden unticks the box; nothing is made.
  ShowSettings();
  ::SendMessageW(settings_->startup.Handle(), BM_CLICK, 0, 0);
  ASSERT_TRUE(RunValue().has_value());
  PressOk();
  test::DeleteRunValue(kValueName);
  ShowSettings();
  EXPECT_FALSE(settings_->startup.Checked());
  EXPECT_FALSE(RunValue().has_value());
}

TEST_F(SettingsWindowTest, TickingAndUntickingWriteAndDeleteAtEachChange) {
  ShowSettings();
  for (int round = 0; round < 2; ++round) {
    ::SendMessageW(settings_->startup.Handle(), BM_CLICK, 0, 0);
    EXPECT_TRUE(settings_->startup.Checked());
    const std::optional<RegistryValue> value = RunValue();
    EXPECT_TRUE(value.has_value()) << "written before OK";
    EXPECT_EQ(value.value_or(RegistryValue{}).type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value.value_or(RegistryValue{}).Text(), ExpectedRunText());
    ::SendMessageW(settings_->startup.Handle(), BM_CLICK, 0, 0);
    EXPECT_FALSE(settings_->startup.Checked());
    EXPECT_FALSE(RunValue().has_value()) << "deleted before OK";
  }
  EXPECT_TRUE(settings_->Visible());
}

TEST_F(SettingsWindowTest, AFailedWriteOfTheEntryIsReportedAndTheBoxStaysTicked) {
  ShowSettings();
  {
    test::RunKeyWriteLock lock;
    ASSERT_TRUE(lock.Locked());
    MessageBoxAnswerer report(L"Callwright", IDOK);
    ::SendMessageW(settings_->startup.Handle(), BM_CLICK, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return report.Answered() == 1; }, 3000));
    // No full stop after a closing quote, whose code is below the full stop's.
    EXPECT_EQ(report.LastText(), L"Failed to set data for 'Callwright'");
    EXPECT_TRUE(settings_->startup.Checked()) << "the box changed before its click ran";
    EXPECT_FALSE(RunValue().has_value());

    // Unticking cannot delete anything either, and says nothing.
    ::SendMessageW(settings_->startup.Handle(), BM_CLICK, 0, 0);
    PumpFor(100);
    EXPECT_EQ(report.Answered(), 1);
    EXPECT_FALSE(settings_->startup.Checked());
  }
  EXPECT_TRUE(settings_->Visible());
  ::SendMessageW(settings_->startup.Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(RunText(), ExpectedRunText()) << "writable again";
}

// ---- storing the folder

TEST_F(SettingsWindowTest, HidingStoresTheFolderEvenWhenUnchanged) {
  const std::wstring folder = folder_.Path();
  SetDestinationFolder(folder);
  EXPECT_EQ(settings_->edtpath.Text(), folder) << "the box follows the destination folder";
  ShowSettings();
  EXPECT_EQ(ReadConfig(L"path"), L"<missing>") << "nothing stored before the window hides";
  PressOk();
  EXPECT_EQ(ReadConfig(L"path"), folder);

  ASSERT_TRUE(WriteConfig(L"path", L"C:\\edited outside"));
  ShowSettings();
  PressOk();
  EXPECT_EQ(ReadConfig(L"path"), folder) << "written again although the folder did not change";
}

// OK or the close box without a folder picked leave "path" as it was read: a default folder stays
// empty (or missing) and a relative one relative, so that a copy of the program moved elsewhere
// records beside itself.
TEST_F(SettingsWindowTest, HidingWithoutAPickLeavesThePathAsItWasRead) {
  const std::wstring relative = L"cw-relative-" + std::to_wstring(::GetCurrentProcessId());
  struct Case {
    const wchar_t* name;
    std::optional<std::wstring> stored;  // none: no key
    std::wstring shown;
  } cases[] = {
      {L"no key", std::nullopt, DefaultFolder()},
      {L"empty", L"", DefaultFolder()},
      {L"blank", L"  ", DefaultFolder()},
      {L"relative", relative, relative},
      {L"absolute", folder_.Path(), folder_.Path()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.name);
    test::RemoveConfig();
    if (c.stored) {
      ASSERT_TRUE(WriteConfig(L"path", *c.stored));
    }
    const std::wstring as_read = ReadConfig(L"path");
    ShowMain();
    ASSERT_EQ(settings_->edtpath.Text(), c.shown);
    for (const auto hide : {+[](TFrmSettings& s) { s.btnok.Click(); },
                            +[](TFrmSettings& s) { ::SendMessageW(s.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }}) {
      ShowSettings();
      hide(*settings_);
      PumpFor(10);
      ASSERT_FALSE(settings_->Visible());
      EXPECT_EQ(ReadConfig(L"path"), as_read);
    }
    main_->Hide();
  }
  std::error_code ignored;
  fs::remove_all(ExecutableFolder() + relative, ignored);
}

TEST_F(SettingsWindowTest, AnEmptyOrBlankFolderIsNeverStored) {
  ASSERT_TRUE(WriteConfig(L"path", L"C:\\kept"));
  for (const std::wstring& blank : {std::wstring(), std::wstring(L"   "), std::wstring(L" \t\r\n\x1f ")}) {
    SetDestinationFolder(blank);
    EXPECT_EQ(settings_->edtpath.Text(), blank);
    ShowSettings();
    PressOk();
    EXPECT_EQ(ReadConfig(L"path"), L"C:\\kept") << blank.size();
  }
}

TEST_F(SettingsWindowTest, UnwritableConfigurationReportsAndHidesAllTheSame) {
  ASSERT_TRUE(WriteConfig(L"path", L"C:\\stored"));
  ASSERT_TRUE(::SetFileAttributesW(ConfigFilePath().c_str(), FILE_ATTRIBUTE_READONLY));
  // Wine lets an administrator write read-only files: also hold the file open for reading only,
  // which keeps every writer out.
  FileHandle lock(::CreateFileW(ConfigFilePath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(lock);
  const std::wstring folder = folder_.Path();
  SetDestinationFolder(folder);
  ShowSettings();

  MessageBoxAnswerer report(L"Callwright", IDOK);
  settings_->btnok.Click();
  ASSERT_TRUE(PumpUntil([&] { return report.Answered() == 1; }, 3000));
  EXPECT_EQ(report.LastText(), L"Unable to write to " + ConfigFilePath() + L".");
  EXPECT_FALSE(settings_->Visible()) << "hidden all the same";
  EXPECT_EQ(settings_->edtpath.Text(), folder);
  EXPECT_EQ(DestinationFolder(), folder) << "still live for this run";
  lock.Reset();
  EXPECT_EQ(ReadConfig(L"path"), L"C:\\stored");
}

// ---- how recordings are kept

void SendKeys(std::initializer_list<std::pair<WORD, bool>> keys) {  // virtual key, released
  std::vector<INPUT> inputs;
  for (const auto& [vk, up] : keys) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    inputs.push_back(input);
  }
  ASSERT_EQ(::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)), inputs.size());
  RunLoopUntil([] { return false; }, 80);
}

POINT CentreOf(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

class KeepFormatTest : public SettingsWindowTest {
 protected:
  enum class Way { Mouse, Keys };

  // Shown and in front, as a click on it leaves it: keys go to it.
  void ShowSettingsActive() {
    ShowSettings();
    ::SetForegroundWindow(settings_->Handle());
    ASSERT_TRUE(RunLoopUntil([&] { return ::GetForegroundWindow() == settings_->Handle(); })) << "in front";
  }

  // Picks a row as the user does. Mouse: a click opens the list, a click on the row picks it. Keys:
  // Alt+K (the label's access key) goes to the list, the row's first letter picks it.
  void Pick(Way way, int row) {
    HWND combo = settings_->cmbformat.Handle();
    if (way == Way::Mouse) {
      COMBOBOXINFO info{};
      info.cbSize = sizeof(info);
      ASSERT_TRUE(::GetComboBoxInfo(combo, &info));
      test::ClickAt(CentreOf(ScreenRect(combo)));
      ASSERT_TRUE(RunLoopUntil([&] { return ::IsWindowVisible(info.hwndList) != FALSE; })) << "the list opens";
      RECT item{};
      ASSERT_NE(::SendMessageW(info.hwndList, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&item)), LB_ERR);
      ::MapWindowPoints(info.hwndList, HWND_DESKTOP, reinterpret_cast<POINT*>(&item), 2);
      test::ClickAt(CentreOf(item));
      ASSERT_TRUE(RunLoopUntil([&] { return !::IsWindowVisible(info.hwndList); })) << "the list closes";
    } else {
      SendKeys({{VK_MENU, false}, {'K', false}, {'K', true}, {VK_MENU, true}});
      ASSERT_EQ(::GetFocus(), combo) << "Alt+K";
      const WORD letter = "WFO"[row];
      SendKeys({{letter, false}, {letter, true}});
    }
    RunLoopUntil([&] { return settings_->cmbformat.ItemIndex() == row; });
  }
};

TEST_F(KeepFormatTest, WavUntilAnotherIsPickedAndEachPickStoredWhenTheWindowHides) {
  // Nothing stored: WAV, and OK stores nothing.
  ShowSettings();
  EXPECT_EQ(settings_->cmbformat.ItemIndex(), 0);
  PressOk();
  EXPECT_EQ(ReadConfig(L"format"), L"<missing>");

  struct Case {
    Way way;
    int row;
    const wchar_t* stored;
  } cases[] = {
      {Way::Mouse, 1, L"flac"}, {Way::Keys, 2, L"opus"}, {Way::Mouse, 0, L"wav"},
      {Way::Keys, 1, L"flac"},  {Way::Mouse, 2, L"opus"}, {Way::Keys, 0, L"wav"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.way == Way::Mouse ? "mouse" : "keys") << ", row " << c.row);
    const std::wstring before = ReadConfig(L"format");
    ShowSettingsActive();
    int changes = 0;
    settings_->cmbformat.OnChange = [&] { ++changes; };
    Pick(c.way, c.row);
    EXPECT_EQ(settings_->cmbformat.ItemIndex(), c.row);
    EXPECT_EQ(changes, 1) << "one change for one pick";
    EXPECT_EQ(ReadConfig(L"format"), before) << "not stored while the window is open";
    EXPECT_TRUE(settings_->Visible());
    PressOk();
    EXPECT_EQ(ReadConfig(L"format"), c.stored);
    // Shown again, the list shows what is stored.
    ShowSettings();
    EXPECT_EQ(settings_->cmbformat.ItemIndex(), c.row);
    PressOk();
  }

  // An outside change made while the window is hidden shows at its next show, and is kept.
  ASSERT_TRUE(WriteConfig(L"format", L"FLAC"));
  ShowSettings();
  EXPECT_EQ(settings_->cmbformat.ItemIndex(), 1);
  ::SendMessageW(settings_->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  PumpFor(10);
  EXPECT_EQ(ReadConfig(L"format"), L"FLAC") << "the same format is not written again";
}

// A value the program does not know (from a newer version, or typed by hand) reads as WAV and stays
// in the file through every hide, also when WAV is picked; another format replaces it.
TEST_F(KeepFormatTest, AnUnknownValueShowsAsWavAndStaysUntilAnotherFormatIsPicked) {
  for (const wchar_t* unknown : {L"mp3", L"", L"wave", L"flac opus"}) {
    SCOPED_TRACE(testing::Message() << "\"" << std::string(unknown, unknown + wcslen(unknown)) << "\"");
    ASSERT_TRUE(WriteConfig(L"format", unknown));
    ASSERT_EQ(ReadConfig(L"format"), unknown);
    for (const auto hide : {+[](TFrmSettings& s) { s.btnok.Click(); },
                            +[](TFrmSettings& s) { ::SendMessageW(s.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }}) {
      ShowSettings();
      EXPECT_EQ(settings_->cmbformat.ItemIndex(), 0) << "shown as WAV";
      hide(*settings_);
      PumpFor(10);
      ASSERT_FALSE(settings_->Visible());
      EXPECT_EQ(ReadConfig(L"format"), unknown);
    }
    ShowSettingsActive();
    Pick(Way::Mouse, 0);
    PressOk();
    EXPECT_EQ(ReadConfig(L"format"), unknown) << "WAV picked over WAV changes nothing";

    ShowSettingsActive();
    Pick(Way::Keys, 2);
    PressOk();
    EXPECT_EQ(ReadConfig(L"format"), L"opus");
  }
}

TEST_F(KeepFormatTest, AnUnwritableConfigurationIsReportedAndTheWindowHidesAllTheSame) {
  ShowSettingsActive();
  Pick(Way::Mouse, 1);
  test::RemoveConfig();
  ASSERT_TRUE(WriteConfig(L"format", L"wav"));
  ASSERT_TRUE(::SetFileAttributesW(ConfigFilePath().c_str(), FILE_ATTRIBUTE_READONLY));
  FileHandle lock(::CreateFileW(ConfigFilePath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(lock);
  MessageBoxAnswerer report(L"Callwright", IDOK);
  settings_->btnok.Click();
  ASSERT_TRUE(PumpUntil([&] { return report.Answered() == 1; }, 3000));
  EXPECT_EQ(report.LastText(), L"Unable to write to " + ConfigFilePath() + L".");
  EXPECT_FALSE(settings_->Visible());
  lock.Reset();
  ::SetFileAttributesW(ConfigFilePath().c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadConfig(L"format"), L"wav");
}

// ---- picking a folder with the shell's dialog

TEST_F(SettingsWindowTest, APickedFolderIsLiveAtOnceAndStoredOnlyOnHide) {
  TempDir stored, picked;
  ASSERT_TRUE(test::WriteBytes(picked.Join(L"05032011_141510_anna.wav"), std::string(100, 'x')));
  ASSERT_TRUE(test::WriteBytes(picked.Join(L"05032011_141610_ben.wav"), std::string(200, 'x')));
  ASSERT_TRUE(WriteConfig(L"path", stored.Path()));
  ShowMain();
  ASSERT_EQ(settings_->edtpath.Text(), stored.Path()) << "the main window's show fills the box";
  EXPECT_EQ(main_->lst.Count(), 0);
  ShowSettings();

  const std::wstring picked_path = ShellPath(picked.Path());
  ASSERT_FALSE(picked_path.empty());
  FolderDialogDriver driver(FolderDialogDriver::Answer::Ok, picked_path);
  settings_->btnopen.Click();
  const DialogSeen& seen = driver.Seen();
  ASSERT_TRUE(seen.found);
  EXPECT_EQ(seen.owner, settings_->Handle()) << "owned by the settings window";
  EXPECT_FALSE(seen.owner_enabled) << "modal to it: no second dialog";
  const RECT over = ScreenRect(settings_->Handle());
  EXPECT_NEAR(seen.at.left + seen.at.right, over.left + over.right, 2) << "centred over it";
  EXPECT_NEAR(seen.at.top + seen.at.bottom, over.top + over.bottom, 2) << "centred over it";
  EXPECT_TRUE(seen.ShowsText(kDialogTitle));
  EXPECT_EQ(seen.OtherVisibleButtons(), 0) << "no new-folder button";
  EXPECT_TRUE(seen.selection_is_root) << "no folder preselected: " << seen.selected_text;
  EXPECT_TRUE(seen.ok_enabled_before_answer);

  EXPECT_EQ(settings_->edtpath.Text(), picked_path);
  EXPECT_EQ(DestinationFolder(), picked_path);
  EXPECT_EQ(ReadConfig(L"path"), stored.Path()) << "not stored while the window is open";
  main_->btnrefresh.Click();
  ASSERT_TRUE(PumpUntil([&] { return !main_->Probing(); }, 10000));
  EXPECT_EQ(main_->lst.Count(), 2) << "the next listing uses it";

  // The next call is recorded there: the substitute client places one as soon as it is linked.
  TempDir log_folder;
  const fs::path log = log_folder.Join(L"commands.txt");
  test::ChildProcess sim(test::ExePath(L"callwright-clientsim.exe"),
                         {L"--partner", L"carla", L"--call", L"42", L"--call-ms", L"200", L"--delay", L"0",
                          L"--timeout", L"20000", L"--log", log.wstring()});
  ASSERT_TRUE(test::LinkToClient(*main_));
  ASSERT_TRUE(PumpUntil([&] { return !sim.Running(); }, 15000));
  EXPECT_EQ(sim.ExitCode(), 0u);
  std::vector<std::wstring> recorded;
  for (const auto& entry : fs::directory_iterator(picked.Path())) recorded.push_back(entry.path().filename());
  EXPECT_EQ(recorded.size(), 3u);
  EXPECT_EQ(std::count_if(recorded.begin(), recorded.end(),
                          [](const std::wstring& name) { return name.ends_with(L"_carla.wav"); }),
            1);
  EXPECT_TRUE(fs::is_empty(stored.Path()));
  std::ifstream commands(log);
  std::string command, output;
  while (std::getline(commands, command)) {
    if (command.find("SET_OUTPUT") != std::string::npos) output = command;
  }
  const std::string picked_ansi(picked_path.begin(), picked_path.end());  // ASCII: a temporary folder
  EXPECT_NE(output.find("file=\"" + picked_ansi + "\\"), std::string::npos) << output;

  // The main window's next show brings back the stored folder; the pick is lost.
  main_->Hide();
  ShowMain();
  EXPECT_EQ(DestinationFolder(), stored.Path());
  EXPECT_EQ(settings_->edtpath.Text(), stored.Path());
  EXPECT_EQ(main_->lst.Count(), 0);

  // Picked and hidden: stored.
  {
    FolderDialogDriver again(FolderDialogDriver::Answer::Ok, picked_path);
    settings_->btnopen.Click();
    ASSERT_TRUE(again.Seen().found);
  }
  PressOk();
  EXPECT_EQ(ReadConfig(L"path"), picked_path);
}

TEST_F(SettingsWindowTest, CancellingTheDialogChangesNothing) {
  const std::wstring folder = folder_.Path();
  ASSERT_TRUE(WriteConfig(L"path", folder));
  ShowMain();
  ShowSettings();
  for (const auto answer : {FolderDialogDriver::Answer::Cancel, FolderDialogDriver::Answer::Close}) {
    FolderDialogDriver driver(answer);
    settings_->btnopen.Click();
    ASSERT_TRUE(driver.Seen().found);
    EXPECT_EQ(settings_->edtpath.Text(), folder);
    EXPECT_EQ(DestinationFolder(), folder);
    EXPECT_EQ(ReadConfig(L"path"), folder);
  }
}

TEST_F(SettingsWindowTest, ADriveRootIsUsedAndStoredAsReturned) {
  ShowMain();
  ShowSettings();
  FolderDialogDriver driver(FolderDialogDriver::Answer::Ok, L"C:\\");
  settings_->btnopen.Click();
  ASSERT_TRUE(driver.Seen().found);
  EXPECT_EQ(settings_->edtpath.Text(), L"C:\\");
  EXPECT_EQ(DestinationFolder(), L"C:\\");
  PressOk();
  EXPECT_EQ(ReadConfig(L"path"), L"C:\\");
}

TEST_F(SettingsWindowTest, AnInitialFolderIsSelectedAndTheNewFolderButtonShownWhenAsked) {
  const std::wstring folder = ShellPath(folder_.Path());
  FolderDialogDriver driver(FolderDialogDriver::Answer::Ok);
  const std::wstring chosen = BrowseForFolder(settings_->Handle(), L"Pick one", folder, true);
  const DialogSeen& seen = driver.Seen();
  ASSERT_TRUE(seen.found);
  EXPECT_TRUE(seen.ShowsText(L"Pick one"));
  EXPECT_FALSE(seen.selection_is_root);
  EXPECT_EQ(seen.selected_text, fs::path(folder_.Path()).filename().wstring());
  EXPECT_EQ(seen.OtherVisibleButtons(), 1) << "the new-folder button";
  EXPECT_EQ(chosen, folder) << "OK on the preselected folder";
}

// ---- the folder picker's record and results, through the replaceable shell calls

struct FakeShell {
  BROWSEINFOW info{};
  std::wstring title;
  const wchar_t* path = nullptr;  // null: SHGetPathFromIDListW fails
  bool cancel = false;
  LPWSTR path_buffer = nullptr;
  std::vector<LPVOID> freed;
  std::vector<UINT> callback_sends;  // messages BrowseCallback sent to the dialog
  std::wstring selection_sent;
  WPARAM selection_wparam = 0;
  RECT dialog_at{};  // where the dialog was once the callback had seen its start
};
FakeShell* g_fake = nullptr;
ITEMIDLIST g_fake_list{};

LRESULT CALLBACK RecordingDialogProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (g_fake && msg == BFFM_SETSELECTIONW) {
    g_fake->callback_sends.push_back(msg);
    g_fake->selection_wparam = wparam;
    g_fake->selection_sent = reinterpret_cast<const wchar_t*>(lparam);
    return 0;
  }
  return ::DefWindowProcW(hwnd, msg, wparam, lparam);
}

PIDLIST_ABSOLUTE WINAPI FakeBrowse(LPBROWSEINFOW info) {
  g_fake->info = *info;
  g_fake->title = info->lpszTitle ? info->lpszTitle : L"";
  if (info->lpfn) {
    // The dialog's start, as the shell reports it, and a later selection change.
    WNDCLASSW wc{};
    wc.lpfnWndProc = &RecordingDialogProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TFakeFolderDialog";
    ::RegisterClassW(&wc);
    // Opened at the screen's corner, as the shell opens it, and owned by the given owner.
    WindowHandle dialog(::CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 200, 100, info->hwndOwner,
                                          nullptr, wc.hInstance, nullptr));
    EXPECT_EQ(info->lpfn(dialog.Get(), BFFM_INITIALIZED, 0, info->lParam), 0);
    ::GetWindowRect(dialog.Get(), &g_fake->dialog_at);
    EXPECT_EQ(info->lpfn(dialog.Get(), BFFM_SELCHANGED, 0, info->lParam), 0);
  }
  return g_fake->cancel ? nullptr : &g_fake_list;
}

BOOL WINAPI FakePathFromIdList(PCIDLIST_ABSOLUTE list, LPWSTR path) {
  EXPECT_EQ(list, &g_fake_list);
  g_fake->path_buffer = path;
  if (!g_fake->path) return FALSE;
  wcsncpy(path, g_fake->path, MAX_PATH - 1);
  path[MAX_PATH - 1] = L'\0';
  return TRUE;
}

void WINAPI FakeFree(LPVOID list) { g_fake->freed.push_back(list); }

class FolderPickerCallsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = FolderDialog;
    FolderDialog = {&FakeBrowse, &FakePathFromIdList, &FakeFree};
    g_fake = &fake_;
  }
  void TearDown() override {
    FolderDialog = saved_;
    g_fake = nullptr;
  }
  FakeShell fake_;
  FolderDialogCalls saved_{};
  // The window that asks for the dialog, at 100, 80 with size 400 x 300.
  WindowHandle owner_{::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 100, 80, 400, 300, nullptr, nullptr, nullptr,
                                        nullptr)};
};

TEST_F(FolderPickerCallsTest, RecordFlagsOwnerAndCallback) {
  struct Case {
    const wchar_t* initial;
    bool new_folder_button;
    UINT flags;
    bool selects;
  };
  const Case cases[] = {
      {L"", false, 0x241, false},  // the settings window's call: 577
      {L"", true, 0x41, false},
      {L"C:\\Records", false, 0x241, true},
      {L"C:\\Records", true, 0x41, true},
  };
  for (const Case& c : cases) {
    fake_ = {};
    fake_.path = L"C:\\Chosen";
    EXPECT_EQ(BrowseForFolder(owner_.Get(), L"Title here", c.initial, c.new_folder_button), L"C:\\Chosen");
    EXPECT_EQ(fake_.info.ulFlags, c.flags);
    EXPECT_EQ(fake_.info.hwndOwner, owner_.Get()) << "the window that asks";
    EXPECT_EQ(fake_.info.pidlRoot, nullptr) << "the tree starts at the desktop";
    EXPECT_EQ(fake_.info.lParam, 0);
    EXPECT_EQ(fake_.title, L"Title here");
    ASSERT_NE(fake_.info.pszDisplayName, nullptr);
    EXPECT_EQ(fake_.path_buffer, fake_.info.pszDisplayName) << "one buffer for the name and the path";
    // The callback always centres the dialog over its owner when it starts.
    EXPECT_EQ(fake_.info.lpfn, &BrowseCallback);
    EXPECT_EQ(fake_.dialog_at.left, 200);
    EXPECT_EQ(fake_.dialog_at.top, 180);
    if (c.selects) {
      EXPECT_EQ(fake_.callback_sends, std::vector<UINT>{BFFM_SETSELECTIONW}) << "only at the start";
      EXPECT_EQ(fake_.selection_wparam, static_cast<WPARAM>(TRUE)) << "selection given as a path";
      EXPECT_EQ(fake_.selection_sent, c.initial);
    } else {
      EXPECT_TRUE(fake_.callback_sends.empty()) << "no folder selected";
    }
  }
}

TEST_F(FolderPickerCallsTest, ResultsAndReleaseOfTheItemList) {
  const std::wstring longest(MAX_PATH - 1, L'a');
  struct Case {
    const char* name;
    bool cancel;
    const wchar_t* path;
    std::wstring result;
    std::size_t frees;
  };
  const Case cases[] = {
      {"cancelled", true, L"C:\\unused", L"", 0},
      {"a folder", false, L"C:\\Users\\me\\Calls", L"C:\\Users\\me\\Calls", 1},
      {"a drive root", false, L"D:\\", L"D:\\", 1},
      {"the longest path", false, longest.c_str(), longest, 1},
      {"no file-system path", false, nullptr, L"", 1},
  };
  for (const Case& c : cases) {
    fake_ = {};
    fake_.cancel = c.cancel;
    fake_.path = c.path;
    EXPECT_EQ(BrowseForFolder(nullptr, L"t", L"", false), c.result) << c.name;
    ASSERT_EQ(fake_.freed.size(), c.frees) << c.name;
    if (c.frees == 1) {
      EXPECT_EQ(fake_.freed[0], &g_fake_list) << c.name;
    }
  }
}

// The settings window keeps its folder when the dialog yields nothing usable, and takes a result
// as returned even with blanks around it.
TEST_F(FolderPickerCallsTest, SettingsWindowTakesOnlyAUsableResult) {
  TFrmSettings settings;
  SetDestinationFolder(L"C:\\before");
  struct Case {
    bool cancel;
    const wchar_t* path;
    std::wstring folder_after;
  };
  const Case cases[] = {
      {true, nullptr, L"C:\\before"},
      {false, nullptr, L"C:\\before"},
      {false, L"   ", L"C:\\before"},
      {false, L" C:\\spaced ", L" C:\\spaced "},
  };
  for (const Case& c : cases) {
    fake_ = {};
    fake_.cancel = c.cancel;
    fake_.path = c.path;
    settings.btnopen.Click();
    EXPECT_EQ(fake_.info.ulFlags, 577u);
    EXPECT_EQ(fake_.title, kDialogTitle);
    EXPECT_EQ(fake_.info.hwndOwner, settings.Handle());
    EXPECT_TRUE(fake_.callback_sends.empty()) << "no folder selected";
    EXPECT_EQ(DestinationFolder(), c.folder_after);
    EXPECT_EQ(settings.edtpath.Text(), c.folder_after);
  }
  SetDestinationFolder(L"");
}

// The program's windows with the folder dialog's shell calls replaced.
class SettingsPickTest : public SettingsWindowTest {
 protected:
  void SetUp() override {
    SettingsWindowTest::SetUp();
    saved_ = FolderDialog;
    FolderDialog = {&FakeBrowse, &FakePathFromIdList, &FakeFree};
    g_fake = &fake_;
  }
  void TearDown() override {
    FolderDialog = saved_;
    g_fake = nullptr;
    SettingsWindowTest::TearDown();
  }
  FakeShell fake_;
  FolderDialogCalls saved_{};
};

// The list shows the picked folder's recordings as soon as it is picked, without a Refresh.
TEST_F(SettingsPickTest, APickedFolderIsListedAtOnce) {
  TempDir stored, picked;
  const std::wstring names[] = {L"05032013_141516_anna.k.wav", L"06032013_101010_carla.wav"};
  for (const std::wstring& name : names) ASSERT_TRUE(test::WriteBytes(picked.Join(name), std::string(100, 'x')));
  ASSERT_TRUE(WriteConfig(L"path", stored.Path()));
  ShowMain();
  ASSERT_TRUE(PumpUntil([&] { return !main_->Probing(); }, 10000));
  ASSERT_EQ(main_->lst.Count(), 0);
  ShowSettings();
  const std::wstring picked_path = picked.Path();
  fake_.path = picked_path.c_str();
  settings_->btnopen.Click();
  ASSERT_EQ(DestinationFolder(), picked_path);
  EXPECT_TRUE(PumpUntil([&] { return main_->lst.Count() == 2 && !main_->Probing(); }, 10000));
  ASSERT_EQ(main_->lst.Count(), 2);
  for (int row = 0; row < 2; ++row) EXPECT_EQ(main_->Recordings().Path(row).rfind(picked_path + L"\\", 0), 0u);
  PressOk();
}

// A folder outside the ANSI code page is taken when the client can be given its short form, and
// refused with a message naming it when it has none (a missing folder has none).
TEST_F(FolderPickerCallsTest, SettingsWindowRefusesAFolderTheClientCannotBeGiven) {
  TFrmSettings settings;
  TempDir temp;
  const std::wstring foreign = L"\u0417\u0430\u043F\u0438\u0441\u0438 \u9332\u97F3";
  const std::wstring existing = temp.Join(foreign);
  const std::wstring missing = temp.Join(foreign + L" 2");
  ASSERT_TRUE(fs::create_directory(existing));
  SetDestinationFolder(L"C:\\before");
  struct Case {
    std::wstring picked;
    std::wstring folder_after;
    bool refused;
  } cases[] = {
      {missing, L"C:\\before", true},
      {existing, existing, false},
      {missing, existing, true},
  };
  for (const Case& c : cases) {
    fake_ = {};
    fake_.path = c.picked.c_str();
    MessageBoxAnswerer report(L"Callwright", IDOK);
    settings.btnopen.Click();
    PumpFor(50);
    EXPECT_EQ(report.Answered(), c.refused ? 1 : 0) << c.picked.c_str();
    if (c.refused) {
      EXPECT_EQ(report.LastText(), L"The folder \"" + c.picked +
                                       L"\" cannot be chosen for recordings. Skype cannot be given it: its name holds "
                                       L"characters outside the system's code page, and it has no short (8.3) name.");
    }
    EXPECT_EQ(DestinationFolder(), c.folder_after);
    EXPECT_EQ(settings.edtpath.Text(), c.folder_after);
  }
  SetDestinationFolder(L"");
}

}  // namespace
}  // namespace callwright
