#include "ui/main_form.h"

#include <shellapi.h>

#include <algorithm>
#include <exception>
#include <mutex>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "assets/resource_ids.h"
#include "audio/conversion_worker_win.h"
#include "base/app_error.h"
#include "base/decimal.h"
#include "base/handles.h"
#include "base/private_messages.h"
#include "base/system_error_win.h"
#include "core/catalogue_win.h"
#include "core/destination_folder.h"
#include "core/folder_watch_win.h"
#include "core/settings_win.h"
#include "core/text_order_win.h"
#include "core/wav_repair_win.h"
#include "ui/about_form.h"
#include "ui/info_form.h"
#include "ui/program_windows.h"
#include "ui/settings_form.h"
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
RecordingMeasure MeasureRecording = [](const std::wstring& path) { return MeasureRecordingFile(path); };
UINT ShowRequestMsg = 0;
WNDPROC PrevMainWndProc = nullptr;

namespace {

constexpr COLORREF kOddRowColour = 0xF4F7F9;  // red 249, green 247, blue 244
constexpr COLORREF kEvenRowColour = 0xFFFFFF;
// The text of a recording whose header the client left unfinished.
constexpr COLORREF kDamagedTextColour = 0x0000B0;  // red 176

// The list's columns, widths at 96 dpi, in the order of RecordingList::Column.
struct ColumnSetup {
  const wchar_t* caption;
  int width;
};
constexpr ColumnSetup kColumns[] = {
    {L"When", 150}, {L"Partner Handle", 100}, {L"Size", 70}, {L"Length", 60}, {L"File location", 160},
};
static_assert(std::size(kColumns) == RecordingList::kColumnCount);
// The chosen order in config.ini: "<column>,up" or "<column>,down"; no key, the listing's order.
constexpr wchar_t kSortKey[] = L"sort";

// The Repair button, at the left end of the bottom bar, and the search's count beside it.
constexpr RECT kRepairButton{4, 9, 4 + 81, 9 + 25};
constexpr POINT kCountLabel{kRepairButton.right + 8, 15};
// The search box at the right end of the button row; the buttons keep their places left of it.
constexpr int kSearchWidth = 112;
constexpr int kSearchStrip = kSearchWidth + 4;
constexpr int kClientWidth = 378 + kSearchStrip;
constexpr int kClientHeight = 293;
constexpr int kBarHeight = 41;
constexpr int kButtonWidth = 81;

// The lefts of what follows the window's width: the bar's buttons and the button row (ending at
// the search box) each run leftwards from the right end, 4 px apart. The controls are made where
// the design size puts them, so that the first layout moves none of them.
struct RowLefts {
  int settings, about, close, search, open, remove, browse, refresh;
};
constexpr RowLefts RowLeftsFor(int width) {
  constexpr int step = kButtonWidth + 4;
  const int settings = width - step;
  const int search = width - kSearchWidth - 4;
  return {settings,      settings - step,     settings - 2 * step, search,
          search - step, search - 2 * step, search - 3 * step,   search - 4 * step};
}
constexpr RowLefts kDesignRow = RowLeftsFor(kClientWidth);

// The list fills the space between the button row and the bar.
constexpr RECT ListBounds(int width, int height) { return {4, 40, width - 4, height - kBarHeight - 4}; }
constexpr RECT kDesignList = ListBounds(kClientWidth, kClientHeight);
// How often recordings whose calls still record are measured again.
constexpr UINT kBusyRemeasureMs = 1000;
// How long the Close button waits for workers that are inside a file.
constexpr std::chrono::milliseconds kProbeStopLimit{2000};

}  // namespace

HICON SmallProgramIcon() {
  return static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_CALLWRIGHT), IMAGE_ICON,
                                         ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
}

// Only the first argument counts, compared with letter case.
bool StartedHidden() {
  int count = 0;
  LPWSTR* args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!args) return false;
  const bool hidden = count >= 2 && std::wstring(args[1]) == L"/hidden";
  ::LocalFree(args);
  return hidden;
}

