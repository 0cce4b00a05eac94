#include "ui/main_form.h"

#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <string>
#include <unordered_set>

#include "assets/resource_ids.h"
#include "base/app_error.h"
#include "core/catalogue_win.h"
#include "core/destination_folder.h"
#include "core/settings_win.h"
#include "ui/about_form.h"
#include "ui/info_form.h"
#include "ui/settings_form.h"
#include "base/system_error_win.h"
#include "ui/toolkit/application.h"
#include "ui/toolkit/clipboard.h"
#include "ui/toolkit/com.h"
#include "ui/toolkit/drag_source.h"
#include "ui/toolkit/file_operation.h"
#include "ui/toolkit/message_box.h"
#include "ui/toolkit/popup_menu.h"
#include "ui/toolkit/shell.h"

namespace callwright {

TFrmMain* FrmMain = nullptr;
RecordingMeasure MeasureRecording = [](const std::wstring& path) { return GetRecordingSize(path); };
UINT ShowRequestMsg = 0;
WNDPROC PrevMainWndProc = nullptr;

namespace {

constexpr COLORREF kOddRowColour = 0xF4F7F9;  // red 249, green 247, blue 244
constexpr COLORREF kEvenRowColour = 0xFFFFFF;
// Posted by a listing's worker when measured sizes wait; wParam tells the listing.
constexpr UINT kProbeResultsMessage = WM_APP + 1;
// Posted by a listing's worker when its rows are built; wParam tells the listing.
constexpr UINT kListingMessage = WM_APP + 3;
// Posted by a deletion's worker when deleted files wait; wParam tells the deletion.
constexpr UINT kDeletionResultsMessage = WM_APP + 2;
// Measures reach the window in batches: a wake-up per file would cost the window and the worker
// more than the files themselves.
constexpr std::chrono::milliseconds kProbeNoticeInterval{30};
// Each notice costs the window a pass over the rows: a few a second.
constexpr std::chrono::milliseconds kDeletionNoticeInterval{150};
// How long the Close button waits for workers that are inside a file.
constexpr std::chrono::milliseconds kProbeStopLimit{2000};

// Only the first argument counts, compared with letter case.
bool StartedHidden() {
  int count = 0;
  LPWSTR* args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!args) return false;
  const bool hidden = count >= 2 && std::wstring(args[1]) == L"/hidden";
  ::LocalFree(args);
  return hidden;
}

bool NotFound(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// True when the file is gone afterwards (also when it was gone before); a file the client still
// writes, or one we may not delete, stays.
bool DeleteRecordingFile(const std::wstring& path) {
  if (::DeleteFileW(path.c_str())) return true;
  const DWORD delete_error = ::GetLastError();
  if (NotFound(delete_error)) return true;
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return NotFound(::GetLastError());
  const DWORD link_to_folder = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
  return (attributes & link_to_folder) == link_to_folder && ::RemoveDirectoryW(path.c_str());
}

bool FileGone(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES && NotFound(::GetLastError());
}

// One file of a deletion, on its worker. Only plain files go to the Recycle Bin: a link to a folder
// is removed as before (the folder it names keeps its content), and a real folder never goes.
DeletionOutcome DeleteRecording(const std::wstring& path, DeletionKind kind) {
  if (kind == DeletionKind::Permanent) return DeleteRecordingFile(path) ? DeletionOutcome::Gone : DeletionOutcome::Kept;
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return NotFound(::GetLastError()) ? DeletionOutcome::Gone : DeletionOutcome::Kept;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    return DeleteRecordingFile(path) ? DeletionOutcome::Gone : DeletionOutcome::Kept;
  }
  // The shell's file operation is an apartment object: this worker thread enters one per file.
  const ComApartment apartment;
  if (RecycleFile(path) == RecycleResult::NoRecycleBin && !FileGone(path)) return DeletionOutcome::NoRecycleBin;
  return FileGone(path) ? DeletionOutcome::Gone : DeletionOutcome::Kept;
}

bool ShiftHeld() { return (::GetKeyState(VK_SHIFT) & 0x8000) != 0; }

// Commands of the rows' context menu.
enum RowCommand : UINT { kRowOpen = 1, kRowShowInFolder, kRowCopy, kRowCopyPath, kRowDelete };


}  // namespace

