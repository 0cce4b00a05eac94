// The main window and the notice, driven through their real windows: real files in a temporary
// folder, the real config.ini beside this test program, real message boxes answered while they
// run their modal loops, and a second process holding a recording open.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h.
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "audio/converter.h"
#include "core/catalogue_win.h"
#include "core/destination_folder.h"
#include "core/platform.h"
#include "core/settings_win.h"
#include "support/client_win.h"
#include "support/config_file_win.h"
#include "support/file_holder_win.h"
#include "support/files_win.h"
#include "support/gui_win.h"
#include "support/process_win.h"
#include "support/program_windows_fixture_win.h"
#include "support/temp_dir_win.h"
#include "support/window_answerer_win.h"
#include "ui/program_windows.h"
#include "ui/about_form.h"
#include "ui/info_form.h"
#include "ui/main_form.h"
#include "ui/settings_form.h"
#include "ui/toolkit/application.h"
#include "ui/toolkit/shell.h"

namespace callwright {
namespace {

namespace fs = std::filesystem;
using test::MessageBoxAnswerer;
using test::PumpFor;
using test::PumpUntil;
using test::ReadConfig;
using test::WindowAnswerer;
using test::WriteConfig;

std::vector<std::wstring> g_opened;
std::intptr_t RecordOpen(const std::wstring& target) {
  g_opened.push_back(target);
  return 42;  // opened
}

LRESULT CALLBACK NoMinimumSize(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR) {
  const LRESULT result = ::DefSubclassProc(hwnd, msg, wparam, lparam);
  if (msg == WM_GETMINMAXINFO) reinterpret_cast<MINMAXINFO*>(lparam)->ptMinTrackSize = {0, 0};
  return result;
}

class MainWindowTest : public test::ProgramWindowsTest {
 protected:
  void SetUp() override {
    ProgramWindowsTest::SetUp();
    ShellOpen = &RecordOpen;
    g_opened.clear();
  }

  // Recordings named as the client names them, in a fresh folder that the configuration names.
  std::vector<fs::path> MakeRecordings(int count) {
    std::vector<fs::path> files;
    for (int i = 0; i < count; ++i) {
      files.push_back(fs::path(folder_.Path()) / (L"0503201" + std::to_wstring(i) + L"_14151" + std::to_wstring(i) +
                                                  L"_partner." + std::to_wstring(i) + L".wav"));
      EXPECT_TRUE(test::WriteBytes(files.back().wstring(), std::string(100 * (i + 1), 'x')));
    }
    return files;
  }

  // Shown, with every file of the listing measured.
  void ShowMain() {
    main_->Show();
    PumpFor(10);
    ASSERT_TRUE(PumpUntil([&] { return !main_->Probing(); }, 10000));
  }

  // Refresh, and the new listing shown and measured.
  void Refresh() {
    main_->btnrefresh.Click();
    ASSERT_TRUE(PumpUntil([&] { return !main_->Probing(); }, 10000));
  }

  // Every file that Delete was told to remove is done with, and its row gone if the file is.
  void WaitForDeletion() { ASSERT_TRUE(PumpUntil([&] { return !main_->Deleting(); }, 10000)); }

  std::vector<std::wstring> ListedPaths() const {
    std::vector<std::wstring> paths;
    for (int i = 0; i < main_->lst.Count(); ++i) paths.push_back(main_->lst.ItemText(i, RecordingList::kLocation));
    return paths;
  }