namespace {

std::vector<WavEntry> ListRecordingNames(const std::wstring& folder, const std::function<bool()>& stop) {
  return ListWavEntries(folder, stop, EntryPath::Name);
}

bool NotFound(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

bool FileGone(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES && NotFound(::GetLastError());
}

// Why a file that the Recycle Bin did not take is still there.
FileStatus WhyKept(const std::wstring& path) {
  const FileHandle file(::CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
  if (file) return FileStatus::Failed;
  const DWORD error = ::GetLastError();
  if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return FileStatus::Busy;
  if (error == ERROR_ACCESS_DENIED) return FileStatus::Denied;
  return NotFound(error) ? FileStatus::Gone : FileStatus::Failed;
}

// One file of a deletion, on its worker. Only plain files go to the Recycle Bin: a link to a folder
// is removed as before (the folder it names keeps its content), and a real folder never goes.
FileOutcome DeleteRecording(const std::wstring& path, DeletionKind kind) {
  if (kind == DeletionKind::Permanent) return DeleteRecordingFile(path);
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return {NotFound(::GetLastError()) ? FileStatus::Gone : FileStatus::Failed};
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return DeleteRecordingFile(path);
  // The shell's file operation is an apartment object: this worker thread enters one per file.
  const ComApartment apartment;
  const RecycleResult recycled = RecycleFile(path);
  if (FileGone(path)) return {FileStatus::Done};
  if (recycled == RecycleResult::NoRecycleBin) return {FileStatus::NoRecycleBin};
  return {WhyKept(path)};
}

// From this many rows on, a new listing's rows go into the list control in steps
// (kRowsResetMessage).
constexpr int kRowsResetApart = 100000;
enum RowsResetStep : WPARAM { kClearRows, kCountRows };

bool ShiftHeld() { return (::GetKeyState(VK_SHIFT) & 0x8000) != 0; }

// Commands of the rows' context menu.
enum RowCommand : UINT { kRowOpen = 1, kRowShowInFolder, kRowCopy, kRowCopyPath, kRowCompress, kRowDelete };

}  // namespace

TFrmMain::TFrmMain()
    : Form({.class_name = L"TFrmMain",
            .caption = L"Callwright [\u2022]",
            .client_width = kClientWidth,
            .client_height = kClientHeight,
            .style = WS_OVERLAPPEDWINDOW,
            .main_form = true,
            .min_outer_size = {394 + kSearchStrip, 100},
            .icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_CALLWRIGHT)),
            .small_icon = SmallProgramIcon()}),
      ClientLink(Application::Instance()),
      p(Handle(), Align::Bottom, kBarHeight),
      TimerAttach(Handle(), 10000, true, [this] { TimerAttachTimer(); }),
      btnabout(p.Handle(), kDesignRow.about, 9, kButtonWidth, 25, L"&About"),
      btnsettings(p.Handle(), kDesignRow.settings, 9, kButtonWidth, 25, L"&Settings"),
      lst(Handle(), kDesignList.left, kDesignList.top, kDesignList.right - kDesignList.left,
          kDesignList.bottom - kDesignList.top),
      Img16(16, 16),
      btnopen(Handle(), kDesignRow.open, 9, kButtonWidth, 25, L"&Open"),
      btndelete(Handle(), kDesignRow.remove, 9, kButtonWidth, 25, L"&Delete"),
      btnrefresh(Handle(), kDesignRow.refresh, 9, kButtonWidth, 25, L"&Refresh"),
      TimerSel(Handle(), 200, false, [this] { TimerSelTimer(); }),
      btnclose(p.Handle(), kDesignRow.close, 9, kButtonWidth, 25, L"&Close"),
      btnfol(Handle(), kDesignRow.browse, 9, kButtonWidth, 25, L"&Browse"),
      btnrepair(p.Handle(), kRepairButton.left, kRepairButton.top, kRepairButton.right - kRepairButton.left,
                kRepairButton.bottom - kRepairButton.top, L"Re&pair"),
      edtsearch(Handle(), kDesignRow.search, 10, kSearchWidth, 23),
      lblcount(p.Handle(), kCountLabel.x, kCountLabel.y, 13, L""),
      Image1(Handle(), 0, 0, 0, 0),
      imgbottom(p.Handle(), 0, 0, 0, 0),
      TimerBusy(Handle(), kBusyRemeasureMs, true, [this] { FRecordings->RemeasureBusy(); }),
      FChanges(std::make_shared<FolderChanges>()) {
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
  btnrepair.OnClick = [this] { RepairSelected(); };
  btnrepair.SetEnabled(false);

  edtsearch.SetCueText(L"Search");
  edtsearch.SetAccessibleName(L"Search recordings");
  edtsearch.OnChange = [this] { edtsearchChange(); };
  edtsearch.OnKeyDown = [this](WORD key) { return edtsearchKeyDown(key); };

  LoadListIcons();
  for (const ColumnSetup& column : kColumns) lst.AddColumn(column.caption, column.width);
  lst.SetSmallImages(Img16);
  lst.SetAccessibleName(L"Recordings");
  lst.SetAccessibleRole(AccessibleRole::List);
  const HWND window = Handle();
  RecordingListServices services;
  services.list = &ListRecordingNames;
  services.measure = [](const std::wstring& path) { return MeasureRecording(path); };
  services.remove = [](const std::wstring& path) { return DeleteRecordingFile(path); };
  services.repair = [](const std::wstring& path) { return RepairRecordingFile(path); };
  services.wake = [window] { ::PostMessageW(window, kRecordingsMessage, 0, 0); };
  UseWindowsTextOrder(services);
  FRecordings = std::make_unique<RecordingList>(std::move(services));
  FRecordings->OnChange = [this](const RecordingList::Change& change) { RecordingsChanged(change); };
  FRecordings->OnDeletionDone = [this](const RecordingList::DeletionReport& report) { DeletionDone(report); };
  FRecordings->OnBusyEnded = [this](const std::wstring& name) { BusyEnded(name); };
  FConversions = std::make_unique<ConversionWorker>(BackgroundConversionServices(window));
  lst.SetSource({
      .count = [this] { return FRecordings->Count(); },
      .text = [this](int row, int column) {
        return FRecordings->Text(row, static_cast<RecordingList::Column>(column), FSeparators);
      },
      .image = [](int row) { return row % 2; },
  });
  lst.OnCustomDrawItem = [this](ListView& sender, ListItemDraw& item) { lstAdvancedCustomDrawItem(sender, item); };
  lst.OnDblClick = [this] { lstDblClick(); };
  lst.OnColumnClick = [this](int column) { lstColumnClick(column); };
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
  // The list stops asking for the model's rows before the model goes.
  lst.SetSource({});
  FConversions.reset();
  FRecordings.reset();
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
  // Once per run: what a stopped or crashed run left half done is finished (or only tidied when
  // recordings stay WAV).
  if (!loaded) FConversions->CleanUp(RecordingFolder(), ReadKeepFormat() != KeepFormat::Wav);
  loaded = true;
  // Follows the selection only while the window can be seen.
  TimerSel.SetEnabled(Visible());
  forbidden = false;
  DiscoverClient();
  TimerAttach.SetEnabled(true);
  TickNoticeBoxFromSetting();
  SetDestinationFolder(ReadDestinationFolder());
  // Created when missing and tried on a worker (see FolderPrepared); the list shows what is there
  // meanwhile.
  PrepareFolder(true);
  // The order chosen last time; anything unreadable is the listing's order.
  const std::wstring sort = ReadSetting(L"SYSTEM", kSortKey, L"");
  const std::size_t comma = sort.find(L',');
  const int column = comma == 1 && sort[0] >= L'0' && sort[0] < L'0' + RecordingList::kColumnCount ? sort[0] - L'0' : -1;
  ApplySort(column, column < 0 || sort.substr(comma + 1) != L"down");
  RefreshList();
  FShownFolder = RecordingFolder();
}

