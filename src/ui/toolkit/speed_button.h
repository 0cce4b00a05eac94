#pragma once
// A flat push button with a 16 x 16 glyph: no frame until the mouse is over it, a sunken frame
// while pressed, a greyed glyph and caption when disabled, a focus rectangle while it has the
// keyboard focus and keyboard cues are on. The caption's access key is underlined as the system
// does it (once Alt is pressed) and clicks the button through the dialog manager. The glyph's bottom-left pixel colour is
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

  // A keyed glyph drawn at its own size.
  void SetGlyph(const Picture& glyph);
  // The keyed glyph of a picture resource, designed at 96 dpi, at the button's DPI (again when the
  // DPI changes). Decoded when first drawn or asked for.
  void SetGlyph(int picture_id);
  SIZE GlyphPixelSize() const {
    LoadPendingGlyph();
    return glyph_ ? glyph_size_ : SIZE{0, 0};
  }
  void DpiChanged() override;
  // Same as a click by the user (also BM_CLICK sent from outside).
  void Click() { ::SendMessageW(Handle(), BM_CLICK, 0, 0); }

  std::function<void()> OnClick;

  bool HandleReflectedMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) override;
  bool ShowsAccessKeys() const override { return true; }
  AccessibleRole DefaultAccessibleRole() const override { return AccessibleRole::PushButton; }

 private:
  void Draw(const DRAWITEMSTRUCT& item);
  // `glyph` has transparency already.
  void TakeGlyph(const Picture& glyph);
  void MakeGlyphBitmaps(const Picture& glyph) const;
  void LoadPendingGlyph() const;

  // Made from glyph_id_ on first need.
  mutable BitmapHandle glyph_;           // premultiplied alpha
  mutable BitmapHandle glyph_disabled_;  // the same, grey and light
  mutable SIZE glyph_size_{0, 0};
  mutable bool glyph_pending_ = false;
  int glyph_id_ = 0;  // the resource to load again at another DPI
  bool hot_ = false;
  HWND focus_before_ = nullptr;
};

}  // namespace callwright
