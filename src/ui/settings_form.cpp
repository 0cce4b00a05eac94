#include "ui/settings_form.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "assets/resource_ids.h"
#include "base/app_error.h"
#include "core/destination_folder.h"
#include "core/keep_format.h"
#include "core/settings_win.h"
#include "core/startup_win.h"
#include "ui/browse_folder.h"
#include "ui/main_form.h"
#include "ui/toolkit/application.h"

namespace callwright {

TFrmSettings* FrmSettings = nullptr;

namespace {

constexpr wchar_t kStartupValueName[] = L"Callwright";

// The drop-down's rows, in this order.
constexpr KeepFormat kFormats[] = {KeepFormat::Wav, KeepFormat::Flac, KeepFormat::Opus};
const std::vector<std::wstring> kFormatTexts = {L"WAV, as recorded", L"FLAC, lossless (about half the size)",
                                                L"Opus, for speech (about a tenth)"};

int FormatRow(KeepFormat format) {
  const auto found = std::find(std::begin(kFormats), std::end(kFormats), format);
  return found != std::end(kFormats) ? static_cast<int>(found - std::begin(kFormats)) : 0;
}

}  // namespace

TFrmSettings::TFrmSettings()
    : Form({.class_name = L"TFrmSettings",
            .caption = L"Settings",
            .client_width = 342,
            .client_height = 278,
            .escape_closes = true}),
      imgtop(Handle(), 0, 0, 342, 90),
      GroupBox1(Handle(), 8, 96, 326, 65, L"Record Destination"),
      edtpath(GroupBox1.Handle(), 16, 28, 260, 21, true),
      btnopen(GroupBox1.Handle(), 282, 27, 31, 22),
      p(Handle(), Align::Bottom, 41),
      imgbottom(p.Handle(), 0, 0, 0, 0),
      startup(Handle(), 8, 167, 265, 17, L"Start Callwright &with Windows."),
      btnok(p.Handle(), 0, 9, 81, 25, L"&OK"),
      lblformat(Handle(), 8, 192, 13, L"&Keep recordings as:", true),
      cmbformat(Handle(), 8, 208, 326, 21, lblformat, kFormatTexts) {
  imgtop.SetAlign(Align::Top);
  imgtop.SetPicture(IDP_SETTINGS_HEADER);
  btnopen.SetGlyph(IDP_GLYPH_FOLDER);
  btnopen.OnClick = [this] { btnopenClick(); };
  // The folder box is read by its group's caption; the glyph says nothing to a screen reader.
  edtpath.SetAccessibleName(GroupBox1.Text());
  edtpath.SetAccessibleRole(AccessibleRole::Text);
  btnopen.SetAccessibleName(L"Choose folder\u2026");
  // Painted off screen as a whole, so the strip and the button never flicker while resizing.
  ::SetWindowLongPtrW(p.Handle(), GWL_EXSTYLE, ::GetWindowLongPtrW(p.Handle(), GWL_EXSTYLE) | WS_EX_COMPOSITED);
  imgbottom.SetAlign(Align::Client);
  imgbottom.SetStretch(true);
  imgbottom.SetPicture(IDP_BOTTOM_STRIP);
  startup.OnClick = [this] { startupClick(); };
  btnok.SetGlyph(IDP_GLYPH_OK);
  btnok.OnClick = [this] { btnokClick(); };

  cmbformat.SetItemIndex(FormatRow(KeepFormat::Wav));

  edtpath.SetText(DestinationFolder());
  SetDestinationFolderListener([this](const std::wstring& folder) { edtpath.SetText(folder); });
  // Every way out (Close, the icon's Close, a close of the application window, the session's end)
  // goes through the end handlers, also while this window is still open.
  end_handler_ = Application::Instance().AddEndHandler([this] {
    StoreFolder();
    // Hidden, the box holds what was stored at the hide; the file may have changed since.
    if (Visible()) StoreFormat();
  });
  CreationDone();
}

TFrmSettings::~TFrmSettings() {
  Application::Instance().RemoveEndHandler(end_handler_);
  SetDestinationFolderListener(nullptr);
}

void TFrmSettings::FormShow() {
  // The box clicks only when it changes, so an entry is rewritten (with this executable's path)
  // only when the box was unticked, and nothing is written when box and registry agree.
  startup.SetChecked(IsInStartup(kStartupValueName));
  cmbformat.SetItemIndex(FormatRow(ReadKeepFormat()));
}

void TFrmSettings::FormHide() {
  StoreFolder();
  StoreFormat();
}

void TFrmSettings::StoreFormat() {
  const int row = cmbformat.ItemIndex();
  if (row < 0 || row >= static_cast<int>(std::size(kFormats))) return;
  const KeepFormat format = kFormats[row];
  if (format == ReadKeepFormat()) return;
  WriteSetting(L"SYSTEM", L"format", KeepFormatName(format));
}

void TFrmSettings::StoreFolder() {
  // The folder box shows the destination folder; an empty or blank one never replaces the stored,
  // and one that "path" gives already leaves "path" as it was read (empty or relative stays so).
  const std::wstring folder = edtpath.Text();
  if (IsBlankFolder(folder) || folder == ReadDestinationFolder()) return;
  WriteSetting(L"SYSTEM", L"path", folder);
}

void TFrmSettings::FormResize() { btnok.SetLeft(ClientSize().cx / 2 - btnok.Width() / 2); }

void TFrmSettings::startupClick() {
  if (startup.Checked()) {
    AddToStartup(kStartupValueName, ExecutablePath());
  } else {
    RemoveFromStartup(kStartupValueName);
  }
}

void TFrmSettings::btnokClick() { Hide(); }

void TFrmSettings::FormEnterKey() { btnokClick(); }

void TFrmSettings::btnopenClick() {
  const std::wstring folder = BrowseForFolder(Handle(), L"Chose record destination path", L"", false);
  if (IsBlankFolder(folder)) return;
  // A folder that the client cannot be given is refused and the box keeps its folder.
  if (const std::wstring refusal = FolderRefusal(folder); !refusal.empty()) {
    Application::Instance().ShowException(AppError(refusal));
    return;
  }
  // Live at once for recording and listing (the visible list shows it now); stored when the window
  // hides or the program ends.
  SetDestinationFolder(folder);
  if (FrmMain && FrmMain->Visible()) FrmMain->RefreshList();
}

}  // namespace callwright
