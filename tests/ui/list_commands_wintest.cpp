// The recordings list's context menu, its commands, dragging recordings out and Delete to the
// Recycle Bin, through the real main window: real mouse and key events, the real clipboard, a drop
// target in a second process, and stand-ins only where Wine has no shell window or Recycle Bin.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h.
#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <cwctype>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/settings_win.h"
#include "support/config_file_win.h"
#include "support/files_win.h"
#include "support/gui_win.h"
#include "support/process_win.h"
#include "support/program_windows_fixture_win.h"
#include "support/recycle_bin_win.h"
#include "support/temp_dir_win.h"
#include "support/wav_files.h"
#include "support/window_answerer_win.h"
#include "ui/main_form.h"
#include "ui/toolkit/application.h"
#include "ui/toolkit/clipboard.h"
#include "ui/toolkit/com.h"
#include "ui/toolkit/file_operation.h"
#include "ui/toolkit/shell.h"

namespace callwright {
namespace {

namespace fs = std::filesystem;
using test::FakeRecycleBin;
using test::MessageBoxAnswerer;
using test::PumpFor;
using test::PumpUntil;
using test::RepeatingTick;
using test::WriteConfig;

const std::vector<std::wstring> kMenu = {L"&Open", L"Show in &folder", L"-",          L"&Copy",
                                         L"Copy &path", L"-",              L"Co&mpress", L"&Delete"};
enum MenuPosition { kOpen = 0, kShowInFolder = 1, kCopy = 3, kCopyPath = 4, kCompress = 6, kDelete = 7 };

std::vector<std::wstring> g_opened;
std::intptr_t RecordOpen(const std::wstring& target) {
  g_opened.push_back(target);
  return 42;
}

// What Show in folder asked the shell for: the folder and the items, as paths.
struct FolderShown {
  std::wstring folder;
  std::vector<std::wstring> items;
  DWORD flags;
};
std::vector<FolderShown> g_shown;
std::wstring PathOf(PCIDLIST_ABSOLUTE list) {
  wchar_t path[MAX_PATH] = {};
  return ::SHGetPathFromIDListW(list, path) ? std::wstring(path) : std::wstring(L"?");
}
HRESULT WINAPI RecordShowInFolder(PCIDLIST_ABSOLUTE folder, UINT count, PCUITEMID_CHILD_ARRAY items, DWORD flags) {
  FolderShown shown{PathOf(folder), {}, flags};
  for (UINT i = 0; i < count; ++i) {
    const IdList whole(::ILCombine(folder, items[i]));
    shown.items.push_back(PathOf(whole.get()));
  }
  g_shown.push_back(shown);
  return S_OK;
}

// The menu as it showed, and where.
struct MenuSeen {
  std::vector<std::wstring> items;
  std::vector<bool> greyed;
  int default_item = -1;
  RECT place{};
};

class ListCommandsTest : public test::ProgramWindowsTest {
 protected:
  void SetUp() override {
    ProgramWindowsTest::SetUp();
    ShellOpen = &RecordOpen;
    SelectInFolder = &RecordShowInFolder;
    g_opened.clear();
    g_shown.clear();
  }
  void TearDown() override {
    SelectInFolder = &::SHOpenFolderAndSelectItems;
    ProgramWindowsTest::TearDown();
  }

  // `count` recordings listed in a window that has the keyboard, placed at the screen's top-left.
  std::vector<std::wstring> ShowRecordings(int count) {
    std::vector<std::wstring> names;
    for (int i = 0; i < count; ++i) {
      names.push_back(L"0" + std::to_wstring(i + 1) + L"032013_141516_p" + std::to_wstring(i) + L".wav");
    }
    return ShowNamed(names);
  }

