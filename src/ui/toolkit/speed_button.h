#pragma once
// A flat push button with a 16 x 16 glyph: no frame until the mouse is over it, a sunken frame
// while pressed, a greyed glyph and caption when disabled. The glyph's bottom-left pixel colour is
// transparent. The glyph stands left of the caption, or centred when there is no caption.
#include <windows.h>

#include <functional>
#include <string_view>

#include "ui/toolkit/control.h"
#include "ui/toolkit/picture.h"

namespace callwright {

class SpeedButton : public Control {
 public:
  SpeedButton(HWND parent, int left, int top, int width, int height, std::wstring_view caption = L"");

  void SetGlyph(const Picture& glyph);
  // Same as a click by the user (also BM_CLICK sent from outside).
  void Click() { ::SendMessageW(Handle(), BM_CLICK, 0, 0); }

  std::function<void()> OnClick;

  bool HandleReflectedMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  void Draw(const DRAWITEMSTRUCT& item);

  BitmapHandle glyph_;           // premultiplied alpha
  BitmapHandle glyph_disabled_;  // the same, grey and light
  SIZE glyph_size_{0, 0};
  bool hot_ = false;
  HWND focus_before_ = nullptr;
};

}  // namespace callwright
