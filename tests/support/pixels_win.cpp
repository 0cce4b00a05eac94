#include "support/pixels_win.h"

#include <cstdlib>

namespace callwright::test {

Pixels ReadBitmap(HBITMAP bitmap) {
  BITMAP info{};
  if (!::GetObjectW(bitmap, sizeof(info), &info)) return {};
  Pixels pixels{info.bmWidth, std::abs(info.bmHeight), {}};
  BITMAPINFO request{};
  request.bmiHeader.biSize = sizeof(request.bmiHeader);
  request.bmiHeader.biWidth = pixels.width;
  request.bmiHeader.biHeight = -pixels.height;
  request.bmiHeader.biPlanes = 1;
  request.bmiHeader.biBitCount = 24;
  request.bmiHeader.biCompression = BI_RGB;
  const std::size_t stride = (static_cast<std::size_t>(pixels.width) * 3 + 3) / 4 * 4;
  std::vector<std::uint8_t> rows(stride * pixels.height);
  ::GdiFlush();
  HDC screen = ::GetDC(nullptr);
  const int read = ::GetDIBits(screen, bitmap, 0, pixels.height, rows.data(), &request, DIB_RGB_COLORS);
  ::ReleaseDC(nullptr, screen);
  if (read != pixels.height) return {};
  for (int y = 0; y < pixels.height; ++y) {
    pixels.bgr.insert(pixels.bgr.end(), rows.begin() + y * stride, rows.begin() + y * stride + pixels.width * 3);
  }
  return pixels;
}

Pixels ReadWindow(HWND window) {
  RECT client{};
  ::GetClientRect(window, &client);
  HDC dc = ::GetDC(window);
  const DcHandle memory(::CreateCompatibleDC(dc));
  const BitmapHandle bitmap(::CreateCompatibleBitmap(dc, client.right, client.bottom));
  const HGDIOBJ old = ::SelectObject(memory.Get(), bitmap.Get());
  ::BitBlt(memory.Get(), 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
  ::SelectObject(memory.Get(), old);
  ::ReleaseDC(window, dc);
  return ReadBitmap(bitmap.Get());
}

COLORREF ScreenPixel(HWND window, int x, int y) {
  HDC dc = ::GetDC(window);
  const COLORREF colour = ::GetPixel(dc, x, y);
  ::ReleaseDC(window, dc);
  return colour;
}

BitmapHandle MakeDib(int width, int height, int bits_per_pixel, void** bits) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<WORD>(bits_per_pixel);
  info.bmiHeader.biCompression = BI_RGB;
  return BitmapHandle(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0));
}

Canvas::Canvas(int width, int height) : width_(width), height_(height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  bitmap_.Reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0));
  dc_.Reset(::CreateCompatibleDC(nullptr));
  old_ = ::SelectObject(dc_.Get(), bitmap_.Get());
}

Canvas::~Canvas() { ::SelectObject(dc_.Get(), old_); }

COLORREF Canvas::At(int x, int y) const {
  ::GdiFlush();
  const std::uint32_t px = bits_[y * width_ + x];
  return RGB((px >> 16) & 0xFF, (px >> 8) & 0xFF, px & 0xFF);
}

}  // namespace callwright::test
