#include "ui/toolkit/notify_icon.h"

#include <windowsx.h>

#include <algorithm>

namespace callwright {

NotifyIconFunction NotifyIconCall = &::Shell_NotifyIconW;

namespace {
// Timer ids on the application window: this base plus the icon's id.
constexpr UINT_PTR kRetryTimerBase = 0x4E490000;
}  // namespace

NotifyIcon::NotifyIcon(UINT id) : id_(id), taskbar_created_(::RegisterWindowMessageW(L"TaskbarCreated")) {
  Application& app = Application::Instance();
  hook_id_ = app.AddMessageHook([this](callwright::HookMessage& message) { return HookMessage(message); });
  end_handler_id_ = app.AddEndHandler([this] { Remove(); });
}

NotifyIcon::~NotifyIcon() {
  Application& app = Application::Instance();
  Remove();
  app.RemoveMessageHook(hook_id_);
  app.RemoveEndHandler(end_handler_id_);
}

UINT_PTR NotifyIcon::RetryTimerId() const noexcept { return kRetryTimerBase + id_; }

NOTIFYICONDATAW NotifyIcon::Data(UINT flags) const {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof(data);
  data.hWnd = Application::Instance().Handle();
  data.uID = id_;
  data.uFlags = flags;
  data.uCallbackMessage = kNotifyIconMessage;
  data.hIcon = icon_;
  const std::size_t length = std::min(tip_.size(), std::size(data.szTip) - 1);
  std::copy_n(tip_.begin(), length, data.szTip);
  return data;
}

void NotifyIcon::Add() {
  // Version 4 shows no tooltip of its own unless NIF_SHOWTIP asks for the standard one.
  NOTIFYICONDATAW data = Data(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP);
  tried_ = true;
  // A taskbar that announces itself may still hold the icon (it also does so when the screen's
  // scale changes), as may a shell whose add timed out: then the icon is changed in place, never
  // left without an owner that knows it.
  shown_ = NotifyIconCall(NIM_ADD, &data) != FALSE || NotifyIconCall(NIM_MODIFY, &data) != FALSE;
  if (!shown_) {
    ScheduleRetry();
    return;
  }
  StopRetrying();
  data.uVersion = NOTIFYICON_VERSION_4;
  NotifyIconCall(NIM_SETVERSION, &data);
}

void NotifyIcon::ScheduleRetry() {
  // A try that is due already keeps its time; the next one waits twice as long.
  if (retry_delay_ms_ != 0) return;
  retry_delay_ms_ = next_retry_delay_ms_;
  next_retry_delay_ms_ = std::min(next_retry_delay_ms_ * 2, kLongestRetryDelayMs);
  // Without a timer the next change of state is the next try.
  if (::SetTimer(Application::Instance().Handle(), RetryTimerId(), retry_delay_ms_, nullptr) == 0) {
    retry_delay_ms_ = 0;
  }
}

void NotifyIcon::StopRetrying() {
  if (retry_delay_ms_ != 0) ::KillTimer(Application::Instance().Handle(), RetryTimerId());
  retry_delay_ms_ = 0;
  next_retry_delay_ms_ = kFirstRetryDelayMs;
}

void NotifyIcon::Set(HICON icon, const std::wstring& tip) {
  icon_ = icon;
  tip_ = tip;
  wanted_ = true;
  if (shown_) {
    NOTIFYICONDATAW data = Data(NIF_ICON | NIF_TIP | NIF_SHOWTIP);
    if (NotifyIconCall(NIM_MODIFY, &data)) return;
    shown_ = false;  // the shell lost it: add it anew
  }
  Add();
}

bool NotifyIcon::ShowNotification(const std::wstring& title, const std::wstring& text) {
  if (!shown_) return false;
  NOTIFYICONDATAW data = Data(NIF_INFO);
  std::copy_n(title.begin(), std::min(title.size(), std::size(data.szInfoTitle) - 1), data.szInfoTitle);
  std::copy_n(text.begin(), std::min(text.size(), std::size(data.szInfo) - 1), data.szInfo);
  data.dwInfoFlags = NIIF_WARNING;
  return NotifyIconCall(NIM_MODIFY, &data) != FALSE;
}

void NotifyIcon::Remove() {
  wanted_ = false;
  StopRetrying();
  if (!shown_ && !tried_) return;
  shown_ = false;
  tried_ = false;
  NOTIFYICONDATAW data = Data(0);
  NotifyIconCall(NIM_DELETE, &data);
}

bool NotifyIcon::HookMessage(callwright::HookMessage& message) {
  if (message.msg == kNotifyIconMessage && HIWORD(message.lparam) == id_) {
    switch (LOWORD(message.lparam)) {
      case NIN_SELECT:
      case NIN_KEYSELECT:
        if (OnSelect) OnSelect();
        break;
      case WM_CONTEXTMENU:
        if (OnContextMenu) OnContextMenu({GET_X_LPARAM(message.wparam), GET_Y_LPARAM(message.wparam)});
        break;
      default:
        break;
    }
    return true;
  }
  if (message.msg == WM_TIMER && message.wparam == RetryTimerId()) {
    // One try per tick; a failure schedules the next one, further off.
    ::KillTimer(Application::Instance().Handle(), RetryTimerId());
    retry_delay_ms_ = 0;
    if (wanted_ && !shown_) Add();
    return true;
  }
  if (taskbar_created_ != 0 && message.msg == taskbar_created_) {
    // A new taskbar knows none of the icons of the old one. Others may wait for it too.
    if (wanted_) {
      shown_ = false;
      Add();
    }
    return false;
  }
  // The session ends and with it the process, without any further message.
  if (message.msg == WM_ENDSESSION && message.wparam != FALSE) Remove();
  return false;
}

}  // namespace callwright