void TFrmMain::TickNoticeBoxFromSetting() {
  // Turns the notice switch on, never off. Ticking the box stores "1" again; an error writing it
  // is reported, and the show goes on.
  if (IsInfoSet(ReadSetting(L"SYSTEM", L"info", L"0")) && FrmInfo) {
    Application::Instance().Guard([] { FrmInfo->c.SetChecked(true); });
  }
}

void TFrmMain::FolderPrepared(const PreparedFolder& prepared, bool for_show) {
  FollowWatch();
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
  const RowLefts row = RowLeftsFor(client.cx);
  btnsettings.SetLeft(row.settings);
  btnabout.SetLeft(row.about);
  btnclose.SetLeft(row.close);
  const RECT list = ListBounds(client.cx, client.cy);
  lst.SetBounds(list.left, list.top, list.right - list.left, list.bottom - list.top);
  edtsearch.SetLeft(row.search);
  btnopen.SetLeft(row.open);
  btndelete.SetLeft(row.remove);
  btnfol.SetLeft(row.browse);
  btnrefresh.SetLeft(row.refresh);
}

void TFrmMain::FormCloseQuery(bool& CanClose) {
  MakeDeferredWindows();
  if (FrmInfo && !FrmInfo->c.Checked()) FrmInfo->ShowModal();
  CanClose = false;
  Hide();
}