TFrmMain::TFrmMain()
    : Form({.class_name = L"TFrmMain",
            .caption = L"Callwright [\u2022]",
            .client_width = 378,
            .client_height = 293,
            .style = WS_OVERLAPPEDWINDOW,
            .main_form = true,
            .min_outer_size = {394, 100},
            .icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_CALLWRIGHT))}),
      ClientLink(Application::Instance()),
      Image1(Handle(), 0, 0, 0, 0),
      p(Handle(), Align::Bottom, 41),
      imgbottom(p.Handle(), 0, 0, 0, 0),
      TimerAttach(Handle(), 10000, true, [this] { TimerAttachTimer(); }),
      btnabout(p.Handle(), 0, 9, 81, 25, L"&About"),
      btnsettings(p.Handle(), 0, 9, 81, 25, L"&Settings"),
      lst(Handle(), 4, 40, 371, 208),
      Img16(16, 16),
      btnopen(Handle(), 0, 9, 81, 25, L"&Open"),
      btndelete(Handle(), 0, 9, 81, 25, L"&Delete"),
      btnrefresh(Handle(), 0, 9, 81, 25, L"&Refresh"),
      TimerSel(Handle(), 200, false, [this] { TimerSelTimer(); }),
      btnclose(p.Handle(), 0, 9, 81, 25, L"&Close"),
      btnfol(Handle(), 0, 9, 81, 25, L"&Browse") {
  Image1.SetAlign(Align::Client);
  Image1.SetStretch(true);
  Image1.SetPicture(IDP_MAIN_BACKGROUND);
  imgbottom.SetAlign(Align::Client);
  imgbottom.SetStretch(true);
  imgbottom.SetPicture(IDP_MAIN_BAR);

  struct ButtonSetup {
    SpeedButton& button;
    int glyph;
    void (TFrmMain::*click)();
  };
  const ButtonSetup buttons[] = {
      {btnabout, IDP_GLYPH_ABOUT, &TFrmMain::btnaboutClick},
      {btnsettings, IDP_GLYPH_SETTINGS, &TFrmMain::btnsettingsClick},
      {btnopen, IDP_GLYPH_OPEN, &TFrmMain::btnopenClick},
      {btndelete, IDP_GLYPH_DELETE, &TFrmMain::btndeleteClick},
      {btnrefresh, IDP_GLYPH_REFRESH, &TFrmMain::btnrefreshClick},
      {btnclose, IDP_GLYPH_CLOSE, &TFrmMain::btncloseClick},
      {btnfol, IDP_GLYPH_BROWSE, &TFrmMain::btnfolClick},
  };
  for (const ButtonSetup& setup : buttons) {
    setup.button.SetGlyph(setup.glyph);
    setup.button.OnClick = [this, click = setup.click] { (this->*click)(); };
  }
  btnopen.SetEnabled(false);
  btndelete.SetEnabled(false);

  LoadListIcons();
  lst.AddColumn(L"When", 150);
  lst.AddColumn(L"Partner Handle", 100);
  lst.AddColumn(L"Size", 70);
  lst.AddColumn(L"File location", 160);
  lst.SetSmallImages(Img16);
  lst.SetAccessibleName(L"Recordings");
  lst.SetAccessibleRole(AccessibleRole::List);
  lst.OnCustomDrawItem = [this](ListView& sender, ListItemDraw& item) { lstAdvancedCustomDrawItem(sender, item); };
  lst.OnDblClick = [this] { lstDblClick(); };
  lst.OnKeyDown = [this](WORD key) { lstKeyDown(key); };
  lst.OnContextPopup = [this](POINT at) { lstContextPopup(at); };
  lst.OnBeginDrag = [this] { lstBeginDrag(); };

  // ExitProcess kills other threads wherever they are; a worker stopped inside the heap or the
  // loader would leave those locked for the system's own clean-up. Workers stop before their next
  // file, so the end of the process waits for at most one file each (a deletion stops there too).
  FEndHandler = Application::Instance().AddEndHandler([this] { StopWorkers(kProbeStopLimit); });

  CreationDone();
  FormCreate();
}

