#include "support/pixels_win.h"

#include <cstdlib>

#include "base/dib_win.h"

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
  const int read = ::GetDIBits(ClientDc(nullptr).Get(), bitmap, 0, pixels.height, rows.data(), &request, DIB_RGB_COLORS);
  if (read != pixels.height) return {};
  for (int y = 0; y < pixels.height; ++y) {
    pixels.bgr.insert(pixels.bgr.end(), rows.begin() + y * stride, rows.begin() + y * stride + pixels.width * 3);
  }
  return pixels;
}

Pixels ReadWindow(HWND window) {
  RECT client{};
  ::GetClientRect(window, &client);
  const BitmapHandle bitmap = [&] {
    const ClientDc dc(window);
    const DcHandle memory(::CreateCompatibleDC(dc.Get()));
    BitmapHandle copy(::CreateCompatibleBitmap(dc.Get(), client.right, client.bottom));
    const Selection selected(memory.Get(), copy.Get());
    ::BitBlt(memory.Get(), 0, 0, client.right, client.bottom, dc.Get(), 0, 0, SRCCOPY);
    return copy;
  }();
  return ReadBitmap(bitmap.Get());
}

COLORREF ScreenPixel(HWND window, int x, int y) {
  return ::GetPixel(ClientDc(window).Get(), x, y);
}

BitmapHandle MakeDib(int width, int height, int bits_per_pixel, void** bits) {
  return CreateDibSection(width, height, static_cast<WORD>(bits_per_pixel), bits);
}

Canvas::Canvas(int width, int height)
    : width_(width),
      height_(height),
      bitmap_(CreateDibSection(width, -height, 32, reinterpret_cast<void**>(&bits_))),
      dc_(::CreateCompatibleDC(nullptr)),
      selected_(dc_.Get(), bitmap_.Get()) {}

COLORREF Canvas::At(int x, int y) const {
  ::GdiFlush();
  const std::uint32_t px = bits_[y * width_ + x];
  return RGB((px >> 16) & 0xFF, (px >> 8) & 0xFF, px & 0xFF);
}

}  // namespace callwright::test
