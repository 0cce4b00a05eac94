#pragma once
// Answering the windows a program under test shows (message boxes, a modal notice) while the test
// waits, and finding a process's windows.
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

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

// A top-level window of the process with this caption, or null.
HWND FindProcessWindow(DWORD process_id, std::wstring_view caption, bool visible_only);
// The window with the keyboard focus in the thread that owns `window`.
HWND FocusOfThreadOf(HWND window);

}  // namespace callwright::test