TFrmMain::~TFrmMain() {
  Application::Instance().RemoveEndHandler(FEndHandler);
  // No worker outlives the window it posts to.
  StopWorkers(std::chrono::milliseconds::max());
  FDeletions.clear();
  FRetiredProbes.clear();
  FListingWorker.reset();
  FProbe.reset();
  // The list shares the image list, which is destroyed before it.
  lst.SetSmallImages(nullptr);
  FormDestroy();
}

void TFrmMain::LoadListIcons() {
  Img16.Resize(Scale(16), Scale(16));
  Img16.Add(LoadPngResourceForDpi(IDP_LIST_ICON_BLUE, Dpi()));
  Img16.Add(LoadPngResourceForDpi(IDP_LIST_ICON_GREEN, Dpi()));
}

void TFrmMain::FormDpiChanged() { LoadListIcons(); }

void TFrmMain::FormCreate() {
  ShowRequestMsg = ::RegisterWindowMessageW(L"CALLWRIGHTAPP");
  PrevMainWndProc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ShowRequestWndProc)));
  loaded = false;
}

void TFrmMain::FormDestroy() {
  if (PrevMainWndProc &&
      ::GetWindowLongPtrW(Handle(), GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&ShowRequestWndProc)) {
    ::SetWindowLongPtrW(Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PrevMainWndProc));
  }
}

LRESULT CALLBACK ShowRequestWndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (ShowRequestMsg != 0 && msg == ShowRequestMsg) {
    // Showing a hidden window runs its show sequence (the first time also centres it); a minimised
    // one is restored; either comes to the front.
    if (FrmMain && FrmMain->Handle() == hwnd) {
      Application::Instance().Guard([] { FrmMain->Show(); });
    } else {
      ::ShowWindow(hwnd, ::IsIconic(hwnd) ? SW_RESTORE : SW_SHOW);
      ::SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
  }
  return ::CallWindowProcW(PrevMainWndProc, hwnd, msg, wparam, lparam);
}

void TFrmMain::StartUp() {
  // A hidden start does the show sequence's work without ever making the window visible: no flash,
  // no task-bar button, no stolen focus, and nothing left to hide a show request that comes later.
  if (!loaded && StartedHidden()) {
    FormShow();
  } else {
    Show();
  }
}

void TFrmMain::FormShow() {
  loaded = true;
  // Follows the selection only while the window can be seen.
  TimerSel.SetEnabled(Visible());
  forbidden = false;
  DiscoverClient();
  TimerAttach.SetEnabled(true);
  // Turns the notice switch on, never off. Ticking the box stores "1" again; an error writing it
  // is reported, and the folder is still set up below.
  if (ReadSetting(L"SYSTEM", L"info", L"0") == L"1" && FrmInfo) {
    Application::Instance().Guard([] { FrmInfo->c.SetChecked(true); });
  }
  SetDestinationFolder(ReadDestinationFolder());
  // Created when missing and tried on a worker (see FolderPrepared); the list shows what is there
  // meanwhile.
  PrepareFolder(true);
  RefreshList();
  FShownFolder = RecordingFolder();
}

void TFrmMain::FolderPrepared(const PreparedFolder& prepared, bool for_show) {
  if (!for_show) {
    ClientLink::FolderPrepared(prepared, for_show);
    return;
  }
  if (prepared.created || prepared.folder != FShownFolder) RefreshList();
  // A visible window tells what keeps recordings out of the folder in a box, once a showing.
  if (!prepared.problem.empty() && Visible()) {
    Application::Instance().ShowException(AppError(prepared.problem));
  } else {
    ClientLink::FolderPrepared(prepared, for_show);
  }
}

