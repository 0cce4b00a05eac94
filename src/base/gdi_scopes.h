#pragma once
// Scopes for the GDI calls that come in pairs: what a scope takes or changes is given back when it
// ends, on every path out of the drawing code. Neither copyable nor movable: each lives on the
// stack of the code that draws.
#include <windows.h>

namespace callwright {

// BeginPaint and EndPaint, for WM_PAINT.
class PaintScope {
 public:
  explicit PaintScope(HWND hwnd) noexcept : hwnd_(hwnd), dc_(::BeginPaint(hwnd, &paint_)) {}
  ~PaintScope() { ::EndPaint(hwnd_, &paint_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;

  HDC Dc() const noexcept { return dc_; }
  // The part of the client area to repaint.
  const RECT& Area() const noexcept { return paint_.rcPaint; }

 private:
  HWND hwnd_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// GetDC and ReleaseDC: the device context of the window's client area.
class ClientDc {
 public:
  explicit ClientDc(HWND hwnd) noexcept : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
  ~ClientDc() {
    if (dc_) ::ReleaseDC(hwnd_, dc_);
  }
  ClientDc(const ClientDc&) = delete;
  ClientDc& operator=(const ClientDc&) = delete;

  HDC Get() const noexcept { return dc_; }
  explicit operator bool() const noexcept { return dc_ != nullptr; }

 private:
  HWND hwnd_;
  HDC dc_;
};

// SelectObject of a bitmap, brush, pen or font, and the object it replaced selected back at the
// end. False when the selection failed (e.g. a bitmap that does not suit the DC); then nothing is
// restored. Not for regions: SelectObject gives no previous object for those.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) noexcept : dc_(dc), old_(::SelectObject(dc, object)) {
    if (old_ == HGDI_ERROR) old_ = nullptr;
  }
  ~Selection() {
    if (old_) ::SelectObject(dc_, old_);
  }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;

  explicit operator bool() const noexcept { return old_ != nullptr; }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// SetViewportOrgEx, and the previous origin set back at the end.
class ViewportOrigin {
 public:
  ViewportOrigin(HDC dc, int x, int y) noexcept : dc_(dc), set_(::SetViewportOrgEx(dc, x, y, &previous_) != FALSE) {}
  ~ViewportOrigin() {
    if (set_) ::SetViewportOrgEx(dc_, previous_.x, previous_.y, nullptr);
  }
  ViewportOrigin(const ViewportOrigin&) = delete;
  ViewportOrigin& operator=(const ViewportOrigin&) = delete;

 private:
  HDC dc_;
  POINT previous_{};
  bool set_;
};

}  // namespace callwright