void TFrmMain::RefreshList() {
  FSeparators = UserNumberSeparators();
  std::wstring folder = RecordingFolder();
  // A watch about to be made for the folder lists it anyway: its listing gives the rows too, so
  // that a large folder is not walked twice at the same time.
  std::shared_ptr<SharedListing> share;
  if (PreparingFolder() && (!Watch() || !SameFolder(Watch()->Folder(), folder))) {
    share = std::make_shared<SharedListing>(folder);
    ShareNextWatchListing(share);
  }
  FRecordings->List(std::move(folder), std::move(share));
}

bool TFrmMain::Probing() const { return FRecordings->Listing() || PreparingFolderForShow(); }

bool TFrmMain::Deleting() const { return FRecordings->Deleting(); }

void TFrmMain::RecordingsArrived() { FRecordings->Update(); }

struct TFrmMain::FolderChanges {
  std::mutex lock;
  std::vector<FolderChange> waiting;  // guarded by lock
  bool posted = false;                // guarded by lock: a message is on its way
};

void TFrmMain::FollowWatch() {
  FolderWatch* watch = Watch();
  if (watch == FWatched) return;
  FWatched = watch;
  if (!watch) return;
  // Its first listing may have been told before anyone listened.
  FWatchListings = watch->Listed() ? 1 : 0;
  // Told on the watch's thread: queued, and the window woken once for a batch. The queue outlives
  // the window and the watch, whichever goes first.
  watch->Subscribe([changes = FChanges, window = Handle(), watch](const FolderChange& change) {
    const std::lock_guard hold(changes->lock);
    changes->waiting.push_back(change);
    changes->waiting.back().old_name.shrink_to_fit();
    if (!changes->posted) {
      changes->posted = ::PostMessageW(window, kFolderChangedMessage, 0, reinterpret_cast<LPARAM>(watch)) != FALSE;
    }
  });
}

void TFrmMain::FolderChanged() {
  std::vector<FolderChange> changes;
  {
    const std::lock_guard hold(FChanges->lock);
    changes.swap(FChanges->waiting);
    FChanges->posted = false;
  }
  // Only the watch of the folder listed now speaks for the rows (another folder may be prepared
  // while the list still shows the last one).
  if (!FWatched || FWatched != Watch() || !SameFolder(FWatched->Folder(), FRecordings->ListedFolder())) return;
  bool relist = false;
  // Removals in a row leave together: a deletion of many files comes as many records at once.
  std::vector<std::wstring> removed;
  const auto remove_gathered = [&] {
    if (!removed.empty()) FRecordings->FilesRemoved(std::exchange(removed, {}));
  };
  for (const FolderChange& change : changes) {
    if (change.kind != FolderChange::Kind::Removed) remove_gathered();
    switch (change.kind) {
      case FolderChange::Kind::Added:
        FRecordings->FileAdded(change.name, 0);
        break;
      case FolderChange::Kind::Removed:
        removed.push_back(change.name);
        break;
      case FolderChange::Kind::Renamed:
        FRecordings->FileRemoved(change.old_name);
        FRecordings->FileAdded(change.name, 0);
        break;
      case FolderChange::Kind::Relisted:
        // The watch's first listing, or one after more changes than its records could hold.
        relist = FWatchListings++ > 0;
        break;
      case FolderChange::Kind::Gone:
        break;
    }
  }
  remove_gathered();
  if (relist && !FRecordings->Listing()) FRecordings->List(FRecordings->Folder());
}