void TFrmMain::FormHide() { TimerSel.SetEnabled(false); }

void TFrmMain::FormResize() {
  const SIZE client = ClientSize();
  const int w = client.cx;
  const int h = client.cy;
  btnsettings.SetLeft(w - btnsettings.Width() - 4);
  btnabout.SetLeft(btnsettings.Left() - btnabout.Width() - 4);
  btnclose.SetLeft(btnabout.Left() - btnclose.Width() - 4);
  lst.SetBounds(4, 40, w - 8, h - p.Height() - 44);
  btnopen.SetLeft(w - btnopen.Width() - 4);
  btndelete.SetLeft(btnopen.Left() - btndelete.Width() - 4);
  btnfol.SetLeft(btndelete.Left() - btnfol.Width() - 4);
  btnrefresh.SetLeft(btnfol.Left() - btnrefresh.Width() - 4);
}

void TFrmMain::FormCloseQuery(bool& CanClose) {
  if (FrmInfo && !FrmInfo->c.Checked()) FrmInfo->ShowModal();
  CanClose = false;
  Hide();
}

struct TFrmMain::Listing {
  std::atomic<bool> stop{false};
  std::vector<std::wstring> cells;
  std::vector<std::intptr_t> data;
  std::shared_ptr<std::vector<std::wstring>> paths = std::make_shared<std::vector<std::wstring>>();
  std::vector<std::size_t> order;
};

void TFrmMain::RefreshList() {
  // The running listing belongs to the rows about to be replaced: cancel it; whatever it still
  // posts carries an older generation and is dropped.
  for (std::unique_ptr<FileWorker>* worker : {&FListingWorker, &FProbe}) {
    if (!*worker) continue;
    (*worker)->Cancel();
    FRetiredProbes.push_back(std::move(*worker));
  }
  if (FListing) FListing->stop = true;
  std::erase_if(FRetiredProbes, [](const std::unique_ptr<FileWorker>& worker) { return worker->Ended(); });
  const WPARAM generation = ++FProbeGeneration;

  FListing = std::make_shared<Listing>();
  const std::wstring folder = RecordingFolder() + L"\\";
  const NumberSeparators separators = UserNumberSeparators();
  FSeparators = separators;
  const HWND window = Handle();
  FListingWorker = std::make_unique<FileWorker>(
      std::make_shared<std::vector<std::wstring>>(1, folder), std::vector<std::size_t>{0},
      [listing = FListing, separators](const std::wstring& folder_text) -> std::int64_t {
        const std::vector<WavEntry> entries =
            ListWavEntries(folder_text, [&listing] { return listing->stop.load(); });
        listing->cells.reserve(entries.size() * 4);
        listing->data.resize(entries.size());
        listing->paths->reserve(entries.size());
        for (std::size_t i = 0; i < entries.size(); ++i) {
          RecordingRow row = MakeRecordingRow(entries[i].path, entries[i].size, separators);
          listing->cells.push_back(std::move(row.When));
          listing->cells.push_back(std::move(row.Partner));
          listing->cells.push_back(std::move(row.Size));
          listing->cells.push_back(std::move(row.FileLocation));
          listing->data[i] = static_cast<std::intptr_t>(i);
          listing->paths->push_back(entries[i].path);
        }
        listing->order = NewestFirst(entries);
        return 0;
      },
      [window, generation] { ::PostMessageW(window, kListingMessage, generation, 0); });
}

void TFrmMain::ListingArrived(WPARAM generation) {
  if (!FListingWorker || !FListing || generation != FProbeGeneration) return;  // an older listing's
  // Taking the result also makes the worker's writes to the listing visible here.
  if (FListingWorker->TakeResults().empty()) return;
  FListingWorker.reset();  // it has ended
  const std::shared_ptr<Listing> listing = std::move(FListing);
  const std::size_t count = listing->data.size();
  lst.SetRows(std::move(listing->cells), std::move(listing->data));
  FEntryRow.resize(count);
  for (std::size_t i = 0; i < count; ++i) FEntryRow[i] = static_cast<int>(i);
  if (count == 0) return;
  const HWND window = Handle();
  FProbe = std::make_unique<FileWorker>(
      listing->paths, std::move(listing->order), MeasureRecording,
      [window, generation] { ::PostMessageW(window, kProbeResultsMessage, generation, 0); }, kProbeNoticeInterval);
}

