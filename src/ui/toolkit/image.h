#pragma once
// A picture in a window of its own, beneath the windowed controls that share its parent (so it can
// serve as a background). The picture is drawn stretched over the control or unscaled from its
// top-left corner; pictures with transparency are blended over what lies behind the control.
#include <windows.h>

#include <functional>

#include "ui/toolkit/clickable.h"
#include "ui/toolkit/control.h"
#include "ui/toolkit/picture.h"

namespace callwright {

class Image : public Control, public Clickable {
 public:
  Image(HWND parent, int left, int top, int width, int height);

  // Drawn at the picture's own size.
  void SetPicture(const Picture& picture);
  // A picture resource designed at 96 dpi, at the image's DPI (again when the DPI changes). Decoded
  // when first drawn or asked for: a window made hidden needs none of it before it shows.
  void SetPicture(int picture_id);
  void DpiChanged() override;
  // A bitmap the caller keeps drawing into (e.g. one frame of an animation); call Repaint after each
  // change. Drawn as is, without transparency.
  void SetBitmap(BitmapHandle bitmap);
  void ClearPicture();
  HBITMAP Bitmap() const {
    LoadPending();
    return bitmap_.Get();
  }
  SIZE PictureSize() const {
    LoadPending();
    return size_;
  }

  void SetStretch(bool stretch);

  // Mouse position in client coordinates, at every move over the image.
  std::function<void(int x, int y)> OnMouseMove;
  // A left click: pressed and released over the image.

  // An image is a background: the controls above it show it behind them.
  bool PaintsBackdrop() const override { return true; }
  // Draws the image as it appears on screen into `dc`, origin at the image's top-left corner.
  void PaintContent(HDC dc) const override;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  void Take(const Picture& picture) const;
  void LoadPending() const;

  // Filled from picture_id_ on first need.
  mutable BitmapHandle bitmap_;
  mutable SIZE size_{0, 0};
  mutable bool has_alpha_ = false;  // bitmap_ holds premultiplied alpha
  mutable bool pending_ = false;
  bool stretch_ = false;
  int picture_id_ = 0;  // the resource to load again at another DPI
};

}  // namespace callwright
