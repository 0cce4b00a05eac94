#pragma once
// The click behaviour shared by the pictures and labels that act as links: an optional hand
// cursor, and a click raised when the left button goes up over the control it went down on.
#include <windows.h>

#include <functional>

namespace callwright {

class Clickable {
 public:
  void SetHandCursor(bool hand) noexcept { hand_cursor_ = hand; }
  std::function<void()> OnClick;

 protected:
  // True when the message was one of the cursor or button messages it handles.
  bool HandleClickMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result);

 private:
  bool hand_cursor_ = false;
  bool pressed_ = false;
};

}  // namespace callwright