  // These files listed, as ShowRecordings.
  std::vector<std::wstring> ShowNamed(const std::vector<std::wstring>& names) {
    for (const std::wstring& name : names) EXPECT_TRUE(test::WriteBytes(folder_.Join(name), std::string(100, 'x')));
    EXPECT_TRUE(WriteConfig(L"path", folder_.Path()));
    main_->Show();
    ::SetWindowPos(main_->Handle(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ::SetForegroundWindow(main_->Handle());
    EXPECT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == main_->Handle() && !main_->Probing(); }, 10000));
    ::SetFocus(main_->lst.Handle());
    PumpFor(20);
    std::vector<std::wstring> paths;
    for (int i = 0; i < main_->lst.Count(); ++i) paths.push_back(main_->Recordings().Path(i));
    return paths;
  }

  void Select(std::initializer_list<int> rows, int focused) {
    main_->lst.ClearSelection();
    for (int row : rows) main_->lst.SetSelected(row, true);
    ListView_SetItemState(main_->lst.Handle(), focused, LVIS_FOCUSED, LVIS_FOCUSED);
  }

  POINT RowCentre(int row) const {
    RECT r{};
    ListView_GetItemRect(main_->lst.Handle(), row, &r, LVIR_LABEL);
    POINT at{r.left + 10, (r.top + r.bottom) / 2};
    ::ClientToScreen(main_->lst.Handle(), &at);
    return at;
  }

  // Opens the menu with `open` and, once it shows, notes it and clicks the item at `position`
  // (or dismisses it with -1). False when no menu came.
  bool UseMenu(const std::function<void()>& open, int position, MenuSeen* seen = nullptr) {
    bool done = false;
    RepeatingTick tick(30, [&] {
      if (done) return;
      HWND menu = test::FindPopupMenu(::GetCurrentProcessId());
      if (!menu) return;
      done = true;
      if (seen) {
        seen->items = test::MenuItemTexts(test::MenuOf(menu));
        for (int i = 0; i < ::GetMenuItemCount(test::MenuOf(menu)); ++i)
          seen->greyed.push_back((::GetMenuState(test::MenuOf(menu), i, MF_BYPOSITION) & MF_GRAYED) != 0);
        seen->default_item = static_cast<int>(::GetMenuDefaultItem(test::MenuOf(menu), TRUE, 0));
        ::GetWindowRect(menu, &seen->place);
      }
      if (position < 0) {
        ::EndMenu();
      } else {
        test::ClickMenuItem(menu, position);
      }
    });
    open();
    PumpUntil([&] { return done; }, 3000);
    PumpFor(100);
    return done;
  }

  bool RightClickMenu(int row, int position, MenuSeen* seen = nullptr) {
    return UseMenu([&] { test::RightClickAt(RowCentre(row)); }, position, seen);
  }

  std::vector<std::wstring> ListedPaths() const {
    std::vector<std::wstring> paths;
    for (int i = 0; i < main_->lst.Count(); ++i) paths.push_back(main_->Recordings().Path(i));
    return paths;
  }

  // Clicks Delete once it follows the selection (the timer enables it).
  void ClickDelete() {
    ASSERT_TRUE(PumpUntil([&] { return main_->btndelete.Enabled(); }, 2000));
    main_->btndelete.Click();
  }

