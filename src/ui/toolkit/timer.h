#pragma once
// A window timer whose ticks call a handler on the GUI thread. Enabling a running timer changes
// nothing: its rhythm is not restarted.
#include <windows.h>

#include <functional>

namespace callwright {

class WindowTimer {
 public:
  WindowTimer(HWND owner, UINT interval_ms, bool enabled, std::function<void()> on_timer);
  ~WindowTimer();
  WindowTimer(const WindowTimer&) = delete;
  WindowTimer& operator=(const WindowTimer&) = delete;

  void SetEnabled(bool enabled);
  bool Enabled() const noexcept { return enabled_; }
  UINT Interval() const noexcept { return interval_; }

 private:
  static void CALLBACK TimerProc(HWND hwnd, UINT msg, UINT_PTR id, DWORD time);
  HWND owner_;
  UINT interval_;
  bool enabled_ = false;
  std::function<void()> on_timer_;
};

}  // namespace callwright
