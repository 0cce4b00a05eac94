#pragma once
// A check box whose click event is raised on every change of its state, whether the user or the
// program changed it, and never when it is set to the state it already has. The state changes
// before the event runs.
#include <windows.h>

#include <functional>
#include <string_view>

#include "ui/toolkit/control.h"

namespace callwright {

class CheckBox : public Control {
 public:
  CheckBox(HWND parent, int left, int top, int width, int height, std::wstring_view caption);

  bool Checked() const noexcept { return checked_; }
  // Raises OnClick when the state changes; an error of the handler reaches the caller.
  void SetChecked(bool checked);

  std::function<void()> OnClick;

  bool HandleReflectedMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

 protected:
  bool ShowsAccessKeys() const override { return true; }
  AccessibleRole DefaultAccessibleRole() const override { return AccessibleRole::CheckButton; }

 private:
  bool checked_ = false;
  // What lies behind the box, as its background. The brush's bitmap lives as long as the brush:
  // the brush does not own it.
  BitmapHandle backdrop_picture_;
  BrushHandle backdrop_;
  SIZE backdrop_size_{0, 0};
  bool backdrop_contrast_ = false;  // drawn in high contrast
};

}  // namespace callwright
