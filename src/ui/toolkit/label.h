#pragma once
// A line of text on what lies behind it, in a colour of choice, as wide as its text and at least as
// high as it. A label of another control may carry an access key, as a dialog's label does.
#include <windows.h>

#include <functional>
#include <optional>
#include <string_view>

#include "ui/toolkit/clickable.h"
#include "ui/toolkit/control.h"

namespace callwright {

class Label : public Control, public Clickable {
 public:
  Label(HWND parent, int left, int top, int height, std::wstring_view caption);
  // With `access_key`, a "&" in the caption marks its access key (underlined while keyboard cues
  // show): Alt and the letter move the focus to the control made right after the label.
  Label(HWND parent, int left, int top, int height, std::wstring_view caption, bool access_key);

  // Changes the text and the width to follow it.
  void SetCaption(std::wstring_view caption);
  void SetTextColour(COLORREF colour);
  // The text's width follows the new font.
  void DpiChanged() override;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) override;
  bool ShowsAccessKeys() const override { return access_key_; }

 private:
  void FitWidth();

  std::optional<COLORREF> colour_;  // the button text colour when none
  int design_height_;  // at 96 dpi; the text's own height when that is more
  bool access_key_ = false;
};

}  // namespace callwright
