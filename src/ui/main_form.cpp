#include "ui/main_form.h"

#include <shellapi.h>

#include <exception>
#include <filesystem>
#include <string>
#include <system_error>

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
UINT ShowRequestMsg = 0;
WNDPROC PrevMainWndProc = nullptr;

namespace {

constexpr COLORREF kOddRowColour = 0xF4F7F9;  // red 249, green 247, blue 244
constexpr COLORREF kEvenRowColour = 0xFFFFFF;

// Only the first argument counts, compared with letter case.
bool StartedHidden() {
  int count = 0;
  LPWSTR* args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!args) return false;
  const bool hidden = count >= 2 && std::wstring(args[1]) == L"/hidden";
  ::LocalFree(args);
  return hidden;
}

// Failures are passed over: a file the client still writes stays.
void DeleteRecordingFile(const std::wstring& path) {
  if (::DeleteFileW(path.c_str())) return;
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  const DWORD link_to_folder = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & link_to_folder) == link_to_folder) {
    ::RemoveDirectoryW(path.c_str());
  }
}

// Keeps a window from repainting while it changes a lot.
class RedrawPause {
 public:
  explicit RedrawPause(HWND hwnd) : hwnd_(hwnd) { ::SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0); }
  ~RedrawPause() {
    ::SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(hwnd_, nullptr, TRUE);
  }
  RedrawPause(const RedrawPause&) = delete;
  RedrawPause& operator=(const RedrawPause&) = delete;

 private:
  HWND hwnd_;
};

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

  CreationDone();
  FormCreate();
}

TFrmMain::~TFrmMain() { FormDestroy(); }

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
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(default_folder), ignored);
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

void TFrmMain::RefreshList() {
  RedrawPause pause(lst.Handle());
  lst.Clear();
  for (const RecordingRow& row : ListRecordings(RecordingFolder())) {
    lst.AddItem(row.When, {row.Partner, row.Size, row.FileLocation});
  }
}

void TFrmMain::btnopenClick() {
  const int first = lst.FirstSelected();
  if (first >= 0) ShellOpenOrReport(Handle(), lst.ItemText(first, 3));
}

void TFrmMain::lstDblClick() { btnopenClick(); }

void TFrmMain::btndeleteClick() {
  if (!AskYesNo(Handle(), L"This will definitively delete selected files, are you sure ?", L"Delete files")) return;
  const std::vector<int> selected = lst.SelectedIndices();
  for (int index : selected) DeleteRecordingFile(lst.ItemText(index, 3));
  for (auto it = selected.rbegin(); it != selected.rend(); ++it) lst.DeleteItem(*it);
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
  // Ends at once: nothing is closed or written first; only the notification-area icon goes.
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