bool TFrmMain::Probing() const {
  return FListingWorker || (FProbe && !FProbe->Done()) || PreparingFolderForShow();
}

void TFrmMain::ProbeResultsArrived(WPARAM generation) {
  if (!FProbe || generation != FProbeGeneration) return;  // from an older listing
  for (const FileWorker::Result& result : FProbe->TakeResults()) {
    if (result.index >= FEntryRow.size()) continue;
    int row = FEntryRow[result.index];
    if (row >= 0 && lst.ItemData(row) != static_cast<std::intptr_t>(result.index)) {
      // Rows went since the map was made.
      std::fill(FEntryRow.begin(), FEntryRow.end(), -1);
      for (int i = 0; i < lst.Count(); ++i) {
        const std::intptr_t entry = lst.ItemData(i);
        if (entry >= 0 && static_cast<std::size_t>(entry) < FEntryRow.size()) FEntryRow[entry] = i;
      }
      row = FEntryRow[result.index];
    }
    if (row < 0) continue;
    std::wstring size = result.size < 0 ? std::wstring(L"BUSY") : FormatFileSize(result.size, FSeparators);
    if (lst.ItemText(row, 2) != size) lst.SetItemText(row, 2, std::move(size));
  }
}

bool TFrmMain::Deleting() const {
  return std::any_of(FDeletions.begin(), FDeletions.end(),
                     [](const Deletion& deletion) { return !deletion.worker->Done(); });
}

void TFrmMain::DeletionResultsArrived(WPARAM serial) {
  const auto deletion = std::find_if(FDeletions.begin(), FDeletions.end(),
                                     [serial](const Deletion& d) { return d.serial == serial; });
  if (deletion == FDeletions.end()) return;
  std::unordered_set<std::wstring> gone;
  for (const FileWorker::Result& result : deletion->worker->TakeResults()) {
    const std::wstring& path = (*deletion->paths)[result.index];
    switch (static_cast<DeletionOutcome>(result.size)) {
      case DeletionOutcome::Gone:
        gone.insert(path);
        break;
      case DeletionOutcome::NoRecycleBin:
        deletion->no_recycle_bin.push_back(path);
        break;
      default:
        break;
    }
  }
  std::vector<std::wstring> ask_about;
  if (deletion->worker->Done()) {
    ask_about = std::move(deletion->no_recycle_bin);
    FDeletions.erase(deletion);
  }
  if (!gone.empty()) {
    // Rows found by path: the list may have been rebuilt since Delete was pressed.
    std::vector<int> rows;
    for (int i = 0; i < lst.Count(); ++i) {
      if (gone.contains(lst.ItemText(i, 3))) rows.push_back(i);
    }
    lst.DeleteItems(std::move(rows));
  }
  // Once per Delete, for all its files that could not be recycled; nothing of them goes unless
  // the answer is Yes.
  if (ask_about.empty()) return;
  if (!AskYesNo(Handle(), NoRecycleBinQuestion(ask_about.size()).c_str(), L"Delete files")) return;
  StartDeletion(std::make_shared<std::vector<std::wstring>>(std::move(ask_about)), DeletionKind::Permanent);
}

