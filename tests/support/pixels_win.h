#pragma once
// Reading what bitmaps and windows show, and drawing surfaces for tests.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "base/gdi_scopes.h"
#include "base/handles.h"

namespace callwright::test {

// Tightly packed 24-bit pixels (blue, green, red), top row first.
struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bgr;
  bool operator==(const Pixels&) const = default;
  const std::uint8_t* At(int x, int y) const { return &bgr[(static_cast<std::size_t>(y) * width + x) * 3]; }
  COLORREF Colour(int x, int y) const {
    const std::uint8_t* px = At(x, y);
    return RGB(px[2], px[1], px[0]);
  }
};

// A bitmap's pixels; empty when it cannot be read.
Pixels ReadBitmap(HBITMAP bitmap);
// What a window's client area shows on screen, copied from its own device context.
Pixels ReadWindow(HWND window);
// The colour of one pixel of a window's client area as shown on screen.
COLORREF ScreenPixel(HWND window, int x, int y);

// A DIB section of this format, bottom-up (top-down for a height below zero); `bits` receives its
// pixels.
BitmapHandle MakeDib(int width, int height, int bits_per_pixel, void** bits);

// A 32-bit top-down DIB selected into a memory device context, for a window to paint into.
class Canvas {
 public:
  Canvas(int width, int height);
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC Dc() const noexcept { return dc_.Get(); }
  COLORREF At(int x, int y) const;

 private:
  int width_, height_;
  std::uint32_t* bits_ = nullptr;
  BitmapHandle bitmap_;
  DcHandle dc_;
  Selection selected_;
};

}  // namespace callwright::test
