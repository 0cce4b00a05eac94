#pragma once
// Pictures embedded as PNG resources (RCDATA), decoded with libpng.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/handles.h"

namespace callwright {

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bgra;  // top-down rows, 4 bytes a pixel, straight (not premultiplied) alpha
};

// Decodes a PNG held in memory; throws AppError on malformed data.
Picture DecodePng(const std::uint8_t* data, std::size_t size);
// Decodes the RCDATA resource `id` of the running module.
Picture LoadPngResource(int id);

// Artwork comes at 100, 125, 150 and 200 %: the 100 % picture is resource `id`, the others
// `id` + kScaledPictureStep times 1, 2, 3 (those that exist).
inline constexpr int kScaledPictureStep = 1000;
inline constexpr int kPictureScales[] = {100, 125, 150, 200};
// The picture `id` (designed at 96 dpi) for `dpi`: the scale drawn for it, else the next larger
// one scaled down; only above the largest scale one is scaled up. The size is the designed size
// scaled, rounded as window geometry is.
// A keyed picture (see MakeKeyColourTransparent) is keyed before it is resampled.
Picture LoadPngResourceForDpi(int id, int dpi, bool keyed = false);
// The resource that LoadPngResourceForDpi decodes for the picture `id` at `dpi`.
int PngResourceForDpi(int id, int dpi);
// The percentage whose artwork serves `dpi`, among those `available` (ascending).
int PictureScaleFor(int dpi, const int* available, int count);
// The picture resampled to width x height with a tent filter over premultiplied colours (as wide as
// a source pixel when enlarging, as wide as a target pixel when reducing), so that edges neither
// alias nor bleed colour from transparent pixels.
Picture ResizePicture(const Picture& picture, int width, int height);
// A 24-bit bottom-up DIB section of the picture (alpha dropped), e.g. for images and the water effect.
BitmapHandle MakeBitmap24(const Picture& picture);
// Bytes from one row of a 24-bit DIB to the next: three a pixel, padded to a multiple of 4.
std::size_t Bitmap24RowStep(int width);
// A 32-bit bottom-up DIB section with premultiplied alpha, for AlphaBlend and image lists.
BitmapHandle MakeBitmap32(const Picture& picture);
// Makes every pixel of the bottom-left pixel's colour fully transparent (the button glyphs' key
// colour), so that a keyed glyph can be drawn with alpha like the other pictures.
void MakeKeyColourTransparent(Picture& picture);

}  // namespace callwright
