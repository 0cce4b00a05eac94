#include "ui/toolkit/timer.h"

#include "ui/toolkit/application.h"

namespace callwright {

WindowTimer::WindowTimer(HWND owner, UINT interval_ms, bool enabled, std::function<void()> on_timer)
    : owner_(owner), interval_(interval_ms), on_timer_(std::move(on_timer)) {
  SetEnabled(enabled);
}

WindowTimer::~WindowTimer() { SetEnabled(false); }

void WindowTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  // The object's address is the timer id, so the callback finds its timer without a table.
  if (enabled) {
    ::SetTimer(owner_, reinterpret_cast<UINT_PTR>(this), interval_, &WindowTimer::TimerProc);
  } else {
    ::KillTimer(owner_, reinterpret_cast<UINT_PTR>(this));
  }
}

void CALLBACK WindowTimer::TimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  auto* timer = reinterpret_cast<WindowTimer*>(id);
  if (timer->enabled_ && timer->on_timer_) Application::Instance().Guard([&] { timer->on_timer_(); });
}

}  // namespace callwright