void TFrmMain::RecordingsChanged(const RecordingList::Change& change) {
  switch (change.kind) {
    case RecordingList::Change::Kind::Reset:
      // A long list's rows go into the control in steps, each a message of its own, so that the
      // window answers in between. Posted messages come before input and painting: nobody sees
      // the control between the steps.
      if (FRecordings->Count() < kRowsResetApart) {
        lst.SourceReset();
      } else {
        ::PostMessageW(Handle(), kRowsResetMessage, kClearRows, 0);
      }
      break;
    case RecordingList::Change::Kind::Moved:
      lst.SourceMoved(change.new_index);
      break;
    case RecordingList::Change::Kind::Cells:
      lst.SourceChanged(change.rows);
      break;
  }
  if (change.kind != RecordingList::Change::Kind::Cells) ShowCount();
}

void TFrmMain::ShowCount() {
  lblcount.SetCaption(FRecordings->Filter().empty()
                          ? std::wstring()
                          : ShownOfTotal(static_cast<std::uint64_t>(FRecordings->Count()), FRecordings->Total(),
                                         FSeparators));
}

void TFrmMain::edtsearchChange() { FRecordings->SetFilter(edtsearch.Text()); }

bool TFrmMain::SearchShortcut(WORD Key) {
  const bool control = (::GetKeyState(VK_CONTROL) & 0x8000) != 0;
  const bool alt = (::GetKeyState(VK_MENU) & 0x8000) != 0;
  if (!control || alt || (Key != 'F' && Key != 'E')) return false;
  edtsearch.FocusAll();
  return true;
}

bool TFrmMain::edtsearchKeyDown(WORD Key) {
  if (SearchShortcut(Key)) return true;
  if (Key == VK_ESCAPE) {
    edtsearch.SetText(L"");
    return true;
  }
  if (Key == VK_RETURN || Key == VK_DOWN) {
    // On to what was found, the first row focused and selected unless a row already is.
    ::SetFocus(lst.Handle());
    if (lst.Count() > 0 && lst.SelectedCount() == 0) {
      lst.SetSelected(0, true);
      ListView_SetItemState(lst.Handle(), 0, LVIS_FOCUSED, LVIS_FOCUSED);
    }
    return true;
  }
  return false;
}

void TFrmMain::ApplySort(int column, bool ascending) {
  FRecordings->SetSort(column, ascending);
  lst.SetSortArrow(FRecordings->SortColumn(), ascending);
}

void TFrmMain::lstColumnClick(int Column) {
  const bool ascending = FRecordings->SortColumn() == Column ? !FRecordings->SortAscending() : true;
  ApplySort(Column, ascending);
  WriteSetting(L"SYSTEM", kSortKey, DecimalText(Column) + (ascending ? L",up" : L",down"));
}

void TFrmMain::DeletionDone(const RecordingList::DeletionReport& report) {
  // Told and asked after the rows have changed, outside the list's update.
  if (report.busy_kept > 0) ::PostMessageW(Handle(), kKeptBusyMessage, report.busy_kept, 0);
  if (!report.no_recycle_bin.names.empty()) {
    FNoRecycleBin.push_back(report.no_recycle_bin);
    ::PostMessageW(Handle(), kNoRecycleBinMessage, 0, 0);
  }
}

void TFrmMain::AskNoRecycleBin() {
  if (FNoRecycleBin.empty()) return;
  RecordingList::Selection selection = std::move(FNoRecycleBin.front());
  FNoRecycleBin.erase(FNoRecycleBin.begin());
  // Once per Delete, for all its files that could not be recycled; nothing of them goes unless
  // the answer is Yes.
  if (!AskYesNo(Handle(), NoRecycleBinQuestion(selection.names.size()).c_str(), L"Delete files")) return;
  StartDeletion(std::move(selection), DeletionKind::Permanent);
}

void TFrmMain::TellKeptBusy(std::size_t busy_kept) {
  const std::wstring text = busy_kept == 1 ? std::wstring(L"1 recording was kept: its call is still being recorded.")
                                           : DecimalText(busy_kept) +
                                                 L" recordings were kept: their calls are still being recorded.";
  MessageBoxCall(Handle(), text.c_str(), L"Recordings kept", MB_OK | MB_ICONINFORMATION);
}

