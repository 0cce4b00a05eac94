#include "base/dib_win.h"

namespace callwright {

BitmapHandle CreateDibSection(int width, int height, WORD bits_per_pixel, void** bits) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = bits_per_pixel;
  info.bmiHeader.biCompression = BI_RGB;
  // The pixel pointer is not optional for CreateDIBSection.
  void* memory = nullptr;
  BitmapHandle bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &memory, nullptr, 0));
  if (bits) *bits = bitmap ? memory : nullptr;
  return bitmap;
}

}  // namespace callwright
