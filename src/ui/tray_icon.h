#pragma once
// Callwright in the notification area: an icon and tooltip that say whether the client is linked
// and which calls are being recorded, a click that shows the main window as a second start does,
// and a menu with the main window's commands.
#include <windows.h>

#include <string>
#include <string_view>

#include "recording/call_state.h"
#include "recording/client_link_win.h"
#include "base/handles.h"
#include "ui/toolkit/notify_icon.h"

namespace callwright {

class TFrmMain;

class TrayIcon final : public ClientLinkObserver {
 public:
  static constexpr UINT kIconId = 1;
  // The menu's commands.
  enum Command : UINT { kShow = 1, kOpenFolder, kSettings, kAbout, kClose };

  // Adds the icon and follows the main window's link to the client until destroyed.
  explicit TrayIcon(TFrmMain& main);
  ~TrayIcon();
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  const CallState& State() const noexcept { return state_; }
  const NotifyIcon& Icon() const noexcept { return icon_; }
  // The picture of the state shown now.
  HICON Picture(LinkDisplay display) const noexcept;

  // The context menu at this point of the screen; runs the command chosen.
  void ShowMenu(POINT at);
  void RunCommand(UINT command);

  void LinkChanged(HWND client) override;
  void NotificationRead(std::string_view text, const CallDecision& decision) override;
  void NotificationHandled() override;
  void Tell(const std::wstring& text) override;
  void SpaceWarningChanged(const std::wstring& warning) override;

 private:
  void Update();

  TFrmMain& main_;
  CallState state_;
  // Each loaded when first shown: a start shows only one of them.
  mutable IconHandle waiting_;
  mutable IconHandle linked_;
  mutable IconHandle recording_;
  NotifyIcon icon_;
  HICON shown_picture_ = nullptr;
  std::wstring shown_tip_;
};

}  // namespace callwright