bool TFrmMain::StopWorkers(std::chrono::milliseconds limit) {
  const auto start = std::chrono::steady_clock::now();
  // The conversion under way stops at its next block; the next start finishes it.
  if (FConversions) FConversions->Stop();
  const bool listed = !FRecordings || FRecordings->Stop(limit);
  const auto left = limit - std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  return (!FConversions || FConversions->WaitEnded(std::max(left, std::chrono::milliseconds(0)))) && listed;
}

void TFrmMain::CallDecided(const CallDecision& decision) {
  if (decision.kind == CallDecision::Kind::Recording) {
    FCallRecordings[decision.call_id] = decision.path;
  } else if (decision.kind == CallDecision::Kind::CallEnded) {
    const auto found = FCallRecordings.find(decision.call_id);
    if (found == FCallRecordings.end()) return;
    const std::wstring path = std::move(found->second);
    FCallRecordings.erase(found);
    ConvertRecordingFile(path, ReadKeepFormat());
  }
}

void TFrmMain::BusyEnded(const std::wstring& name) {
  if (SkypeWindowHandle != nullptr) return;  // the end of its call comes, or came, from the client
  ConvertRecordingFile(JoinPath(FRecordings->Folder(), name), ReadKeepFormat());
}

bool TFrmMain::ConvertRecordingFile(const std::wstring& path, KeepFormat format) {
  if (format == KeepFormat::Wav || !FConversions->Add(path, format)) return false;
  FRecordings->SetConverting(FileNameOf(path));
  return true;
}

void TFrmMain::ConversionsArrived() {
  std::size_t failures = 0;
  std::wstring failure;
  for (const ConversionResult& result : FConversions->TakeResults()) {
    const std::wstring name(FileNameOf(result.wav));
    if (result.conversion.converted) {
      FRecordings->ClearConversion(name);
      FRecordings->FileRemoved(name);
      FRecordings->FileAdded(FileNameOf(result.conversion.result), 0);
      continue;
    }
    const std::wstring reason = FromUtf8(result.conversion.reason);
    FRecordings->SetConversionFailed(name, reason);
    // The replacement is in place; only the WAV could not go.
    if (!result.conversion.result.empty()) FRecordings->FileAdded(FileNameOf(result.conversion.result), 0);
    if (++failures == 1) failure = name + L" was not converted: " + reason + L". The WAV file is kept.";
  }
  for (const std::wstring& path : FConversions->Pending()) FRecordings->SetConverting(FileNameOf(path));
  // Once for all the failures that came together.
  if (failures == 1) TellUser(failure);
  if (failures > 1) TellUser(DecimalText(failures) + L" recordings were not converted; their WAV files are kept.");
}

std::vector<std::wstring> TFrmMain::SelectedPaths() const {
  std::vector<std::wstring> paths;
  for (int index : lst.SelectedIndices()) paths.push_back(FRecordings->Path(index));
  return paths;
}

LRESULT TFrmMain::HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == kRecordingsMessage) {
    Application::Instance().Guard([&] { RecordingsArrived(); });
    return 0;
  }
  if (msg == kConversionsMessage) {
    Application::Instance().Guard([&] { ConversionsArrived(); });
    return 0;
  }
  if (msg == kKeptBusyMessage) {
    Application::Instance().Guard([&] { TellKeptBusy(wparam); });
    return 0;
  }
  if (msg == kRowsResetMessage) {
    if (wparam == kClearRows) {
      lst.SourceCleared();
      ::PostMessageW(Handle(), kRowsResetMessage, kCountRows, 0);
    } else {
      lst.SourceCounted();
    }
    return 0;
  }
  if (msg == kFolderChangedMessage) {
    Application::Instance().Guard([&] { FolderChanged(); });
    return 0;
  }
  if (msg == kNoRecycleBinMessage) {
    Application::Instance().Guard([&] { AskNoRecycleBin(); });
    return 0;
  }
  return Form::HandleMessage(msg, wparam, lparam);
}

void TFrmMain::btnopenClick() {
  const std::vector<std::wstring> paths = SelectedPaths();
  if (!paths.empty()) ShellOpenOrReport(Handle(), paths.front());
}

void TFrmMain::lstDblClick() { btnopenClick(); }