  void WaitForDeletion() { ASSERT_TRUE(PumpUntil([&] { return !main_->Deleting(); }, 10000)); }
};

// ---- the menu

TEST_F(ListCommandsTest, RightClickShiftF10AndTheMenuKeyOpenTheMenuAtThePointerOrTheFocusedRow) {
  const std::vector<std::wstring> paths = ShowRecordings(4);
  ASSERT_EQ(paths.size(), 4u);

  // Below the caption's start of the focused row, in screen coordinates.
  RECT label{};
  ListView_GetItemRect(main_->lst.Handle(), 2, &label, LVIR_LABEL);
  POINT focused_row{label.left, label.bottom};
  ::ClientToScreen(main_->lst.Handle(), &focused_row);
  const POINT clicked = RowCentre(1);

  struct Case {
    const char* how;
    std::function<void()> open;
    POINT at;
  };
  const Case cases[] = {
      {"right click on a selected row", [&] { test::RightClickAt(clicked); }, clicked},
      {"Shift+F10", [] { test::PressKeyWith(VK_SHIFT, VK_F10); }, focused_row},
      {"Menu key", [] { test::PressKey(VK_APPS); }, focused_row},
  };
  for (const Case& c : cases) {
    // Row 2 has the focus (a right click moves it to the row clicked).
    Select({1, 2}, 2);
    MenuSeen seen;
    ASSERT_TRUE(UseMenu(c.open, -1, &seen)) << c.how;
    EXPECT_EQ(seen.items, kMenu) << c.how;
    EXPECT_EQ(seen.default_item, kOpen) << c.how << ": Open, as a double click, is drawn bold";
    EXPECT_EQ(seen.place.left, c.at.x) << c.how;
    EXPECT_EQ(seen.place.top, c.at.y) << c.how;
    EXPECT_EQ(main_->lst.SelectedIndices(), (std::vector<int>{1, 2})) << c.how << ": the selection stays";
    EXPECT_TRUE(g_opened.empty() && g_shown.empty()) << c.how << ": dismissed, nothing done";
  }

  // A right click on a row outside the selection selects that row alone, as in Explorer.
  ASSERT_TRUE(RightClickMenu(3, -1));
  EXPECT_EQ(main_->lst.SelectedIndices(), (std::vector<int>{3}));
  // Beside the rows nothing is selected, and no menu comes.
  RECT client{};
  ::GetClientRect(main_->lst.Handle(), &client);
  POINT below{client.right / 2, client.bottom - 5};
  ::ClientToScreen(main_->lst.Handle(), &below);
  EXPECT_FALSE(UseMenu([&] { test::RightClickAt(below); }, -1));
  EXPECT_EQ(main_->lst.SelectedCount(), 0);
}

// Compress converts the selected WAV recordings to the chosen format on the conversion worker;
// it is greyed while recordings stay WAV. A file that is no WAV keeps its row, which says why.
TEST_F(ListCommandsTest, CompressConvertsTheSelectedRecordingsToTheChosenFormat) {
  const test::WavLayout layout{16000, 1, 16};
  const std::vector<std::int32_t> samples = test::SpeechSamples(layout, 16000 * 2);
  const std::vector<std::wstring> paths = ShowRecordings(3);
  ASSERT_EQ(paths.size(), 3u);
  test::WriteWav(paths[0], layout, samples);
  test::WriteWav(paths[2], layout, samples);
  main_->RefreshList();
  ASSERT_TRUE(PumpUntil([&] { return !main_->Probing(); }, 10000));

  Select({0, 1, 2}, 0);
  MenuSeen seen;
  ASSERT_TRUE(RightClickMenu(0, -1, &seen));
  ASSERT_EQ(seen.greyed.size(), kMenu.size());
  EXPECT_TRUE(seen.greyed[kCompress]) << "recordings stay WAV";
  EXPECT_FALSE(seen.greyed[kDelete]);

  ASSERT_TRUE(WriteConfig(L"format", L"flac"));
  Select({0, 1, 2}, 0);
  seen = {};
  ASSERT_TRUE(RightClickMenu(0, kCompress, &seen));
  EXPECT_FALSE(seen.greyed[kCompress]);
  ASSERT_TRUE(PumpUntil([&] { return main_->PendingConversions().empty(); }, 20000));
  PumpFor(200);  // the results' message

  for (int i : {0, 2}) {
    const std::wstring flac = paths[i].substr(0, paths[i].size() - 4) + L".flac";
    EXPECT_FALSE(test::PathExists(paths[i])) << "converted, then deleted";
    const test::DecodedFlac decoded = test::DecodeFlacFile(flac);
    EXPECT_TRUE(decoded.ok && decoded.samples == samples);
  }
  EXPECT_TRUE(test::PathExists(paths[1])) << "no WAV: kept";
  const std::vector<std::wstring> listed = ListedPaths();
  EXPECT_EQ(std::count(listed.begin(), listed.end(), paths[0]) + std::count(listed.begin(), listed.end(), paths[2]), 0)
      << "the converted WAVs' rows went";
  const auto kept = std::find(listed.begin(), listed.end(), paths[1]);
  ASSERT_NE(kept, listed.end());
  EXPECT_EQ(main_->Recordings().Text(static_cast<int>(kept - listed.begin()), RecordingList::kSize, {}),
            L"not converted: not a WAV file");
}

TEST_F(ListCommandsTest, OpenAndShowInFolderActOnTheSelectedRows) {
  const std::vector<std::wstring> paths = ShowRecordings(4);
  Select({1, 3}, 3);
  ASSERT_TRUE(RightClickMenu(3, kOpen));
  EXPECT_EQ(g_opened, std::vector<std::wstring>{paths[1]}) << "the first selected row, as the Open button";

  Select({0, 2, 3}, 0);
  ASSERT_TRUE(RightClickMenu(0, kShowInFolder));
  ASSERT_EQ(g_shown.size(), 1u) << "one folder, one call";
  EXPECT_EQ(g_shown[0].folder, folder_.Path());
  EXPECT_EQ(g_shown[0].items, (std::vector<std::wstring>{paths[0], paths[2], paths[3]})) << "all of them selected";
  EXPECT_EQ(g_shown[0].flags, 0u);
}

TEST(ShowInFolder, OneCallPerFolderAndAPathTheShellCannotParseIsItsError) {
  const test::TempDir first, second;
  const std::wstring a = first.Join(L"a.wav"), b = second.Join(L"b.wav"), c = first.Join(L"c.wav");
  for (const std::wstring& path : {a, b, c}) ASSERT_TRUE(test::WriteBytes(path, "RIFF"));
  SelectInFolder = &RecordShowInFolder;
  g_shown.clear();
  EXPECT_EQ(ShowInFolder({a, b, c}), S_OK);
  ASSERT_EQ(g_shown.size(), 2u);
  EXPECT_EQ(g_shown[0].folder, first.Path());
  EXPECT_EQ(g_shown[0].items, (std::vector<std::wstring>{a, c}));
  EXPECT_EQ(g_shown[1].folder, second.Path());
  EXPECT_EQ(g_shown[1].items, std::vector<std::wstring>{b});

  g_shown.clear();
  EXPECT_TRUE(FAILED(ShowInFolder({first.Join(L"gone\\missing.wav")})));
  EXPECT_TRUE(g_shown.empty());
  SelectInFolder = &::SHOpenFolderAndSelectItems;
}

// ---- the clipboard, read back as another program reads it

std::vector<std::wstring> ClipboardFiles(DWORD* effect, bool* moveable) {
  std::vector<std::wstring> files;
  const ClipboardScope clipboard(nullptr);
  if (!clipboard.Open()) return files;
  if (const auto drop = static_cast<HDROP>(::GetClipboardData(CF_HDROP))) {
    // A movable block, as the clipboard requires: its handle is not its address.
    const GlobalLockScope lock(drop);
    *moveable = lock.Data() != nullptr && lock.Data() != static_cast<void*>(drop);
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
      wchar_t path[MAX_PATH] = {};
      ::DragQueryFileW(drop, i, path, MAX_PATH);
      files.emplace_back(path);
    }
  }
  if (const HANDLE data = ::GetClipboardData(::RegisterClipboardFormatW(CFSTR_PREFERREDDROPEFFECT))) {
    const GlobalLockScope lock(data);
    if (lock.Data() && lock.Size() >= sizeof(DWORD)) *effect = *static_cast<const DWORD*>(lock.Data());
  }
  return files;
}