bool TFrmMain::StopWorkers(std::chrono::milliseconds limit) {
  if (FListing) FListing->stop = true;
  if (FListingWorker) FListingWorker->Cancel();
  if (FProbe) FProbe->Cancel();
  for (const auto& probe : FRetiredProbes) probe->Cancel();
  for (const Deletion& deletion : FDeletions) deletion.worker->Cancel();
  const auto deadline = limit == std::chrono::milliseconds::max()
                            ? std::chrono::steady_clock::time_point::max()
                            : std::chrono::steady_clock::now() + limit;
  bool all_ended = true;
  const auto wait = [&](FileWorker& probe) {
    const auto left = deadline == std::chrono::steady_clock::time_point::max()
                          ? std::chrono::milliseconds(std::chrono::hours(24))
                          : std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::max(deadline - std::chrono::steady_clock::now(),
                                         std::chrono::steady_clock::duration::zero()));
    all_ended = probe.WaitEnded(left) && all_ended;
  };
  if (FListingWorker) wait(*FListingWorker);
  if (FProbe) wait(*FProbe);
  for (const auto& probe : FRetiredProbes) wait(*probe);
  for (const Deletion& deletion : FDeletions) wait(*deletion.worker);
  return all_ended;
}

LRESULT TFrmMain::HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == kListingMessage) {
    Application::Instance().Guard([&] { ListingArrived(wparam); });
    return 0;
  }
  if (msg == kProbeResultsMessage) {
    Application::Instance().Guard([&] { ProbeResultsArrived(wparam); });
    return 0;
  }
  if (msg == kDeletionResultsMessage) {
    Application::Instance().Guard([&] { DeletionResultsArrived(wparam); });
    return 0;
  }
  return Form::HandleMessage(msg, wparam, lparam);
}

void TFrmMain::btnopenClick() {
  const int first = lst.FirstSelected();
  if (first >= 0) ShellOpenOrReport(Handle(), lst.ItemText(first, 3));
}

void TFrmMain::lstDblClick() { btnopenClick(); }

// The list is the window's one control that takes the focus, so Enter is always meant for it.
void TFrmMain::FormEnterKey() { btnopenClick(); }

void TFrmMain::lstKeyDown(WORD Key) {
  // As the Delete button, which is enabled only while rows are selected (the selection itself
  // counts here: the button follows it up to a timer tick late).
  if (Key == VK_DELETE && lst.SelectedCount() > 0) btndeleteClick();
}

void TFrmMain::btndeleteClick() { DeleteSelected(ShiftHeld() ? DeletionKind::Permanent : DeletionKind::Recycle); }

std::vector<std::wstring> TFrmMain::SelectedPaths() const {
  std::vector<std::wstring> paths;
  for (int index : lst.SelectedIndices()) paths.push_back(lst.ItemText(index, 3));
  return paths;
}

void TFrmMain::DeleteSelected(DeletionKind Kind) {
  // The files are those selected now. The question is owned by this window, which stays disabled
  // until it is answered: no second question, no other selection meanwhile.
  auto paths = std::make_shared<std::vector<std::wstring>>(SelectedPaths());
  if (paths->empty()) return;
  if (!AskYesNo(Handle(), DeletionQuestion(paths->size(), Kind).c_str(), L"Delete files")) return;
  // The selection has served: the rows it named go as their files do, and a row whose file stays
  // stays unselected. (Kept, it would cost a change of every later row's state at each removal.)
  lst.ClearSelection();
  StartDeletion(std::move(paths), Kind);
}