// Enter in the search box goes to the rows (edtsearchKeyDown): any other Enter is meant for the list.
void TFrmMain::FormEnterKey() { btnopenClick(); }

void TFrmMain::lstKeyDown(WORD Key) {
  // As the Delete button, which is enabled only while rows are selected (the selection itself
  // counts here: the button follows it up to a timer tick late).
  if (Key == VK_DELETE && lst.SelectedCount() > 0) btndeleteClick();
  SearchShortcut(Key);
}

void TFrmMain::btndeleteClick() { DeleteSelected(ShiftHeld() ? DeletionKind::Permanent : DeletionKind::Recycle); }

void TFrmMain::DeleteSelected(DeletionKind Kind) {
  // The files are those selected now. The question is owned by this window, which stays disabled
  // until it is answered: no second question, no other selection meanwhile.
  RecordingList::Selection selection = FRecordings->Select(lst.SelectedIndices());
  if (selection.names.empty()) return;
  if (!AskYesNo(Handle(), DeletionQuestion(selection.names.size(), Kind).c_str(), L"Delete files")) return;
  // The selection has served: the rows it named go as their files do, and a row whose file stays
  // stays unselected. (Kept, it would cost a change of every later row's state at each removal.)
  lst.ClearSelection();
  StartDeletion(std::move(selection), Kind);
}

void TFrmMain::StartDeletion(RecordingList::Selection selection, DeletionKind kind) {
  // A worker removes the files, in row order; only rows whose file is then gone go, as it reports
  // them.
  FRecordings->Delete(std::move(selection), [kind](const std::wstring& path) { return DeleteRecording(path, kind); });
}

void TFrmMain::RepairSelected() {
  std::vector<int> damaged;
  for (int row : lst.SelectedIndices()) {
    const Recording* recording = FRecordings->At(row);
    if (recording && recording->damaged && recording->state == RecordingState::Measured) damaged.push_back(row);
  }
  FRecordings->Repair(FRecordings->Select(damaged));
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
  menu.Add(kRowCompress, L"Co&mpress", CanCompress());
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
    case kRowCompress:
      mnuCompressClick();
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

std::vector<int> TFrmMain::CompressibleRows() const {
  std::vector<int> rows;
  for (int row : lst.SelectedIndices()) {
    const Recording* recording = FRecordings->At(row);
    if (recording && recording->state != RecordingState::Busy && IsWavName(FRecordings->Name(row))) rows.push_back(row);
  }
  return rows;
}

bool TFrmMain::CanCompress() const { return ReadKeepFormat() != KeepFormat::Wav && !CompressibleRows().empty(); }

void TFrmMain::mnuCompressClick() {
  const KeepFormat format = ReadKeepFormat();
  if (format == KeepFormat::Wav) return;
  for (int row : CompressibleRows()) ConvertRecordingFile(FRecordings->Path(row), format);
}

void TFrmMain::lstBeginDrag() {
  const std::vector<std::wstring> paths = SelectedPaths();
  if (!paths.empty()) DragFilesOut(Handle(), paths);
}

void TFrmMain::btnrefreshClick() { RefreshList(); }

void TFrmMain::btnfolClick() { ShellOpenOrReport(Handle(), FolderFromPrefix(RecordingFolder())); }

void TFrmMain::btnsettingsClick() {
  MakeDeferredWindows();
  if (FrmSettings) FrmSettings->Show();
}

void TFrmMain::btnaboutClick() {
  MakeDeferredWindows();
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
  const Recording* recording = FRecordings->At(Item.index);
  if (recording && recording->damaged) Item.text_colour = kDamagedTextColour;
}

void TFrmMain::TimerSelTimer() {
  const bool selected = lst.SelectedCount() > 0;
  btnopen.SetEnabled(selected);
  btndelete.SetEnabled(selected);
  // A look at the first selected rows only: the timer must stay cheap with every row selected.
  bool damaged = false;
  int looked = 0;
  for (int row = lst.FirstSelected(); row >= 0 && !damaged && looked < 1000; row = lst.NextSelected(row), ++looked) {
    const Recording* recording = FRecordings->At(row);
    damaged = recording && recording->damaged;
  }
  btnrepair.SetEnabled(damaged);
}

void TFrmMain::TimerAttachTimer() { DiscoverClient(); }

}  // namespace callwright