std::wstring ClipboardText() {
  const ClipboardScope clipboard(nullptr);
  const HANDLE data = clipboard.Open() ? ::GetClipboardData(CF_UNICODETEXT) : nullptr;
  const GlobalLockScope lock(data);
  return lock.Data() ? std::wstring(static_cast<const wchar_t*>(lock.Data())) : std::wstring(L"(none)");
}

TEST_F(ListCommandsTest, CopyPutsTheFilesOnTheClipboardAsExplorerDoesAndCopyPathTheirPaths) {
  const std::vector<std::wstring> paths = ShowRecordings(3);
  ASSERT_EQ(CopyTextToClipboard(main_->Handle(), L"before"), 0u);
  Select({0, 2}, 2);
  ASSERT_TRUE(RightClickMenu(2, kCopy));
  DWORD effect = 0;
  bool moveable = false;
  EXPECT_EQ(ClipboardFiles(&effect, &moveable), (std::vector<std::wstring>{paths[0], paths[2]}));
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY)) << "Paste copies; the recordings stay";
  EXPECT_TRUE(moveable) << "GMEM_MOVEABLE";
  EXPECT_EQ(::GetClipboardOwner(), main_->Handle());
  EXPECT_FALSE(::IsClipboardFormatAvailable(CF_UNICODETEXT)) << "the text before was emptied out";
  for (const std::wstring& path : paths) EXPECT_TRUE(fs::exists(path));

  ASSERT_TRUE(RightClickMenu(2, kCopyPath));
  EXPECT_EQ(ClipboardText(), paths[0] + L"\r\n" + paths[2]);
  EXPECT_FALSE(::IsClipboardFormatAvailable(CF_HDROP));
  Select({1}, 1);
  ASSERT_TRUE(RightClickMenu(1, kCopyPath));
  EXPECT_EQ(ClipboardText(), paths[1]);
}

