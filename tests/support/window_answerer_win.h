#pragma once
// Answering the windows a program under test shows (message boxes, a modal notice) while the test
// waits.
#include <windows.h>

#include <functional>
#include <string>

#include "support/gui_win.h"

namespace callwright::test {

// Answers each window of this class and caption (of any process) as it shows up, from a tick on
// this thread, so also inside a modal loop that this thread runs and while it pumps: `inspect`
// (when given) looks at the window first, then `button` is pressed in it, or with button 0 the
// window is closed.
class WindowAnswerer {
 public:
  WindowAnswerer(std::wstring class_name, std::wstring caption, int button, std::function<void(HWND)> inspect = {});
  WindowAnswerer(const WindowAnswerer&) = delete;
  WindowAnswerer& operator=(const WindowAnswerer&) = delete;

  int Answered() const noexcept { return answered_; }
  // The message text of the last message box answered.
  const std::wstring& LastText() const noexcept { return last_text_; }

 private:
  void Look();

  std::wstring class_name_;
  std::wstring caption_;
  int button_;
  std::function<void(HWND)> inspect_;
  int answered_ = 0;
  std::wstring last_text_;
  HWND last_ = nullptr;  // answered and possibly still on screen
  RepeatingTick tick_;
};

// A WindowAnswerer for message boxes (dialog class #32770) with this caption.
class MessageBoxAnswerer : public WindowAnswerer {
 public:
  MessageBoxAnswerer(std::wstring caption, int button, std::function<void(HWND)> inspect = {})
      : WindowAnswerer(L"#32770", std::move(caption), button, std::move(inspect)) {}
};

}  // namespace callwright::test