  bool OpenAndDeleteEnabled() const { return main_->btnopen.Enabled() && main_->btndelete.Enabled(); }
  bool OpenAndDeleteDisabled() const { return !main_->btnopen.Enabled() && !main_->btndelete.Enabled(); }
};

TEST_F(MainWindowTest, WindowSettingsAndLayout) {
  HWND hwnd = main_->Handle();
  wchar_t text[64] = {};
  ::GetWindowTextW(hwnd, text, 64);
  EXPECT_STREQ(text, L"Callwright [\u2022]");
  ::GetClassNameW(hwnd, text, 64);
  EXPECT_STREQ(text, L"TFrmMain");
  EXPECT_TRUE(::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_THICKFRAME) << "sizeable";
  EXPECT_TRUE(::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_APPWINDOW) << "the task-bar button";
  MINMAXINFO limits{};
  ::SendMessageW(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
  EXPECT_EQ(limits.ptMinTrackSize.x, 510);
  EXPECT_EQ(limits.ptMinTrackSize.y, 100);
  EXPECT_FALSE(main_->btnopen.Enabled());
  EXPECT_FALSE(main_->btndelete.Enabled());
  EXPECT_TRUE(main_->TimerAttach.Enabled());
  EXPECT_EQ(main_->TimerAttach.Interval(), 10000u);
  EXPECT_FALSE(main_->TimerSel.Enabled());
  EXPECT_EQ(main_->TimerSel.Interval(), 200u);
  EXPECT_FALSE(main_->loaded);
  EXPECT_EQ(main_->Img16.Count(), 2);
  EXPECT_EQ(::GetWindowLongPtrW(hwnd, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&ShowRequestWndProc));

  const std::vector<std::wstring> columns{L"When", L"Partner Handle", L"Size", L"Length", L"File location"};
  const std::vector<int> widths{150, 100, 70, 60, 160};
  EXPECT_EQ(Header_GetItemCount(ListView_GetHeader(main_->lst.Handle())), 5);
  for (int i = 0; i < 5; ++i) {
    wchar_t caption[64] = {};
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = caption;
    column.cchTextMax = 64;
    ASSERT_TRUE(::SendMessageW(main_->lst.Handle(), LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column)));
    EXPECT_EQ(caption, columns[i]);
    EXPECT_EQ(column.cx, widths[i]);
  }
  const DWORD list_style = ListView_GetExtendedListViewStyle(main_->lst.Handle());
  EXPECT_TRUE(list_style & LVS_EX_GRIDLINES);
  EXPECT_TRUE(list_style & LVS_EX_FULLROWSELECT);
  const LONG_PTR style = ::GetWindowLongPtrW(main_->lst.Handle(), GWL_STYLE);
  EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
  EXPECT_TRUE(style & LVS_OWNERDATA) << "rows served from the window's own store";
  EXPECT_TRUE(style & LVS_SHAREIMAGELISTS) << "Img16 frees its image list itself";
  EXPECT_EQ(ListView_GetImageList(main_->lst.Handle(), LVSIL_SMALL), main_->Img16.Handle());
  EXPECT_FALSE(style & (LVS_SINGLESEL | LVS_EDITLABELS | LVS_SORTASCENDING | LVS_SORTDESCENDING));

  // Left positions for a client area, and the list's bounds.
  // The search box holds the right end of the button row; the buttons keep their places left of it.
  struct Geometry {
    int width, height;
    int settings, about, close, search, open, del, browse, refresh;
    RECT list;
  };
  const Geometry table[] = {
      {494, 293, 409, 324, 239, 378, 293, 208, 123, 38, {4, 40, 490, 248}},
      {616, 400, 531, 446, 361, 500, 415, 330, 245, 160, {4, 40, 612, 355}},
      {494, 60, 409, 324, 239, 378, 293, 208, 123, 38, {4, 40, 490, 40}},  // list height below zero: empty
  };
  // The minimum outer size is the designed client area plus the frames of the platform the window
  // was designed on; thinner frames (Wine's) would keep the client area from reaching 494 wide.
  ::SetWindowSubclass(hwnd, &NoMinimumSize, 0, 0);
  for (const Geometry& g : table) {
    RECT outer{0, 0, g.width, g.height};
    ::AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_APPWINDOW);
    ::SetWindowPos(hwnd, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top, SWP_NOMOVE | SWP_NOZORDER);
    ASSERT_EQ(main_->ClientSize().cx, g.width);
    ASSERT_EQ(main_->ClientSize().cy, g.height);
    EXPECT_EQ(main_->btnsettings.Left(), g.settings) << g.width;
    EXPECT_EQ(main_->btnabout.Left(), g.about) << g.width;
    EXPECT_EQ(main_->btnclose.Left(), g.close) << g.width;
    EXPECT_EQ(main_->btnopen.Left(), g.open) << g.width;
    EXPECT_EQ(main_->btndelete.Left(), g.del) << g.width;
    EXPECT_EQ(main_->btnfol.Left(), g.browse) << g.width;
    EXPECT_EQ(main_->btnrefresh.Left(), g.refresh) << g.width;
    const RECT search = main_->edtsearch.Bounds();
    EXPECT_EQ(search.left, g.search) << g.width;
    EXPECT_EQ(search.right, g.width - 4) << g.width;
    EXPECT_EQ(search.top, 10);
    EXPECT_EQ(search.bottom, 33);
    const RECT list = main_->lst.Bounds();
    EXPECT_TRUE(::EqualRect(&list, &g.list)) << g.width << "x" << g.height << ": " << list.left << "," << list.top
                                             << "," << list.right << "," << list.bottom;
    const RECT bar = main_->p.Bounds();
    EXPECT_EQ(bar.top, g.height - 41);
    EXPECT_EQ(bar.right - bar.left, g.width);
    for (const SpeedButton* button : {&main_->btnsettings, &main_->btnabout, &main_->btnclose, &main_->btnopen,
                                      &main_->btndelete, &main_->btnfol, &main_->btnrefresh}) {
      EXPECT_EQ(button->Top(), 9);
      EXPECT_EQ(button->Width(), 81);
      EXPECT_EQ(button->Height(), 25);
    }
  }
  ::RemoveWindowSubclass(hwnd, &NoMinimumSize, 0);
}

TEST_F(MainWindowTest, ShowListsTheConfiguredFolderAndCreatesTheDefaultFolder) {
  MakeRecordings(3);
  fs::create_directory(fs::path(folder_.Path()) / L"folder.wav");
  ASSERT_TRUE(test::WriteBytes(folder_.Join(L"notes.txt"), "xxxxx"));
  ASSERT_TRUE(WriteConfig(L"path", folder_.Path()));
  std::error_code ignored;
  fs::remove_all(DefaultFolder(), ignored);
  main_->forbidden = true;
  // A client window that is gone: the fresh discovery drops the link to it.
  const HWND gone = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(gone && ::DestroyWindow(gone));
  main_->SkypeWindowHandle = gone;

  ShowMain();
  EXPECT_FALSE(main_->forbidden);
  EXPECT_EQ(main_->SkypeWindowHandle, nullptr) << "a fresh discovery";
  EXPECT_EQ(DestinationFolder(), folder_.Path());
  EXPECT_TRUE(fs::is_directory(DefaultFolder())) << "created although another folder is configured";
  EXPECT_TRUE(main_->TimerSel.Enabled());
  const std::vector<RecordingRow> rows = ListRecordings(folder_.Path());
  ASSERT_EQ(rows.size(), 3u);
  ASSERT_EQ(main_->lst.Count(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(main_->lst.ItemText(i, 0), rows[i].When);
    EXPECT_EQ(main_->lst.ItemText(i, 1), rows[i].Partner);
    EXPECT_EQ(main_->lst.ItemText(i, 2), rows[i].Size);
    EXPECT_EQ(main_->lst.ItemText(i, RecordingList::kLocation), rows[i].FileLocation);
  }

  // Refresh rebuilds from the folder; hiding stops following the selection.
  MakeRecordings(4);
  Refresh();
  EXPECT_EQ(main_->lst.Count(), 4);
  main_->Hide();
  EXPECT_FALSE(main_->TimerSel.Enabled());
}

TEST_F(MainWindowTest, DeleteAnsweredYesRemovesExactlyTheSelectedRowsAndFiles) {
  MakeRecordings(5);
  ASSERT_TRUE(WriteConfig(L"path", folder_.Path()));
  ShowMain();
  ASSERT_EQ(main_->lst.Count(), 5);
  const std::vector<std::wstring> before = ListedPaths();
  for (int i : {1, 2, 4}) main_->lst.SetSelected(i, true);
  ASSERT_TRUE(PumpUntil([&] { return OpenAndDeleteEnabled(); }, 2000));

  HWND owner = nullptr;
  bool main_enabled = true;
  MessageBoxAnswerer yes(L"Delete files", IDYES, [&](HWND box) {
    owner = ::GetWindow(box, GW_OWNER);
    main_enabled = ::IsWindowEnabled(main_->Handle()) != FALSE;
  });
  main_->btndelete.Click();
  EXPECT_EQ(yes.Answered(), 1);
  WaitForDeletion();
  EXPECT_EQ(yes.LastText(), L"Move 3 recordings to the Recycle Bin?");
  EXPECT_EQ(owner, main_->Handle()) << "modal to the main window";
  EXPECT_FALSE(main_enabled) << "no second Delete and no other selection while the question is open";
  EXPECT_TRUE(::IsWindowEnabled(main_->Handle()));
  EXPECT_EQ(ListedPaths(), (std::vector<std::wstring>{before[0], before[3]}));
  for (int i : {1, 2, 4}) EXPECT_FALSE(fs::exists(before[i])) << i;
  for (int i : {0, 3}) EXPECT_TRUE(fs::exists(before[i])) << i;

  // The rows left alternate colour and icon anew at the next paint.
  main_->lst.Repaint();
  PumpFor(20);
  EXPECT_EQ(main_->lst.ItemImage(0), 0);
  EXPECT_EQ(main_->lst.ItemImage(1), 1);
  // The selection is gone, and Open and Delete follow within the timer.
  EXPECT_TRUE(PumpUntil([&] { return OpenAndDeleteDisabled(); }, 1000));
}

TEST_F(MainWindowTest, DeleteRemovesALinkToAFolderButNeverAFolderWhoseRowStays) {
  const fs::path target = fs::path(folder_.Path()) / L"target";
  const fs::path link = fs::path(folder_.Path()) / L"05032013_141516_link.wav";
  const fs::path real = fs::path(folder_.Path()) / L"05032013_141516_real.wav";
  fs::create_directory(target);
  fs::create_directory(real);
  ASSERT_TRUE(test::WriteBytes((target / L"kept.txt").wstring(), "xxx"));
  if (!::CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY)) {
    GTEST_SKIP() << "no symbolic links to folders here";
  }
  ASSERT_TRUE(WriteConfig(L"path", folder_.Path()));
  ShowMain();
  // Listing skips folders, so the rows are put in as the folder watcher puts them.
  main_->Recordings().FileAdded(link.filename().wstring(), 0);
  main_->Recordings().FileAdded(real.filename().wstring(), 0);
  ASSERT_EQ(main_->lst.Count(), 2);
  main_->lst.SetSelected(0, true);
  main_->lst.SetSelected(1, true);
  ASSERT_TRUE(PumpUntil([&] { return OpenAndDeleteEnabled(); }, 2000));
  MessageBoxAnswerer yes(L"Delete files", IDYES);
  main_->btndelete.Click();
  EXPECT_EQ(yes.Answered(), 1);
  WaitForDeletion();
  EXPECT_EQ(ListedPaths(), (std::vector<std::wstring>{real.wstring()})) << "only the row whose entry is gone goes";
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
  EXPECT_TRUE(fs::exists(target / L"kept.txt")) << "the linked folder keeps its content";
  EXPECT_TRUE(fs::is_directory(real)) << "a real folder is never removed";
}

TEST_F(MainWindowTest, DeleteAnsweredNoChangesNothing) {
  MakeRecordings(3);
  ASSERT_TRUE(WriteConfig(L"path", folder_.Path()));
  ShowMain();
  const std::vector<std::wstring> before = ListedPaths();
  main_->lst.SetSelected(0, true);
  main_->lst.SetSelected(2, true);
  ASSERT_TRUE(PumpUntil([&] { return OpenAndDeleteEnabled(); }, 2000));
  MessageBoxAnswerer no(L"Delete files", IDNO);
  main_->btndelete.Click();
  EXPECT_EQ(no.Answered(), 1);
  EXPECT_EQ(ListedPaths(), before);
  for (const std::wstring& path : before) EXPECT_TRUE(fs::exists(path));
  EXPECT_EQ(main_->lst.SelectedIndices(), (std::vector<int>{0, 2}));
}

TEST_F(MainWindowTest, OpenAndDeleteFollowTheSelectionWhileVisible) {
  MakeRecordings(2);
  ASSERT_TRUE(WriteConfig(L"path", folder_.Path()));
  ShowMain();
  EXPECT_TRUE(OpenAndDeleteDisabled());
  main_->lst.SetSelected(1, true);
  EXPECT_TRUE(PumpUntil([&] { return OpenAndDeleteEnabled(); }, 1000));
  main_->lst.SetSelected(1, false);
  EXPECT_TRUE(PumpUntil([&] { return OpenAndDeleteDisabled(); }, 1000));
  main_->lst.SetSelected(0, true);
  EXPECT_TRUE(PumpUntil([&] { return OpenAndDeleteEnabled(); }, 1000));
}

TEST_F(MainWindowTest, OpenAndDoubleClickOpenTheFirstSelectedRowAndBrowseTheFolder) {
  MakeRecordings(4);
  ASSERT_TRUE(WriteConfig(L"path", folder_.Path()));
  ShowMain();
  const std::vector<std::wstring> paths = ListedPaths();

  main_->lstDblClick();
  main_->btnopenClick();
  EXPECT_TRUE(g_opened.empty()) << "nothing selected";

  main_->lst.SetSelected(3, true);
  main_->lst.SetSelected(1, true);
  ASSERT_TRUE(PumpUntil([&] { return OpenAndDeleteEnabled(); }, 2000));
  main_->btnopen.Click();
  RECT row{};
  ListView_GetItemRect(main_->lst.Handle(), 3, &row, LVIR_LABEL);
  const LPARAM at = MAKELPARAM(row.left + 5, (row.top + row.bottom) / 2);
  ::SendMessageW(main_->lst.Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  ::SendMessageW(main_->lst.Handle(), WM_LBUTTONUP, 0, at);
  ASSERT_EQ(g_opened.size(), 2u);
  EXPECT_EQ(g_opened[0], paths[1]);
  EXPECT_FALSE(g_opened[1].empty());
  EXPECT_EQ(g_opened[1], paths[main_->lst.FirstSelected()]) << "a double click opens the first selected row";

  g_opened.clear();
  main_->btnfol.Click();
  EXPECT_EQ(g_opened, (std::vector<std::wstring>{folder_.Path()}));
}

TEST_F(MainWindowTest, DeletingAFileStillBeingWrittenKeepsTheFileAndItsRow) {
  const std::vector<fs::path> files = MakeRecordings(2);
  ASSERT_TRUE(WriteConfig(L"path", folder_.Path()));
  // A second process holds the file open for writing, as the client does while it records.
  test::FileHolder holder(files[1].wstring());
  ASSERT_TRUE(holder.Held());

  ShowMain();
  const std::vector<std::wstring> before = ListedPaths();
  ASSERT_EQ(before.size(), 2u);
  const int held = before[0] == files[1].wstring() ? 0 : 1;
  EXPECT_EQ(main_->lst.ItemText(held, 2), L"BUSY");
  main_->lst.SetSelected(0, true);
  main_->lst.SetSelected(1, true);
  ASSERT_TRUE(PumpUntil([&] { return OpenAndDeleteEnabled(); }, 2000));
  {
    MessageBoxAnswerer yes(L"Delete files", IDYES);
    MessageBoxAnswerer kept(L"Recordings kept", IDOK);
    main_->btndelete.Click();
    EXPECT_EQ(yes.Answered(), 1);
    WaitForDeletion();
    ASSERT_TRUE(PumpUntil([&] { return kept.Answered() == 1; }, 3000)) << "the kept recording is told";
    EXPECT_EQ(kept.LastText(), L"1 recording was kept: its call is still being recorded.");
  }
  EXPECT_TRUE(fs::exists(files[1])) << "still being written";
  EXPECT_FALSE(fs::exists(files[0]));
  EXPECT_EQ(ListedPaths(), (std::vector<std::wstring>{files[1].wstring()})) << "its file is still there";
  EXPECT_EQ(main_->lst.ItemText(0, 2), L"BUSY");
  EXPECT_EQ(main_->lst.SelectedCount(), 0);

  // The next rebuild shows it as well.
  Refresh();
  EXPECT_EQ(ListedPaths(), (std::vector<std::wstring>{files[1].wstring()}));
  EXPECT_EQ(holder.Release(), 0u);
}

TEST_F(MainWindowTest, DeleteTakesTheRowsSelectedWhenItWasPressed) {
  MakeRecordings(5);
  ASSERT_TRUE(WriteConfig(L"path", folder_.Path()));
  ShowMain();
  const std::vector<std::wstring> before = ListedPaths();
  main_->lst.SetSelected(1, true);
  ASSERT_TRUE(PumpUntil([&] { return OpenAndDeleteEnabled(); }, 2000));
  // The selection changes while the question is open (nothing a user can do with the window
  // disabled, but a program can).
  MessageBoxAnswerer yes(L"Delete files", IDYES, [&](HWND) {
    for (int i : {2, 3, 4}) main_->lst.SetSelected(i, true);
  });
  main_->btndelete.Click();
  ASSERT_EQ(yes.Answered(), 1);
  WaitForDeletion();
  EXPECT_FALSE(fs::exists(before[1]));
  for (int i : {0, 2, 3, 4}) EXPECT_TRUE(fs::exists(before[i])) << i;
  EXPECT_EQ(ListedPaths(), (std::vector<std::wstring>{before[0], before[2], before[3], before[4]}));
}

TEST_F(MainWindowTest, RowsComeAtOnceAndTheWorkersMeasuresMakeThemTheRowsOfTheListing) {
  const std::vector<fs::path> files = MakeRecordings(6);
  ASSERT_TRUE(WriteConfig(L"path", folder_.Path()));
  const test::FileHolder held(files[2].wstring());
  ASSERT_TRUE(held.Held());
  ShowMain();
  // Cell for cell the rows that the listing builds at once, "BUSY" included.
  const std::vector<RecordingRow> rows = ListRecordings(folder_.Path());
  ASSERT_EQ(main_->lst.Count(), static_cast<int>(rows.size()));
  int busy = 0;
  for (int i = 0; i < main_->lst.Count(); ++i) {
    EXPECT_EQ(main_->lst.ItemText(i, 0), rows[i].When) << i;
    EXPECT_EQ(main_->lst.ItemText(i, 1), rows[i].Partner) << i;
    EXPECT_EQ(main_->lst.ItemText(i, 2), rows[i].Size) << i;
    EXPECT_EQ(main_->lst.ItemText(i, RecordingList::kLocation), rows[i].FileLocation) << i;
    if (main_->lst.ItemText(i, 2) == L"BUSY") {
      ++busy;
      EXPECT_EQ(main_->lst.ItemText(i, RecordingList::kLocation), files[2].wstring());
    }
  }
  EXPECT_EQ(busy, 1);
}

TEST_F(MainWindowTest, AMeasureOfAnOlderListingNeverReachesANewerOne) {
  // Two folders with the same names: a result applied by row number would land on the same row.
  test::TempDir other;
  for (const fs::path& file : MakeRecordings(3)) {
    ASSERT_TRUE(test::WriteBytes(other.Join(file.filename().wstring()), std::string(100, 'x')));
  }
  const std::wstring first_folder = folder_.Path() + L"\\";
  KernelHandle gate(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const RecordingMeasure previous = MeasureRecording;
  // The first folder's files wait at the gate and then read as "BUSY".
  MeasureRecording = [&, handle = gate.Get()](const std::wstring& path) {
    if (path.rfind(first_folder, 0) != 0) return MeasureRecordingFile(path);
    ::WaitForSingleObject(handle, 20000);
    return FileOutcome{FileStatus::Busy};
  };
  ASSERT_TRUE(WriteConfig(L"path", folder_.Path()));
  main_->Show();
  PumpFor(50);
  EXPECT_TRUE(main_->Probing()) << "held at the gate";

  // A newer listing of the other folder, measured at once.
  SetDestinationFolder(other.Path());
  main_->btnrefresh.Click();
  ASSERT_TRUE(PumpUntil([&] { return !main_->Probing(); }, 10000));
  // The older listing's worker goes on with the file in hand and posts its "BUSY".
  ::SetEvent(gate.Get());
  PumpFor(500);
  ASSERT_EQ(main_->lst.Count(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(main_->lst.ItemText(i, RecordingList::kLocation).rfind(other.Path() + L"\\", 0), 0u) << i;
    EXPECT_EQ(main_->lst.ItemText(i, 2), L"100" + UserNumberSeparators().decimal + L"00 Bytes") << i;
  }
  windows_.reset();  // waits for the workers while the measure is still ours
  MeasureRecording = previous;
}

TEST_F(MainWindowTest, AShowWhileMeasuringStartsAfreshAndTheWindowNeverWaits) {
  const std::vector<fs::path> files = MakeRecordings(4);
  ASSERT_TRUE(WriteConfig(L"path", folder_.Path()));
  KernelHandle gate(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const RecordingMeasure previous = MeasureRecording;
  std::atomic<int> measured{0};
  MeasureRecording = [&, handle = gate.Get()](const std::wstring& path) {
    ::WaitForSingleObject(handle, 20000);
    ++measured;
    return MeasureRecordingFile(path);
  };
  main_->Show();
  // Rows are there while the worker waits; their sizes are those of the directory search.
  ASSERT_TRUE(PumpUntil([&] { return main_->lst.Count() == 4; }, 10000));
  EXPECT_TRUE(main_->Probing());
  main_->Hide();
  main_->Show();  // a new show: the worker of the first listing is cancelled after its file
  ::SetEvent(gate.Get());
  ASSERT_TRUE(PumpUntil([&] { return !main_->Probing(); }, 10000));
  // Four files of the new listing, and the one the cancelled worker had in hand.
  EXPECT_EQ(measured.load(), 4 + 1);
  windows_.reset();
  MeasureRecording = previous;
}

// ---- the Length column

// A WAV file: the header (with `data_size` in its data chunk, `riff_size` in RIFF) and `audio`
// bytes; a LIST chunk of odd size before the data when asked.
std::string WavBytes(std::uint32_t rate, std::uint16_t channels, std::size_t audio, bool list_first = false,
                     std::int64_t data_size = -1, std::int64_t riff_size = -1) {
  std::string bytes;
  const auto put32 = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>(v >> (8 * i)));
  };
  const auto put16 = [&](std::uint16_t v) {
    bytes.push_back(static_cast<char>(v));
    bytes.push_back(static_cast<char>(v >> 8));
  };
  const std::string list = list_first ? std::string("LIST\x05\x00\x00\x00INFO\x21\x00", 14) : std::string();
  bytes += "RIFF";
  put32(riff_size >= 0 ? static_cast<std::uint32_t>(riff_size)
                       : static_cast<std::uint32_t>(4 + 24 + list.size() + 8 + audio));
  bytes += "WAVEfmt ";
  put32(16);
  put16(1);
  put16(channels);
  put32(rate);
  put32(rate * channels * 2);
  put16(static_cast<std::uint16_t>(channels * 2));
  put16(16);
  bytes += list;
  bytes += "data";
  put32(data_size >= 0 ? static_cast<std::uint32_t>(data_size) : static_cast<std::uint32_t>(audio));
  bytes += std::string(audio, '\x01');
  return bytes;
}

TEST_F(MainWindowTest, LengthCellsFromTheWavHeaders) {
  struct Case {
    const wchar_t* partner;
    std::string bytes;
    const wchar_t* length;
    bool damaged;
  } cases[] = {
      {L"mono8k", WavBytes(8000, 1, 16000 * 75), L"1:15", false},
      {L"stereo16k", WavBytes(16000, 2, 64000 * 3), L"0:03", false},
      {L"listfirst", WavBytes(8000, 1, 16000 * 2, true), L"0:02", false},
      {L"damaged", WavBytes(8000, 1, 16000 * 4 + 1, false, 0, 0), L"0:04", true},
      {L"notwav", std::string("just some text, not a recording"), L"", false},
  };
  std::vector<std::wstring> paths;
  for (const Case& c : cases) {
    paths.push_back(folder_.Join(std::wstring(L"05032013_141516_") + c.partner + L".wav"));
    ASSERT_TRUE(test::WriteBytes(paths.back(), c.bytes));
  }
  // Converted recordings: their lengths come from their own streams, their partners from the name.
  std::vector<std::wstring> converted;
  for (const auto& [name, format] : {std::pair{L"05032013_141516_packed.wav", KeepFormat::Flac},
                                     std::pair{L"05032013_141517_small.wav", KeepFormat::Opus}}) {
    ASSERT_TRUE(test::WriteBytes(folder_.Join(name), WavBytes(16000, 1, 32000 * 3)));
    const Conversion done = ConvertRecording(DiskFileSystem(), folder_.Join(name), format);
    ASSERT_TRUE(done.converted) << done.reason;
    converted.push_back(done.result);
  }
  const std::wstring busy = folder_.Join(L"05032013_141516_busy.wav");
  ASSERT_TRUE(test::WriteBytes(busy, WavBytes(8000, 1, 16000)));
  test::FileHolder holder(busy);
  ASSERT_TRUE(holder.Held());
  ASSERT_TRUE(WriteConfig(L"path", folder_.Path()));
  ShowMain();
  ASSERT_EQ(main_->lst.Count(), 8);
  for (int row = 0; row < main_->lst.Count(); ++row) {
    const std::wstring path = main_->lst.ItemText(row, RecordingList::kLocation);
    const std::wstring length = main_->lst.ItemText(row, RecordingList::kLength);
    if (path == busy) {
      EXPECT_EQ(main_->lst.ItemText(row, RecordingList::kSize), L"BUSY");
      EXPECT_EQ(length, L"") << "empty while the call records";
      continue;
    }
    if (std::find(converted.begin(), converted.end(), path) != converted.end()) {
      EXPECT_EQ(length, L"0:03") << path;
      EXPECT_EQ(main_->lst.ItemText(row, RecordingList::kPartner), path == converted[0] ? L"packed" : L"small");
      continue;
    }
    const auto c = std::find(paths.begin(), paths.end(), path);
    ASSERT_NE(c, paths.end());
    const Case& expected = cases[c - paths.begin()];
    EXPECT_EQ(length, expected.length) << expected.partner;
    EXPECT_EQ(main_->Recordings().At(row)->damaged, expected.damaged) << expected.partner;
  }

  // Repair with every row selected mends the damaged one only; the BUSY one is never touched.
  const std::wstring damaged = paths[3];
  const auto busy_size = fs::file_size(busy);
  for (int row = 0; row < main_->lst.Count(); ++row) main_->lst.SetSelected(row, true);
  ASSERT_TRUE(PumpUntil([&] { return main_->btnrepair.Enabled(); }, 2000)) << "offered for a damaged row";
  main_->btnrepair.Click();
  ASSERT_TRUE(PumpUntil([&] { return !main_->Recordings().Repairing() && !main_->Probing(); }, 10000));
  for (int row = 0; row < main_->lst.Count(); ++row) {
    EXPECT_FALSE(main_->Recordings().At(row)->damaged) << row;
    if (main_->lst.ItemText(row, RecordingList::kLocation) == damaged) {
      EXPECT_EQ(main_->lst.ItemText(row, RecordingList::kLength), L"0:04");
    }
  }
  EXPECT_EQ(fs::file_size(damaged), 44u + 16000 * 4) << "the odd trailing byte dropped";
  EXPECT_EQ(fs::file_size(busy), busy_size);
  EXPECT_EQ(holder.Release(), 0u);
  main_->lst.ClearSelection();
  EXPECT_TRUE(PumpUntil([&] { return !main_->btnrepair.Enabled(); }, 2000));
}

// ---- sorting by a header click

TEST_F(MainWindowTest, AHeaderClickSortsASecondReversesAndTheOrderIsStoredAndSurvivesRefresh) {
  const std::vector<fs::path> files = MakeRecordings(4);  // sizes 100, 200, 300, 400
  ASSERT_TRUE(WriteConfig(L"path", folder_.Path()));
  ShowMain();
  const HWND header = ListView_GetHeader(main_->lst.Handle());
  const auto click = [&](int column) {
    RECT item{};
    ASSERT_TRUE(Header_GetItemRect(header, column, &item));
    const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    ::SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(header, WM_LBUTTONUP, 0, at);
    PumpFor(20);
  };
  const auto sizes = [&] {
    std::vector<std::uintmax_t> out;
    for (int row = 0; row < main_->lst.Count(); ++row) {
      out.push_back(fs::file_size(main_->lst.ItemText(row, RecordingList::kLocation)));
    }
    return out;
  };
  main_->lst.SetSelected(0, true);
  const std::wstring selected = main_->lst.ItemText(0, RecordingList::kLocation);
  click(RecordingList::kSize);
  EXPECT_EQ(sizes(), (std::vector<std::uintmax_t>{100, 200, 300, 400}));
  EXPECT_EQ(main_->lst.SortArrow(RecordingList::kSize), HDF_SORTUP);
  EXPECT_EQ(ReadConfig(L"sort"), L"2,up");
  ASSERT_EQ(main_->SelectedPaths(), std::vector<std::wstring>{selected}) << "the selection follows its row";
  click(RecordingList::kSize);
  EXPECT_EQ(sizes(), (std::vector<std::uintmax_t>{400, 300, 200, 100}));
  EXPECT_EQ(main_->lst.SortArrow(RecordingList::kSize), HDF_SORTDOWN);
  EXPECT_EQ(ReadConfig(L"sort"), L"2,down");
  Refresh();
  EXPECT_EQ(sizes(), (std::vector<std::uintmax_t>{400, 300, 200, 100})) << "kept across a Refresh";
  click(RecordingList::kWhen);
  EXPECT_EQ(main_->lst.SortArrow(RecordingList::kSize), -1);
  EXPECT_EQ(main_->lst.SortArrow(RecordingList::kWhen), HDF_SORTUP);
  EXPECT_EQ(main_->lst.ItemText(0, RecordingList::kLocation), files[0].wstring()) << "05032010 is the earliest";

  // The next showing restores the stored order.
  main_->Hide();
  ASSERT_TRUE(WriteConfig(L"sort", L"2,down"));
  ShowMain();
  EXPECT_EQ(sizes(), (std::vector<std::uintmax_t>{400, 300, 200, 100}));
  EXPECT_EQ(main_->lst.SortArrow(RecordingList::kSize), HDF_SORTDOWN);
}

TEST_F(MainWindowTest, ClosingShowsTheNoticeUntilItIsDeclinedAndOnlyHides) {
  ShowMain();
  {
    HWND focus = nullptr;
    bool main_enabled = true;
    bool centred = false;
    WindowAnswerer notice(L"TFrmInfo", L"Info", 0, [&](HWND box) {
      focus = test::FocusOfThreadOf(box);
      main_enabled = ::IsWindowEnabled(main_->Handle()) != FALSE;
      RECT over{}, mine{};
      ::GetWindowRect(main_->Handle(), &over);
      ::GetWindowRect(box, &mine);
      centred = std::abs((over.left + over.right) - (mine.left + mine.right)) <= 1 &&
                std::abs((over.top + over.bottom) - (mine.top + mine.bottom)) <= 1;
    });
    ::SendMessageW(main_->Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(notice.Answered(), 1);
    EXPECT_FALSE(main_->Visible());
    EXPECT_FALSE(info_->Visible());
    EXPECT_EQ(focus, info_->c.Handle()) << "the check box has the focus";
    EXPECT_FALSE(main_enabled) << "modal";
    EXPECT_TRUE(centred) << "over the main window at its first showing";
    EXPECT_TRUE(::IsWindowEnabled(main_->Handle())) << "enabled again";

    // The end of the session is agreed to at once: no notice, no hide.
    ShowMain();
    for (LPARAM reason : {LPARAM{0}, LPARAM{ENDSESSION_CLOSEAPP}, LPARAM{ENDSESSION_LOGOFF}}) {
      EXPECT_EQ(::SendMessageW(main_->Handle(), WM_QUERYENDSESSION, 0, reason), TRUE) << reason;
    }
    PumpFor(100);
    EXPECT_EQ(notice.Answered(), 1);
    EXPECT_TRUE(main_->Visible());
    main_->Hide();
  }
  // Ticked in the notice: stored, and closing hides without it.
  ::SendMessageW(info_->c.Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(ReadConfig(L"info"), L"1");
  ShowMain();
  {
    WindowAnswerer notice(L"TFrmInfo", L"Info", 0);
    ::SendMessageW(main_->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    PumpFor(100);
    EXPECT_EQ(notice.Answered(), 0);
    EXPECT_FALSE(main_->Visible());
  }
}

TEST_F(MainWindowTest, InfoSetToOneTicksTheNoticeBoxAndClosingHidesWithoutIt) {
  ASSERT_TRUE(WriteConfig(L"info", L"1"));
  ShowMain();
  EXPECT_TRUE(info_->c.Checked());
  EXPECT_EQ(ReadConfig(L"info"), L"1");
  WindowAnswerer notice(L"TFrmInfo", L"Info", 0);
  ::SendMessageW(main_->Handle(), WM_CLOSE, 0, 0);
  PumpFor(100);
  EXPECT_EQ(notice.Answered(), 0);
  EXPECT_FALSE(main_->Visible());

  // Any other value never unticks it.
  ASSERT_TRUE(WriteConfig(L"info", L"0"));
  ShowMain();
  EXPECT_TRUE(info_->c.Checked());
  EXPECT_EQ(ReadConfig(L"info"), L"0") << "nothing written when the box is already ticked";
}

TEST_F(MainWindowTest, NoticeWindowTextAndCheckBoxStoringEveryChange) {
  HWND hwnd = info_->Handle();
  wchar_t text[64] = {};
  ::GetWindowTextW(hwnd, text, 64);
  EXPECT_STREQ(text, L"Info");
  EXPECT_EQ(info_->ClientSize().cx, 258);
  EXPECT_EQ(info_->ClientSize().cy, 133);
  const LONG_PTR style = ::GetWindowLongPtrW(hwnd, GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  EXPECT_EQ(::GetWindow(hwnd, GW_OWNER), Application::Instance().Handle());

  const std::vector<std::wstring> lines = info_->Memo.Lines();
  const std::vector<std::wstring> expected{
      L"When closing this window, the application will ",       L"keep running silently in the background and will ",
      L"still be able to capture Skype voice calls. To ",       L"entirely close the program you will need to open ",
      L"it (again) and click on the \"close\" button in main ", L"window status bar.",
  };
  EXPECT_EQ(lines, expected);
  EXPECT_FALSE(info_->Memo.ReadOnly());
  const RECT memo = info_->Memo.Bounds();
  EXPECT_EQ(memo.left, 4);
  EXPECT_EQ(memo.top, 4);
  EXPECT_EQ(memo.right - memo.left, 250);
  EXPECT_EQ(memo.bottom - memo.top, 85);
  EXPECT_EQ(info_->c.Text(), L"Do not show this message next time.");
  EXPECT_EQ(info_->p.Bounds().top, 133 - 41);
  EXPECT_EQ(info_->c.Left(), 10);
  EXPECT_EQ(info_->c.Top(), 13);

  EXPECT_EQ(ReadConfig(L"info"), L"<missing>");
  ::SendMessageW(info_->c.Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(ReadConfig(L"info"), L"1");
  ::SendMessageW(info_->c.Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(ReadConfig(L"info"), L"0");
  EXPECT_FALSE(info_->c.Checked());
}

TEST_F(MainWindowTest, UnwritableConfigurationIsReportedAndTheShowGoesOn) {
  ASSERT_TRUE(WriteConfig(L"info", L"1"));
  ASSERT_TRUE(WriteConfig(L"path", folder_.Path()));
  MakeRecordings(2);
  ASSERT_TRUE(::SetFileAttributesW(ConfigFilePath().c_str(), FILE_ATTRIBUTE_READONLY));
  // Wine lets an administrator write read-only files: also hold the file open for reading only,
  // which keeps every writer out.
  FileHandle lock(::CreateFileW(ConfigFilePath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(lock);
  SetDestinationFolder(L"C:\\before");
  main_->Recordings().FileAdded(L"01012000_000000_left from before.wav", 0);
  std::error_code ignored;
  fs::remove_all(DefaultFolder(), ignored);

  MessageBoxAnswerer report(L"Callwright", IDOK);
  ShowMain();
  ASSERT_TRUE(PumpUntil([&] { return report.Answered() == 1; }, 3000));
  PumpFor(50);
  EXPECT_EQ(report.Answered(), 1) << "only the failed write is reported";
  EXPECT_EQ(report.LastText(), L"Unable to write to " + ConfigFilePath() + L".");
  EXPECT_TRUE(main_->Visible()) << "shown all the same";
  EXPECT_TRUE(info_->c.Checked()) << "the box keeps its new state";
  EXPECT_TRUE(main_->TimerSel.Enabled());
  // The steps after the switch ran: never an empty folder that would send recordings elsewhere.
  EXPECT_EQ(DestinationFolder(), folder_.Path());
  EXPECT_EQ(RecordingFolder(), folder_.Path());
  EXPECT_TRUE(fs::is_directory(DefaultFolder()));
  EXPECT_EQ(ListedPaths().size(), 2u);
  EXPECT_EQ(ListedPaths()[0].rfind(folder_.Path() + L"\\", 0), 0u);
}

// ---- the destination folder as the show sequence sets it up

TEST_F(MainWindowTest, BlankRelativeAndTrailingSeparatorFoldersAreResolvedForTheListAndTheFolder) {
  const std::wstring relative = L"cw-relative-" + std::to_wstring(::GetCurrentProcessId());
  const std::wstring relative_folder = ExecutableFolder() + relative;
  std::error_code ignored;
  fs::remove_all(relative_folder, ignored);
  const std::wstring name = L"05032013_141516_anna.k.wav";
  struct Case {
    std::wstring stored;
    std::wstring shown;   // in the settings window's folder box
    std::wstring folder;  // where recordings are listed and written
  } cases[] = {
      {L"", DefaultFolder(), DefaultFolder()},
      {L"   ", DefaultFolder(), DefaultFolder()},
      {relative, relative, relative_folder},
      {relative + L"\\", relative + L"\\", relative_folder},
      {folder_.Path() + L"\\", folder_.Path() + L"\\", folder_.Path()},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(WriteConfig(L"path", c.stored));
    MessageBoxAnswerer report(L"Callwright", IDOK);
    ShowMain();
    EXPECT_EQ(report.Answered(), 0) << c.stored.c_str();
    EXPECT_EQ(DestinationFolder(), c.shown) << c.stored.c_str();
    EXPECT_EQ(settings_->edtpath.Text(), c.shown);
    ASSERT_TRUE(fs::is_directory(c.folder)) << "created: " << c.stored.c_str();
    ASSERT_TRUE(test::WriteBytes((fs::path(c.folder) / name).wstring(), std::string(10, 'x')));
    Refresh();
    EXPECT_EQ(ListedPaths(), std::vector<std::wstring>{c.folder + L"\\" + name}) << c.stored.c_str();
    g_opened.clear();
    main_->btnfol.Click();
    EXPECT_EQ(g_opened, std::vector<std::wstring>{c.folder}) << c.stored.c_str();
    fs::remove(fs::path(c.folder) / name, ignored);
    main_->Hide();
  }
  fs::remove_all(relative_folder, ignored);
}

TEST_F(MainWindowTest, AFolderThatCannotBeUsedIsToldOncePerShowing) {
  const fs::path file = fs::path(folder_.Path()) / L"a file";
  ASSERT_TRUE(test::WriteBytes(file.wstring(), "xxx"));
  const std::wstring foreign = L"\u0417\u0430\u043F\u0438\u0441\u0438 \u9332\u97F3";
  const std::wstring default_folder = ExecutableFolder() + L"Records";
  struct Case {
    std::wstring stored;
    std::wstring listed;  // where the recordings go meanwhile
    bool to_default;
  } cases[] = {
      // Nothing can be written below a file: recordings go to the default folder.
      {(file / L"calls").wstring(), default_folder, true},
      {(file / foreign).wstring(), default_folder, true},
  };
  for (const Case& c : cases) {
    WriteSetting(L"SYSTEM", L"path", c.stored);  // UTF-16, which holds any name
    MessageBoxAnswerer report(L"Callwright", IDOK);
    for (int showing = 1; showing <= 2; ++showing) {
      ShowMain();
      ASSERT_TRUE(PumpUntil([&] { return report.Answered() == showing; }, 3000)) << showing;
      PumpFor(50);
      EXPECT_EQ(report.Answered(), showing) << "one message a showing";
      const std::wstring text = report.LastText();
      EXPECT_EQ(text.rfind(L"Recordings cannot be saved in the folder \"" + c.stored + L"\": ", 0), 0u) << text.c_str();
      EXPECT_EQ(text.find(L"Recordings go to \"" + default_folder + L"\" instead.") != std::wstring::npos, c.to_default)
          << text.c_str();
      EXPECT_TRUE(main_->Visible());
      EXPECT_EQ(DestinationFolder(), c.stored) << "the stored folder stays";
      EXPECT_EQ(RecordingFolder(), c.listed);
      main_->Hide();
    }
  }
  EXPECT_TRUE(fs::is_regular_file(file));
}

// An unreachable share: the folder check of a showing takes the network's time limit. The window
// still answers at once, and a call placed meanwhile gets its recording command at once.
TEST_F(MainWindowTest, AFolderCheckThatHangsHoldsUpNeitherTheWindowNorACall) {
  ASSERT_TRUE(WriteConfig(L"path", folder_.Path()));
  KernelHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const FolderCheck saved = CheckRecordingFolder;
  CheckRecordingFolder = [&release](const std::wstring& folder, bool& created) {
    ::WaitForSingleObject(release.Get(), 30000);
    return CheckFolderOnDisk(folder, created);
  };
  main_->Show();
  std::atomic<int> answered{-1};
  std::thread prober([&] {
    DWORD_PTR result = 0;
    answered = ::SendMessageTimeoutW(main_->Handle(), WM_NULL, 0, 0, SMTO_NORMAL, 100, &result) ? 1 : 0;
  });
  PumpUntil([&] { return answered.load() >= 0; }, 2000);
  prober.join();
  EXPECT_EQ(answered.load(), 1) << "the window answered within 100 ms";
  EXPECT_TRUE(main_->Visible());

  const std::wstring log = folder_.Path() + L"\\commands.txt";
  test::ChildProcess sim(test::ExePath(L"callwright-clientsim.exe"),
                         {L"--partner", L"hana", L"--call", L"3", L"--call-ms", L"200", L"--timeout", L"20000",
                          L"--log", log});
  ASSERT_TRUE(test::LinkToClient(*main_));
  ASSERT_TRUE(PumpUntil([&] { return !sim.Running(); }, 15000));
  EXPECT_EQ(sim.ExitCode(), std::optional<DWORD>(0));
  const std::string commands = test::ReadBytes(log).value_or("");
  EXPECT_NE(commands.find("ALTER CALL 3 SET_OUTPUT file=\"" + SystemPlatform().EncodeAnsi(folder_.Path() + L"\\")),
            std::string::npos)
      << commands;
  EXPECT_TRUE(main_->Probing()) << "the showing's check is still held up";
  ::SetEvent(release.Get());
  EXPECT_TRUE(PumpUntil([&] { return !main_->Probing(); }, 10000));
  CheckRecordingFolder = saved;
  main_->Hide();
}

// The whole road with the substitute client: a stored folder outside the ANSI code page is created,
// the client is given its short form, and the recording lands in it and is listed.
TEST_F(MainWindowTest, RecordsIntoAFolderOutsideTheCodePage) {
  const std::wstring foreign = L"\u0417\u0430\u043F\u0438\u0441\u0438 \u9332\u97F3";
  const std::wstring folder = folder_.Path() + L"\\" + foreign;
  WriteSetting(L"SYSTEM", L"path", folder);  // UTF-16, which holds any name
  MessageBoxAnswerer report(L"Callwright", IDOK);
  ShowMain();
  EXPECT_EQ(report.Answered(), 0) << report.LastText().c_str();
  ASSERT_TRUE(fs::is_directory(folder)) << "created";

  const std::wstring log = folder_.Path() + L"\\commands.txt";
  test::ChildProcess sim(test::ExePath(L"callwright-clientsim.exe"),
                         {L"--partner", L"carla", L"--call", L"42", L"--call-ms", L"200", L"--delay", L"0",
                          L"--timeout", L"20000", L"--log", log});
  ASSERT_TRUE(test::LinkToClient(*main_));
  ASSERT_TRUE(sim.Wait(15000));
  EXPECT_EQ(sim.ExitCode(), std::optional<DWORD>(0)) << "the client could write the file";

  Refresh();
  const std::vector<std::wstring> listed = ListedPaths();
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].rfind(folder + L"\\", 0), 0u) << "listed under the folder's own name";
  EXPECT_TRUE(listed[0].ends_with(L"_carla.wav"));
  EXPECT_TRUE(fs::is_regular_file(listed[0]));

  std::ifstream commands{fs::path(log)};
  std::string line, output;
  while (std::getline(commands, line)) {
    if (line.find("SET_OUTPUT") != std::string::npos) output = line;
  }
  EXPECT_EQ(output.find('?'), std::string::npos) << output;
  const std::string short_form = SystemPlatform().EncodeAnsi(ClientFolderText());
  EXPECT_NE(output.find("file=\"" + short_form + "\\"), std::string::npos) << output;
}

// The rows follow the folder without Refresh: a call's recording shows BUSY while the client
// writes it and gets its size and length when the call ends; files deleted or renamed outside go,
// while the window is visible and while it is hidden; the selection stays on its row.
TEST_F(MainWindowTest, TheListFollowsTheFolderWhileVisibleAndHidden) {
  const std::vector<fs::path> files = MakeRecordings(3);
  ASSERT_TRUE(WriteConfig(L"path", folder_.Path()));
  ShowMain();
  ASSERT_EQ(main_->lst.Count(), 3);
  ASSERT_TRUE(PumpUntil([&] { return main_->Watch() && main_->Watch()->Listed(); }, 10000));
  main_->lst.SetSelected(1, true);
  const std::wstring selected = main_->Recordings().Path(1);
  const auto row_of = [&](std::wstring_view ending) {
    for (int i = 0; i < main_->lst.Count(); ++i) {
      if (main_->Recordings().Path(i).ends_with(ending)) return i;
    }
    return -1;
  };

  const std::wstring log = folder_.Path() + L"\\commands.txt";
  test::ChildProcess sim(test::ExePath(L"callwright-clientsim.exe"),
                         {L"--partner", L"hana", L"--call", L"5", L"--call-ms", L"2500", L"--delay", L"0",
                          L"--timeout", L"20000", L"--log", log});
  ASSERT_TRUE(test::LinkToClient(*main_));
  ASSERT_TRUE(PumpUntil([&] { return row_of(L"_hana.wav") >= 0; }, 10000)) << "shown as the client makes it";
  ASSERT_TRUE(PumpUntil([&] { return main_->lst.ItemText(row_of(L"_hana.wav"), RecordingList::kSize) == L"BUSY"; },
                        3000));
  EXPECT_TRUE(sim.Running()) << "still recording while shown BUSY";
  EXPECT_EQ(main_->lst.ItemText(row_of(L"_hana.wav"), RecordingList::kLength), L"");
  ASSERT_TRUE(PumpUntil([&] { return !sim.Running(); }, 15000));
  ASSERT_TRUE(PumpUntil([&] { return main_->lst.ItemText(row_of(L"_hana.wav"), RecordingList::kSize) != L"BUSY"; },
                        5000))
      << "measured once the call ended";
  const int hana = row_of(L"_hana.wav");
  EXPECT_EQ(main_->lst.ItemText(hana, RecordingList::kSize),
            FormatFileSize(static_cast<std::int64_t>(fs::file_size(main_->Recordings().Path(hana)))));
  EXPECT_EQ(main_->lst.ItemText(hana, RecordingList::kLength), L"0:02");
  EXPECT_EQ(main_->lst.Count(), 4);

  // Deleted and renamed outside the program.
  fs::remove(files[0]);
  const fs::path renamed = fs::path(folder_.Path()) / L"05032019_141519_renamed.wav";
  fs::rename(files[2], renamed);
  ASSERT_TRUE(PumpUntil([&] { return row_of(files[0].filename().wstring()) < 0 && row_of(L"_renamed.wav") >= 0; },
                        5000));
  EXPECT_LT(row_of(files[2].filename().wstring()), 0);
  EXPECT_EQ(main_->lst.Count(), 3);
  EXPECT_EQ(main_->lst.SelectedCount(), 1);
  EXPECT_EQ(main_->Recordings().Path(main_->lst.FirstSelected()), selected) << "the selection follows its row";

  // Hidden: followed all the same, no show needed.
  main_->Hide();
  fs::remove(renamed);
  ASSERT_TRUE(test::WriteBytes(folder_.Join(L"06032019_101010_later.wav"), std::string(64, 'x')));
  EXPECT_TRUE(PumpUntil([&] { return row_of(L"_renamed.wav") < 0 && row_of(L"_later.wav") >= 0; }, 5000));
  EXPECT_FALSE(main_->Visible());
}

TEST_F(MainWindowTest, ShowRequestShowsAHiddenWindowAndRestoresAMinimizedOne) {
  MakeRecordings(1);
  ASSERT_TRUE(WriteConfig(L"path", folder_.Path()));
  ASSERT_NE(ShowRequestMsg, 0u);
  EXPECT_EQ(ShowRequestMsg, ::RegisterWindowMessageW(L"CALLWRIGHTAPP"));
  ShowMain();
  main_->Hide();
  MakeRecordings(3);
  ::SendMessageW(main_->Handle(), ShowRequestMsg, 0, 0);
  EXPECT_TRUE(main_->Visible());
  ASSERT_TRUE(PumpUntil([&] { return !main_->Probing(); }, 10000));
  EXPECT_EQ(main_->lst.Count(), 3) << "the show sequence ran again";

  // The live list shows a new recording by itself; a showing would list the folder anew, which
  // starts at once.
  MakeRecordings(4);
  ASSERT_TRUE(PumpUntil([&] { return main_->lst.Count() == 4 && !main_->Probing(); }, 10000));
  ::SendMessageW(main_->Handle(), ShowRequestMsg, 0, 0);
  EXPECT_FALSE(main_->Probing()) << "already visible: only brought to the front";
  PumpFor(100);
  EXPECT_EQ(main_->lst.Count(), 4);

  ::ShowWindow(main_->Handle(), SW_MINIMIZE);
  ASSERT_TRUE(::IsIconic(main_->Handle()));
  ::SendMessageW(main_->Handle(), ShowRequestMsg, 0, 0);
  EXPECT_FALSE(::IsIconic(main_->Handle())) << "restored";
  EXPECT_TRUE(main_->Visible());
  EXPECT_FALSE(main_->Probing()) << "restoring is no new showing";
  EXPECT_EQ(main_->lst.Count(), 4);
}

TEST_F(MainWindowTest, SettingsAndAboutButtonsShowTheirWindows) {
  ShowMain();
  main_->btnsettings.Click();
  EXPECT_TRUE(settings_->Visible());
  main_->btnabout.Click();
  EXPECT_TRUE(about_->Visible());
  EXPECT_TRUE(main_->Visible());
  settings_->Hide();
  about_->Hide();
}

}  // namespace
}  // namespace callwright