void TFrmMain::StartDeletion(std::shared_ptr<std::vector<std::wstring>> paths, DeletionKind kind) {
  // A worker removes the files, in row order; only rows whose file is then gone go, as it reports
  // them.
  std::vector<std::size_t> order(paths->size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  const HWND window = Handle();
  const WPARAM serial = ++FDeletionSerial;
  auto worker = std::make_unique<FileWorker>(
      paths, std::move(order),
      [kind](const std::wstring& path) { return static_cast<std::int64_t>(DeleteRecording(path, kind)); },
      [window, serial] { ::PostMessageW(window, kDeletionResultsMessage, serial, 0); }, kDeletionNoticeInterval);
  FDeletions.push_back({serial, std::move(paths), std::move(worker), {}});
}

void TFrmMain::lstContextPopup(POINT MousePos) {
  // A right click beside the rows leaves none selected: no menu then.
  if (lst.SelectedCount() == 0) return;
  PopupMenu menu;
  menu.Add(kRowOpen, L"&Open");
  menu.Add(kRowShowInFolder, L"Show in &folder");
  menu.AddSeparator();
  menu.Add(kRowCopy, L"&Copy");
  menu.Add(kRowCopyPath, L"Copy &path");
  menu.AddSeparator();
  menu.Add(kRowDelete, L"&Delete");
  menu.SetDefault(kRowOpen);
  switch (menu.Track(Handle(), MousePos)) {
    case kRowOpen:
      btnopenClick();
      break;
    case kRowShowInFolder:
      mnuShowInFolderClick();
      break;
    case kRowCopy:
      mnuCopyClick();
      break;
    case kRowCopyPath:
      mnuCopyPathClick();
      break;
    case kRowDelete:
      btndeleteClick();
      break;
    default:
      break;  // dismissed
  }
}

void TFrmMain::ReportFailure(const std::wstring& text) {
  ::MessageBoxW(Handle(), text.c_str(), Application::Instance().Title().c_str(), MB_OK | MB_ICONEXCLAMATION);
}

void TFrmMain::mnuShowInFolderClick() {
  const std::vector<std::wstring> paths = SelectedPaths();
  if (paths.empty()) return;
  const HRESULT shown = ShowInFolder(paths);
  if (FAILED(shown)) {
    ReportFailure(L"Unable to show " + paths.front() + L" in its folder: " +
                  SystemErrorText(static_cast<DWORD>(shown)) + L".");
  }
}

void TFrmMain::mnuCopyClick() {
  const std::vector<std::wstring> paths = SelectedPaths();
  if (paths.empty()) return;
  if (const DWORD error = CopyFilesToClipboard(Handle(), paths)) {
    ReportFailure(L"Unable to copy " + RecordingCount(paths.size()) + L" to the clipboard: " + SystemErrorText(error) +
                  L".");
  }
}

void TFrmMain::mnuCopyPathClick() {
  const std::vector<std::wstring> paths = SelectedPaths();
  if (paths.empty()) return;
  std::wstring text;
  for (const std::wstring& path : paths) text += (text.empty() ? L"" : L"\r\n") + path;
  if (const DWORD error = CopyTextToClipboard(Handle(), text)) {
    ReportFailure(L"Unable to copy the path to the clipboard: " + SystemErrorText(error) + L".");
  }
}

void TFrmMain::lstBeginDrag() {
  const std::vector<std::wstring> paths = SelectedPaths();
  if (!paths.empty()) DragFilesOut(Handle(), paths);
}

void TFrmMain::btnrefreshClick() { RefreshList(); }

void TFrmMain::btnfolClick() { ShellOpenOrReport(Handle(), FolderFromPrefix(RecordingFolder())); }

void TFrmMain::btnsettingsClick() {
  if (FrmSettings) FrmSettings->Show();
}

void TFrmMain::btnaboutClick() {
  if (FrmAbout) FrmAbout->Show();
}

void TFrmMain::btncloseClick() {
  // Ends at once: nothing is closed first; only the notification-area icon goes, a folder picked in
  // the settings window is stored and the file workers stop.
  if (AskYesNo(Handle(), L"This will close the Callwright process, are you sure ?", L"Close process")) {
    Application::Instance().EndProcess(0);
  }
}

void TFrmMain::FormEndSession() {
  // As the Close button ends the process (the settings window's folder is stored on the way out).
  Application::Instance().EndProcess(0);
}

void TFrmMain::lstAdvancedCustomDrawItem(ListView&, ListItemDraw& Item) {
  const bool odd = Item.index % 2 != 0;
  Item.brush_colour = odd ? kOddRowColour : kEvenRowColour;
  Item.image_index = odd ? 1 : 0;
}

void TFrmMain::TimerSelTimer() {
  const bool selected = lst.SelectedCount() > 0;
  btnopen.SetEnabled(selected);
  btndelete.SetEnabled(selected);
}

void TFrmMain::TimerAttachTimer() { DiscoverClient(); }

}  // namespace callwright