// ---- dragging out, into a window of a second process

std::wstring ReadUtf16(const std::wstring& path) {
  std::ifstream in(fs::path(path), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::wstring text(bytes.size() / 2, L'\0');
  std::memcpy(text.data(), bytes.data(), text.size() * 2);
  return text;
}

TEST_F(ListCommandsTest, DraggingRowsOutHandsTheFilesToTheDropTargetAsCopies) {
  const std::vector<std::wstring> paths = ShowRecordings(3);
  Select({0, 1}, 0);
  RECT window{};
  ::GetWindowRect(main_->Handle(), &window);
  const POINT target{window.right + 120, window.top + 120};
  const test::TempDir results;
  const std::wstring result_file = results.Join(L"dropped.txt");
  test::ChildProcess drop_target(test::ExePath(L"drop_target.exe"),
                                 {std::to_wstring(target.x - 100), std::to_wstring(target.y - 100), L"200", L"200",
                                  result_file});
  ASSERT_TRUE(PumpUntil([&] { return test::FindProcessWindow(drop_target.Id(), L"Drop here", true) != nullptr; }, 10000));

  std::thread mouse([from = RowCentre(0), target] { test::DragWithMouse(from, target, 12, 40); });
  const bool dropped = PumpUntil([&] { return !drop_target.Running(); }, 15000);
  mouse.join();
  ASSERT_TRUE(dropped) << "the drop target got no drop";
  EXPECT_EQ(drop_target.ExitCode(), 0u);
  const std::wstring expected = L"allowed " + std::to_wstring(DROPEFFECT_COPY) + L"\nchosen " +
                                std::to_wstring(DROPEFFECT_COPY) + L"\n" + paths[0] + L"\n" + paths[1] + L"\n";
  EXPECT_EQ(ReadUtf16(result_file), expected) << "only a copy is offered, and both selected files arrive";
  EXPECT_EQ(ListedPaths(), paths) << "the recordings stay";
  for (const std::wstring& path : paths) EXPECT_TRUE(fs::exists(path));
}

// ---- Delete: the Recycle Bin, Shift+Delete, and a volume without a bin

TEST_F(ListCommandsTest, DeleteMovesTheSelectedRecordingsToTheRecycleBinOffTheWindowThread) {
  const std::vector<std::wstring> paths = ShowRecordings(5);
  struct Case {
    const char* how;
    std::function<void()> press;
  };
  const Case cases[] = {
      {"button", [&] { ClickDelete(); }},
      {"key", [] { test::PressKey(VK_DELETE); }},
      {"menu", [&] { RightClickMenu(main_->lst.FirstSelected(), kDelete); }},
  };
  std::size_t done = 0;
  for (const Case& c : cases) {
    ::SetFocus(main_->lst.Handle());
    Select({0}, 0);
    const std::wstring path = main_->Recordings().Path(0);
    MessageBoxAnswerer yes(L"Delete files", IDYES);
    c.press();
    ASSERT_TRUE(PumpUntil([&] { return yes.Answered() == 1; }, 3000)) << c.how;
    WaitForDeletion();
    EXPECT_EQ(yes.LastText(), L"Move 1 recording to the Recycle Bin?") << c.how;
    EXPECT_FALSE(fs::exists(path)) << c.how;
    EXPECT_TRUE(fs::exists(fs::path(recycle_bin_.Folder()) / fs::path(path).filename())) << c.how << ": in the bin";
    EXPECT_EQ(main_->lst.Count(), static_cast<int>(paths.size() - ++done)) << c.how;
  }

  // Several at once: one question naming them all, one operation per file.
  Select({0, 1}, 0);
  const std::vector<std::wstring> two = {main_->Recordings().Path(0), main_->Recordings().Path(1)};
  MessageBoxAnswerer yes(L"Delete files", IDYES);
  ClickDelete();
  WaitForDeletion();
  EXPECT_EQ(yes.LastText(), L"Move 2 recordings to the Recycle Bin?");
  EXPECT_EQ(main_->lst.Count(), 0);

  const std::vector<FakeRecycleBin::Operation> operations = recycle_bin_.Operations();
  ASSERT_EQ(operations.size(), 5u);
  const std::vector<std::wstring> deleted_last = {operations[3].deleted.at(0), operations[4].deleted.at(0)};
  EXPECT_EQ(deleted_last, two);
  for (const FakeRecycleBin::Operation& operation : operations) {
    EXPECT_NE(operation.thread, ::GetCurrentThreadId()) << "never on the window thread";
    EXPECT_EQ(operation.apartment, APTTYPE_STA) << "the shell's object in an apartment of its own thread";
    EXPECT_EQ(operation.flags, static_cast<DWORD>(FOF_ALLOWUNDO | FOF_NO_UI | FOFX_RECYCLEONDELETE));
    EXPECT_EQ(operation.deleted.size(), 1u);
    EXPECT_TRUE(operation.advised && operation.unadvised && operation.performed);
  }
}

TEST_F(ListCommandsTest, ShiftDeleteDeletesForGoodWithoutTheRecycleBin) {
  const std::vector<std::wstring> paths = ShowRecordings(4);
  Select({1, 2, 3}, 1);
  {
    MessageBoxAnswerer no(L"Delete files", IDNO);
    test::PressKeyWith(VK_SHIFT, VK_DELETE);
    ASSERT_TRUE(PumpUntil([&] { return no.Answered() == 1; }, 3000));
    EXPECT_EQ(no.LastText(), L"Permanently delete 3 recordings?");
  }
  EXPECT_EQ(ListedPaths(), paths) << "No deletes nothing";
  {
    MessageBoxAnswerer yes(L"Delete files", IDYES);
    test::PressKeyWith(VK_SHIFT, VK_DELETE);
    ASSERT_TRUE(PumpUntil([&] { return yes.Answered() == 1; }, 3000));
    WaitForDeletion();
  }
  EXPECT_EQ(ListedPaths(), std::vector<std::wstring>{paths[0]});
  for (int i : {1, 2, 3}) EXPECT_FALSE(fs::exists(paths[i])) << i;
  EXPECT_TRUE(fs::is_empty(recycle_bin_.Folder())) << "not through the Recycle Bin";
  EXPECT_TRUE(recycle_bin_.Operations().empty());
}

TEST_F(ListCommandsTest, AVolumeWithoutARecycleBinIsToldAndAskedOnceAndNothingGoesWithoutYes) {
  struct Case {
    const char* what;
    FakeRecycleBin::Volume volume;
    int answer;
  };
  const Case cases[] = {
      {"no bin, No", FakeRecycleBin::Volume::WithoutBin, IDNO},
      {"no file operation, No", FakeRecycleBin::Volume::NoOperation, IDNO},
      {"a file operation that cannot recycle, No", FakeRecycleBin::Volume::Unimplemented, IDNO},
      {"no bin, Yes", FakeRecycleBin::Volume::WithoutBin, IDYES},
  };
  const std::vector<std::wstring> paths = ShowRecordings(3);
  for (const Case& c : cases) {
    recycle_bin_.SetVolume(c.volume);
    Select({0, 1, 2}, 0);
    std::vector<std::wstring> asked;
    MessageBoxAnswerer answer(L"Delete files", IDYES, [&](HWND box) {
      asked.push_back(test::MessageBoxText(box));
      // The first question is the Recycle Bin's; the second is the one about deleting for good.
      if (asked.size() == 2 && c.answer == IDNO) test::PressButton(box, IDNO);
    });
    ClickDelete();
    ASSERT_TRUE(PumpUntil([&] { return asked.size() >= 2 && !main_->Deleting(); }, 10000)) << c.what;
    PumpFor(200);
    EXPECT_EQ(asked, (std::vector<std::wstring>{
                         L"Move 3 recordings to the Recycle Bin?",
                         L"3 recordings cannot be moved to the Recycle Bin: their drive has none. Permanently delete them?"}))
        << c.what;
    EXPECT_TRUE(fs::is_empty(recycle_bin_.Folder())) << c.what;
    if (c.answer == IDNO) {
      EXPECT_EQ(ListedPaths(), paths) << c.what << ": the rows stay";
      for (const std::wstring& path : paths) EXPECT_TRUE(fs::exists(path)) << c.what;
    } else {
      EXPECT_EQ(main_->lst.Count(), 0) << c.what;
      for (const std::wstring& path : paths) EXPECT_FALSE(fs::exists(path)) << c.what;
    }
  }
}

// The system's own file operation, not the stand-in: it recycles the file or leaves it, and never
// deletes it otherwise. (Wine's answers E_NOTIMPL: there it is left, and Delete asks.)
TEST(RecycleFile, TheSystemsFileOperationRecyclesOrLeavesTheFile) {
  const test::TempDir folder;
  const std::wstring file = folder.Join(L"05032013_141516_anna.wav");
  ASSERT_TRUE(test::WriteBytes(file, "RIFF"));
  ASSERT_EQ(CreateFileOperation, &CreateShellFileOperation);
  const ComApartment apartment;
  const RecycleResult result = RecycleFile(file);
  EXPECT_EQ(result == RecycleResult::Recycled, !fs::exists(file)) << static_cast<int>(result);
  EXPECT_NE(result, RecycleResult::Failed);
}

// ---- the search box

// Types text into the window that has the keyboard with real key presses: letters (lower case),
// digits and spaces.
void Type(std::wstring_view text) {
  for (wchar_t c : text) {
    const WORD key = c == L' ' ? VK_SPACE : static_cast<WORD>(std::towupper(c));
    test::PressKey(key);
  }
}

std::wstring UserThousands() {
  wchar_t text[8] = {};
  return ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, text, 8) > 0 ? text : L",";
}

