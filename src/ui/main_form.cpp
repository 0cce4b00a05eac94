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
#include "ui/toolkit/application.h"
#include "ui/toolkit/message_box.h"
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
      btnabout(p.Handle(), 0, 9, 81, 25, L"About"),
      btnsettings(p.Handle(), 0, 9, 81, 25, L"Settings"),
      lst(Handle(), 4, 40, 371, 208),
      Img16(16, 16),
      btnopen(Handle(), 0, 9, 81, 25, L"Open"),
      btndelete(Handle(), 0, 9, 81, 25, L"Delete"),
      btnrefresh(Handle(), 0, 9, 81, 25, L"Refresh"),
      TimerSel(Handle(), 200, false, [this] { TimerSelTimer(); }),
      btnclose(p.Handle(), 0, 9, 81, 25, L"Close"),
      btnfol(Handle(), 0, 9, 81, 25, L"Browse") {
  Image1.SetAlign(Align::Client);
  Image1.SetStretch(true);
  Image1.SetPicture(LoadPngResource(IDP_MAIN_BACKGROUND));
  imgbottom.SetAlign(Align::Client);
  imgbottom.SetStretch(true);
  imgbottom.SetPicture(LoadPngResource(IDP_MAIN_BAR));

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
    setup.button.SetGlyph(LoadPngResource(setup.glyph));
    setup.button.OnClick = [this, click = setup.click] { (this->*click)(); };
  }
  btnopen.SetEnabled(false);
  btndelete.SetEnabled(false);

  Img16.Add(LoadPngResource(IDP_LIST_ICON_BLUE));
  Img16.Add(LoadPngResource(IDP_LIST_ICON_GREEN));
  lst.AddColumn(L"When", 150);
  lst.AddColumn(L"Partner Handle", 100);
  lst.AddColumn(L"Size", 70);
  lst.AddColumn(L"File location", 160);
  lst.SetSmallImages(Img16);
  lst.OnCustomDrawItem = [this](ListView& sender, ListItemDraw& item) { lstAdvancedCustomDrawItem(sender, item); };
  lst.OnDblClick = [this] { lstDblClick(); };
  lst.OnKeyDown = [this](WORD key) { lstKeyDown(key); };

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
  const std::wstring default_folder = DefaultFolder();
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
  const std::wstring stored_folder = ReadSetting(L"SYSTEM", L"path", default_folder);
  SetDestinationFolder(IsBlankFolder(stored_folder) ? default_folder : stored_folder);
  CreateFolderTree(FolderPrefix(default_folder));
  // Creates a missing destination folder; what keeps recordings out of it is told once a showing.
  const std::wstring folder_problem = PrepareRecordingFolder();
  RefreshList();
  if (!folder_problem.empty()) Application::Instance().ShowException(AppError(folder_problem));
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

bool TFrmMain::Probing() const { return FListingWorker || (FProbe && !FProbe->Done()); }

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
    if (result.size > 0) gone.insert((*deletion->paths)[result.index]);
  }
  if (deletion->worker->Done()) FDeletions.erase(deletion);
  if (gone.empty()) return;
  // Rows found by path: the list may have been rebuilt since Delete was pressed.
  std::vector<int> rows;
  for (int i = 0; i < lst.Count(); ++i) {
    if (gone.contains(lst.ItemText(i, 3))) rows.push_back(i);
  }
  lst.DeleteItems(std::move(rows));
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

void TFrmMain::btndeleteClick() {
  // The files are those selected now. The question is owned by this window, which stays disabled
  // until it is answered: no second question, no other selection meanwhile.
  auto paths = std::make_shared<std::vector<std::wstring>>();
  for (int index : lst.SelectedIndices()) paths->push_back(lst.ItemText(index, 3));
  if (!AskYesNo(Handle(), L"This will definitively delete selected files, are you sure ?", L"Delete files")) return;
  if (paths->empty()) return;
  // The selection has served: the rows it named go as their files do, and a row whose file stays
  // stays unselected. (Kept, it would cost a change of every later row's state at each removal.)
  lst.ClearSelection();
  // A worker removes the files, in row order; only rows whose file is then gone go, as it reports
  // them.
  std::vector<std::size_t> order(paths->size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  const HWND window = Handle();
  const WPARAM serial = ++FDeletionSerial;
  auto worker = std::make_unique<FileWorker>(
      paths, std::move(order),
      [](const std::wstring& path) -> std::int64_t { return DeleteRecordingFile(path) ? 1 : 0; },
      [window, serial] { ::PostMessageW(window, kDeletionResultsMessage, serial, 0); }, kDeletionNoticeInterval);
  FDeletions.push_back({serial, std::move(paths), std::move(worker)});
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
  // Ends at once: nothing is closed or written first; only the notification-area icon goes and the
  // file workers stop.
  if (AskYesNo(Handle(), L"This will close the Callwright process, are you sure ?", L"Close process")) {
    Application::Instance().EndProcess(0);
  }
}

void TFrmMain::FormEndSession() {
  // The settings window stores its folder when it hides; the session's end is its last hide. A
  // failure cannot be reported any more: the session is going.
  try {
    if (FrmSettings && FrmSettings->Visible()) FrmSettings->StoreFolder();
  } catch (const std::exception&) {
  }
  // As the Close button ends the process.
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
