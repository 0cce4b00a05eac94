#include "support/window_answerer_win.h"

namespace callwright::test {

WindowAnswerer::WindowAnswerer(std::wstring class_name, std::wstring caption, int button,
                               std::function<void(HWND)> inspect)
    : class_name_(std::move(class_name)),
      caption_(std::move(caption)),
      button_(button),
      inspect_(std::move(inspect)),
      tick_(20, [this] { Look(); }) {}

void WindowAnswerer::Look() {
  HWND window = ::FindWindowW(class_name_.c_str(), caption_.c_str());
  if (!window || !::IsWindowVisible(window)) {
    last_ = nullptr;
    return;
  }
  if (window == last_) return;
  last_ = window;
  if (inspect_) inspect_(window);
  last_text_ = MessageBoxText(window);
  ++answered_;
  if (button_ != 0) {
    PressButton(window, button_);
  } else {
    ::PostMessageW(window, WM_CLOSE, 0, 0);
  }
}

}  // namespace callwright::test