TEST_F(ListCommandsTest, TheSearchBoxFiltersByPartnerDateTextAndAccentedNamesAndEscClearsIt) {
  std::vector<std::wstring> names = {L"01022013_090000_anna.wav", L"02022013_101500_bob2.wav",
                                     L"15032014_101500_Jos\u00E9.wav", L"16032014_230000_zed.wav"};
  // Enough recordings for the count to need its thousands separator.
  for (int i = 0; i < 1000; ++i) names.push_back(L"01012012_000000_other." + std::to_wstring(i) + L".wav");
  ShowNamed(names);
  ASSERT_EQ(main_->lst.Count(), 1004);
  EXPECT_EQ(main_->edtsearch.CueText(), L"Search");
  EXPECT_EQ(main_->edtsearch.AccessibleName(), L"Search recordings");
  EXPECT_EQ(main_->lblcount.Text(), L"") << "no count without a search";
  const std::wstring of_all = L" of 1" + UserThousands() + L"004";

  const auto partners = [&] {
    std::vector<std::wstring> shown;
    for (int i = 0; i < main_->lst.Count(); ++i) shown.push_back(main_->lst.ItemText(i, RecordingList::kPartner));
    return shown;
  };
  struct Case {
    WORD shortcut;
    const wchar_t* typed;
    std::vector<std::wstring> partners;
  };
  const Case cases[] = {
      {'F', L"bob", {L"bob2"}},                       // partner
      {'E', L"2013 at 10", {L"bob2"}},                // the date text, which no file name holds
      {'F', L"jose", {L"Jos\u00E9"}},                // accents and letter case aside
      {'E', L"03 2014", {}},                          // nothing
      {'F', L"032014", {L"Jos\u00E9", L"zed"}},      // the file name
  };
  for (const Case& c : cases) {
    ::SetFocus(main_->lst.Handle());
    PumpFor(20);
    test::PressKeyWith(VK_CONTROL, c.shortcut);
    ASSERT_TRUE(PumpUntil([&] { return ::GetFocus() == main_->edtsearch.Handle(); }, 2000)) << c.typed;
    Type(c.typed);
    ASSERT_TRUE(PumpUntil([&] { return main_->edtsearch.Text() == c.typed; }, 3000)) << c.typed;
    PumpFor(20);
    EXPECT_EQ(partners(), c.partners) << c.typed;
    EXPECT_EQ(main_->lblcount.Text(), std::to_wstring(c.partners.size()) + of_all) << c.typed;
    EXPECT_TRUE(main_->lblcount.Visible());

    test::PressKey(VK_ESCAPE);
    ASSERT_TRUE(PumpUntil([&] { return main_->edtsearch.Text().empty(); }, 2000)) << c.typed << ": Esc clears";
    EXPECT_EQ(main_->lst.Count(), 1004) << c.typed;
    EXPECT_EQ(main_->lblcount.Text(), L"") << c.typed;
    EXPECT_TRUE(main_->Visible()) << "Esc in the box leaves the window open";
  }
}

