#include "ui/tray_icon.h"

#include <commctrl.h>

#include "assets/resource_ids.h"
#include "core/platform.h"
#include "ui/main_form.h"
#include "ui/toolkit/application.h"

namespace callwright {

namespace {

// The small size the shell asks for, at the screen's scale.
HICON LoadSmallIcon(int id) {
  HICON icon = nullptr;
  if (FAILED(::LoadIconMetric(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), LIM_SMALL, &icon))) return nullptr;
  return icon;
}

}  // namespace

TrayIcon::TrayIcon(TFrmMain& main)
    : main_(main),
      state_(SystemPlatform()),
      icon_(kIconId) {
  icon_.OnSelect = [this] { RunCommand(kShow); };
  icon_.OnContextMenu = [this](POINT at) { ShowMenu(at); };
  main_.SetObserver(this);
  Update();
}

TrayIcon::~TrayIcon() { main_.SetObserver(nullptr); }

HICON TrayIcon::Picture(LinkDisplay display) const noexcept {
  const auto loaded = [](IconHandle& icon, int id) {
    if (!icon) icon.Reset(LoadSmallIcon(id));
    return icon.Get();
  };
  switch (display) {
    case LinkDisplay::Linked:
      return loaded(linked_, IDI_TRAY_LINKED);
    case LinkDisplay::Recording:
      return loaded(recording_, IDI_TRAY_RECORDING);
    case LinkDisplay::Waiting:
    default:
      return loaded(waiting_, IDI_TRAY_WAITING);
  }
}

void TrayIcon::Update() {
  const HICON picture = Picture(state_.Display());
  const std::wstring tip = state_.Tooltip();
  // Unchanged: nothing to tell the shell, unless it has not taken the icon yet.
  if (icon_.Shown() && picture == shown_picture_ && tip == shown_tip_) return;
  shown_picture_ = picture;
  shown_tip_ = tip;
  icon_.Set(picture, tip);
}

void TrayIcon::LinkChanged(HWND client) {
  state_.LinkChanged(reinterpret_cast<std::uintptr_t>(client));
  Update();
}

void TrayIcon::NotificationRead(std::string_view, const CallDecision& decision) {
  // The state only: the shell is told after the command has gone out.
  state_.Decided(decision);
}

void TrayIcon::NotificationHandled() { Update(); }

void TrayIcon::Tell(const std::wstring& text) {
  icon_.ShowNotification(L"Callwright", text);
}

void TrayIcon::SpaceWarningChanged(const std::wstring& warning) {
  state_.SetWarning(warning);
  Update();
}

void TrayIcon::ShowMenu(POINT at) {
  const MenuHandle menu(::CreatePopupMenu());
  if (!menu) return;
  ::AppendMenuW(menu.Get(), MF_STRING, kShow, L"&Show Callwright");
  ::AppendMenuW(menu.Get(), MF_STRING, kOpenFolder, L"&Open recordings folder");
  ::AppendMenuW(menu.Get(), MF_STRING, kSettings, L"Se&ttings\u2026");
  ::AppendMenuW(menu.Get(), MF_STRING, kAbout, L"&About\u2026");
  ::AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(menu.Get(), MF_STRING, kClose, L"&Close Callwright");
  ::SetMenuDefaultItem(menu.Get(), kShow, FALSE);
  // As TrackPopupMenu's documentation requires for a notification icon's menu: the owner must be
  // the foreground window, or the menu stays when the user clicks elsewhere; the posted message
  // afterwards lets the menu open again at the next request.
  const HWND owner = Application::Instance().Handle();
  ::SetForegroundWindow(owner);
  const UINT align = ::GetSystemMetrics(SM_MENUDROPALIGNMENT) ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
  const UINT command = static_cast<UINT>(
      ::TrackPopupMenuEx(menu.Get(), align | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, owner, nullptr));
  ::PostMessageW(owner, WM_NULL, 0, 0);
  RunCommand(command);
}

void TrayIcon::RunCommand(UINT command) {
  switch (command) {
    case kShow:
      // Exactly what a second start asks for.
      ::SendMessageW(main_.Handle(), ShowRequestMsg, 0, 0);
      break;
    case kOpenFolder:
      main_.btnfolClick();
      break;
    case kSettings:
      main_.btnsettingsClick();
      break;
    case kAbout:
      main_.btnaboutClick();
      break;
    case kClose:
      main_.btncloseClick();
      break;
    default:
      break;  // the menu was dismissed
  }
}

}  // namespace callwright
