#include "ui/toolkit/image.h"

#include <windowsx.h>

#include <algorithm>

#include "base/gdi_scopes.h"
#include "ui/toolkit/high_contrast.h"

namespace callwright {

namespace {
constexpr wchar_t kImageClass[] = L"TImage";

bool AnyTransparency(const Picture& picture) {
  for (std::size_t i = 3; i < picture.bgra.size(); i += 4) {
    if (picture.bgra[i] != 0xFF) return true;
  }
  return false;
}
}  // namespace

Image::Image(HWND parent, int left, int top, int width, int height) {
  CreateOwnControl(
      {.class_name = kImageClass, .parent = parent, .left = left, .top = top, .width = width, .height = height});
}

void Image::SetPicture(int picture_id) {
  bitmap_.Reset();
  size_ = {0, 0};
  has_alpha_ = false;
  picture_id_ = picture_id;
  pending_ = true;
  Repaint();
}

void Image::LoadPending() const {
  if (!pending_) return;
  pending_ = false;
  Take(LoadPngResourceForDpi(picture_id_, Dpi()));
}

void Image::Take(const Picture& picture) const {
  has_alpha_ = AnyTransparency(picture);
  bitmap_ = has_alpha_ ? MakeBitmap32(picture) : MakeBitmap24(picture);
  size_ = bitmap_ ? SIZE{picture.width, picture.height} : SIZE{0, 0};
}

void Image::DpiChanged() {
  Control::DpiChanged();
  if (picture_id_ != 0) SetPicture(picture_id_);
}

void Image::SetPicture(const Picture& picture) {
  picture_id_ = 0;
  pending_ = false;
  Take(picture);
  Repaint();
}

void Image::SetBitmap(BitmapHandle bitmap) {
  picture_id_ = 0;
  pending_ = false;
  bitmap_ = std::move(bitmap);
  has_alpha_ = false;
  BITMAP info{};
  size_ = bitmap_ && ::GetObjectW(bitmap_.Get(), sizeof(info), &info) ? SIZE{info.bmWidth, std::abs(info.bmHeight)}
                                                                      : SIZE{0, 0};
  Repaint();
}

void Image::ClearPicture() {
  picture_id_ = 0;
  pending_ = false;
  bitmap_.Reset();
  size_ = {0, 0};
  has_alpha_ = false;
  Repaint();
}

void Image::SetStretch(bool stretch) {
  stretch_ = stretch;
  Repaint();
}

void Image::PaintContent(HDC dc) const {
  LoadPending();
  RECT client{};
  ::GetClientRect(Handle(), &client);
  const int width = client.right;
  const int height = client.bottom;
  // A stretched picture is a background strip, which gives way to the system colours.
  const bool shown = bitmap_ && !(stretch_ && HighContrastOn());
  const bool opaque_cover = shown && !has_alpha_ && (stretch_ || (size_.cx >= width && size_.cy >= height));
  if (!opaque_cover) {
    BitmapHandle backdrop = RenderBackdrop();
    DcHandle source(::CreateCompatibleDC(dc));
    const Selection selected(source.Get(), backdrop.Get());
    ::BitBlt(dc, 0, 0, width, height, source.Get(), 0, 0, SRCCOPY);
  }
  if (!shown) return;
  DcHandle source(::CreateCompatibleDC(dc));
  const Selection selected(source.Get(), bitmap_.Get());
  const int draw_width = stretch_ ? width : size_.cx;
  const int draw_height = stretch_ ? height : size_.cy;
  if (has_alpha_) {
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ::AlphaBlend(dc, 0, 0, draw_width, draw_height, source.Get(), 0, 0, size_.cx, size_.cy, blend);
  } else if (stretch_) {
    ::SetStretchBltMode(dc, COLORONCOLOR);
    ::StretchBlt(dc, 0, 0, draw_width, draw_height, source.Get(), 0, 0, size_.cx, size_.cy, SRCCOPY);
  } else {
    ::BitBlt(dc, 0, 0, draw_width, draw_height, source.Get(), 0, 0, SRCCOPY);
  }
}

LRESULT Image::HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      const PaintScope paint(Handle());
      RECT client{};
      ::GetClientRect(Handle(), &client);
      // Drawn off screen first: an animation repaints many times a second.
      DcHandle buffer(::CreateCompatibleDC(paint.Dc()));
      BitmapHandle bitmap(
          ::CreateCompatibleBitmap(paint.Dc(), std::max<int>(client.right, 1), std::max<int>(client.bottom, 1)));
      const Selection selected(buffer.Get(), bitmap.Get());
      PaintContent(buffer.Get());
      ::BitBlt(paint.Dc(), 0, 0, client.right, client.bottom, buffer.Get(), 0, 0, SRCCOPY);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (OnMouseMove) OnMouseMove(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
      return 0;
    default:
      break;
  }
  LRESULT result = 0;
  if (HandleClickMessage(Handle(), msg, wparam, lparam, result)) return result;
  return DefaultHandling(msg, wparam, lparam);
}

}  // namespace callwright