TEST_F(ListCommandsTest, ButtonsAndKeysActOnlyOnTheSelectedRowsTheSearchShows) {
  const std::vector<std::wstring> paths = ShowRecordings(4);
  Select({0, 1, 2, 3}, 0);
  test::PressKeyWith(VK_CONTROL, 'F');
  ASSERT_TRUE(PumpUntil([&] { return ::GetFocus() == main_->edtsearch.Handle(); }, 2000));
  Type(L"p2");
  ASSERT_TRUE(PumpUntil([&] { return main_->lst.Count() == 1; }, 3000));
  EXPECT_EQ(main_->lst.SelectedCount(), 1) << "the rows the search hides are no longer selected";

  // Enter goes on to the rows found; Delete there acts on what is shown.
  test::PressKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return ::GetFocus() == main_->lst.Handle(); }, 2000));
  {
    MessageBoxAnswerer yes(L"Delete files", IDYES);
    test::PressKey(VK_DELETE);
    ASSERT_TRUE(PumpUntil([&] { return yes.Answered() == 1; }, 3000));
    WaitForDeletion();
    EXPECT_EQ(yes.LastText(), L"Move 1 recording to the Recycle Bin?");
  }
  EXPECT_FALSE(fs::exists(paths[2]));
  for (int i : {0, 1, 3}) EXPECT_TRUE(fs::exists(paths[i])) << i;
  EXPECT_EQ(main_->lst.Count(), 0);
  EXPECT_EQ(main_->lblcount.Text(), L"0 of 3");

  // Cleared, the other rows come back unselected: the button has nothing to act on.
  main_->edtsearch.SetText(L"");
  EXPECT_EQ(ListedPaths(), (std::vector<std::wstring>{paths[0], paths[1], paths[3]}));
  EXPECT_EQ(main_->lst.SelectedCount(), 0);
  ASSERT_TRUE(PumpUntil([&] { return !main_->btndelete.Enabled(); }, 2000));
}

}  // namespace
}  // namespace callwright
