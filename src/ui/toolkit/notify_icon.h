#pragma once
// An icon in the taskbar's notification area, on the application window: added, changed and
// removed through Shell_NotifyIconW (NOTIFYICON_VERSION_4, identified by its uID, no GUID). It comes
// back when the taskbar is recreated and goes before the process ends, by EndProcess or with the
// session. A shell that refuses it (as it does during logon, when its own wait times out) leaves the
// program as it is without one, and the add is tried again on a timer: after 1, 2, 4 ... seconds, at
// most a minute apart, until the shell takes it.
#include <windows.h>
// After windows.h.
#include <shellapi.h>

#include <functional>
#include <string>

#include "base/private_messages.h"
#include "ui/toolkit/application.h"

namespace callwright {

// Shell_NotifyIconW; replaceable so that tests can watch the icon.
using NotifyIconFunction = BOOL(WINAPI*)(DWORD message, PNOTIFYICONDATAW data);
extern NotifyIconFunction NotifyIconCall;

class NotifyIcon {
 public:
  explicit NotifyIcon(UINT id);
  ~NotifyIcon();  // removes the icon
  NotifyIcon(const NotifyIcon&) = delete;
  NotifyIcon& operator=(const NotifyIcon&) = delete;

  // Shows this picture and tooltip: added when not shown yet (so also tried again after a failure),
  // else changed. The caller keeps the picture alive while it is shown; the tooltip is cut to
  // the shell's 127 characters.
  void Set(HICON icon, const std::wstring& tip);
  // Also deletes an icon whose add was reported failed: an add that timed out may have been applied.
  void Remove();
  // A notification from the icon (a balloon, or a toast on newer systems) with a warning sign;
  // the text is cut to the shell's 255 characters. False when the shell did not take it.
  bool ShowNotification(const std::wstring& title, const std::wstring& text);
  bool Shown() const noexcept { return shown_; }
  UINT Id() const noexcept { return id_; }

  // The wait before the next try of a failed add, 0 when none is due; and the id of the timer on the
  // application window that makes it (WM_TIMER without a procedure).
  UINT RetryDelay() const noexcept { return retry_delay_ms_; }
  UINT_PTR RetryTimerId() const noexcept;
  static constexpr UINT kFirstRetryDelayMs = 1000;
  static constexpr UINT kLongestRetryDelayMs = 60000;

  // A left click or the keyboard's selection (NIN_SELECT, NIN_KEYSELECT).
  std::function<void()> OnSelect;
  // The context menu is asked for (WM_CONTEXTMENU), at this point of the screen.
  std::function<void(POINT)> OnContextMenu;

 private:
  bool HookMessage(callwright::HookMessage& message);
  NOTIFYICONDATAW Data(UINT flags) const;
  void Add();
  void ScheduleRetry();
  void StopRetrying();

  UINT id_;
  UINT taskbar_created_ = 0;
  HICON icon_ = nullptr;
  std::wstring tip_;
  bool wanted_ = false;  // Set was called and Remove was not
  bool shown_ = false;   // the shell took it
  bool tried_ = false;   // an add went to the shell since the last delete
  UINT retry_delay_ms_ = 0;
  UINT next_retry_delay_ms_ = kFirstRetryDelayMs;
  int hook_id_ = 0;
  int end_handler_id_ = 0;
};

}  // namespace callwright
