#include "ui/toolkit/picture.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <tuple>

#include "base/app_error.h"
#include "base/decimal.h"
#include "base/dib_win.h"

namespace callwright {
namespace {

// Pictures are designed at 96 dpi, as the windows.
constexpr int kDesignDpiForPictures = 96;
// Larger pictures are taken as damaged data rather than attempted.
constexpr png_uint_32 kMaxSide = 16384;
// Deflate cannot pack more than about 1032 bytes into one; a picture that claims more than that
// over its data cannot be real, and is refused before its pixels are allocated.
constexpr std::uint64_t kMaxDeflateRatio = 1100;

struct Source {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t offset;
  char message[160];
};

void SetMessage(Source& source, const char* text) {
  std::strncpy(source.message, text, sizeof source.message - 1);
  source.message[sizeof source.message - 1] = '\0';
}

void ReadFromSource(png_structp png, png_bytep out, png_size_t length) {
  auto* source = static_cast<Source*>(png_get_io_ptr(png));
  if (length > source->size - source->offset) png_error(png, "unexpected end of data");
  std::memcpy(out, source->data + source->offset, length);
  source->offset += length;
}

[[noreturn]] void OnError(png_structp png, png_const_charp message) {
  SetMessage(*static_cast<Source*>(png_get_error_ptr(png)), message);
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

bool Allocate(Picture& picture, std::vector<png_bytep>& rows, png_uint_32 width,
              png_uint_32 height) noexcept {
  try {
    const std::size_t stride = std::size_t{width} * 4;
    picture.bgra.assign(stride * height, 0);
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = picture.bgra.data() + stride * y;
    picture.width = static_cast<int>(width);
    picture.height = static_cast<int>(height);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// libpng reports errors by longjmp out of this frame, so nothing here may need a destructor:
// the pixels and row table belong to the caller.
bool ReadPicture(Source& source, Picture& picture, std::vector<png_bytep>& rows) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, OnError, OnWarning);
  if (png == nullptr) {
    SetMessage(source, "out of memory");
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    SetMessage(source, "out of memory");
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }

  png_set_read_fn(png, &source, ReadFromSource);
  png_set_user_limits(png, kMaxSide, kMaxSide);
  png_read_info(png, info);

  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int depth = 0;
  int colour = 0;
  png_get_IHDR(png, info, &width, &height, &depth, &colour, nullptr, nullptr, nullptr);
  const std::uint64_t raw_size = std::uint64_t{height} * (png_get_rowbytes(png, info) + 1);
  if (raw_size / kMaxDeflateRatio > source.size) png_error(png, "picture data too short for its size");

  // Every format becomes 8-bit blue, green, red, alpha.
  if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colour == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  if (depth == 16) png_set_scale_16(png);
  if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_bgr(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != std::size_t{width} * 4) png_error(png, "unsupported pixel format");

  if (!Allocate(picture, rows, width, height)) png_error(png, "picture too large for memory");
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

void CheckPicture(const Picture& picture) {
  if (picture.width <= 0 || picture.height <= 0 || picture.width > static_cast<int>(kMaxSide) ||
      picture.height > static_cast<int>(kMaxSide) ||
      picture.bgra.size() != std::size_t(picture.width) * std::size_t(picture.height) * 4) {
    throw AppError(L"Invalid picture");
  }
}

// A DIB section of the picture's size, rows bottom-up as GDI prefers.
BitmapHandle CreateSection(const Picture& picture, WORD bits_per_pixel, std::uint8_t*& bits) {
  void* memory = nullptr;
  BitmapHandle bitmap = CreateDibSection(picture.width, picture.height, bits_per_pixel, &memory);
  if (!bitmap || memory == nullptr) throw AppError(L"Unable to create a bitmap");
  bits = static_cast<std::uint8_t*>(memory);
  return bitmap;
}

}  // namespace

Picture DecodePng(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size < 8 || png_sig_cmp(data, 0, 8) != 0) {
    throw AppError(L"The picture is not a PNG image");
  }
  Source source{data, size, 0, {}};
  Picture picture;
  std::vector<png_bytep> rows;
  if (!ReadPicture(source, picture, rows)) {
    std::wstring text = L"The picture cannot be decoded (";
    for (const char* c = source.message; *c != '\0'; ++c) text.push_back(static_cast<unsigned char>(*c));
    throw AppError(text + L")");
  }
  return picture;
}

Picture LoadPngResource(int id) {
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
  if (resource == nullptr) throw AppError(L"Picture " + DecimalText(id) + L" is missing");
  HGLOBAL loaded = ::LoadResource(module, resource);
  const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
  const DWORD size = ::SizeofResource(module, resource);
  if (bytes == nullptr || size == 0) throw AppError(L"Picture " + DecimalText(id) + L" cannot be loaded");
  return DecodePng(static_cast<const std::uint8_t*>(bytes), size);
}

namespace {

bool HasPngResource(int id) {
  return ::FindResourceW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), RT_RCDATA) != nullptr;
}

struct Tap {
  int index;
  float weight;
};

// The source samples of each target sample along one axis, weights summing to 1.
std::vector<std::vector<Tap>> Taps(int from, int to) {
  std::vector<std::vector<Tap>> taps(static_cast<std::size_t>(to));
  const double ratio = static_cast<double>(from) / to;
  const double radius = std::max(1.0, ratio);
  for (int t = 0; t < to; ++t) {
    const double centre = (t + 0.5) * ratio - 0.5;
    const int first = static_cast<int>(std::floor(centre - radius)) + 1;
    const int last = static_cast<int>(std::ceil(centre + radius)) - 1;
    double total = 0;
    std::vector<Tap>& list = taps[static_cast<std::size_t>(t)];
    for (int s = first; s <= last; ++s) {
      const double weight = 1.0 - std::abs(s - centre) / radius;
      if (weight <= 0) continue;
      list.push_back({std::clamp(s, 0, from - 1), static_cast<float>(weight)});
      total += weight;
    }
    if (list.empty()) list.push_back({std::clamp(static_cast<int>(std::lround(centre)), 0, from - 1), 1.0f});
    else for (Tap& tap : list) tap.weight = static_cast<float>(tap.weight / total);
  }
  return taps;
}

}  // namespace

int PictureScaleFor(int dpi, const int* available, int count) {
  if (count <= 0) return 100;
  // Exact or the next larger; above the largest, the largest.
  for (int i = 0; i < count; ++i) {
    if (available[i] * kDesignDpiForPictures >= dpi * 100) return available[i];
  }
  return available[count - 1];
}

Picture ResizePicture(const Picture& picture, int width, int height) {
  CheckPicture(picture);
  if (width <= 0 || height <= 0) throw AppError(L"Invalid picture size");
  if (width == picture.width && height == picture.height) return picture;
  // Premultiplied, so that a transparent pixel's colour weighs nothing.
  const std::size_t source_pixels = std::size_t(picture.width) * picture.height;
  std::vector<float> premultiplied(source_pixels * 4);
  for (std::size_t i = 0; i < source_pixels; ++i) {
    const float alpha = picture.bgra[i * 4 + 3] / 255.0f;
    for (int c = 0; c < 3; ++c) premultiplied[i * 4 + c] = picture.bgra[i * 4 + c] * alpha;
    premultiplied[i * 4 + 3] = picture.bgra[i * 4 + 3];
  }
  const auto across = Taps(picture.width, width);
  const auto down = Taps(picture.height, height);
  std::vector<float> rows(std::size_t(width) * picture.height * 4, 0.0f);
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < width; ++x) {
      float* out = &rows[(std::size_t(y) * width + x) * 4];
      for (const Tap& tap : across[static_cast<std::size_t>(x)]) {
        const float* in = &premultiplied[(std::size_t(y) * picture.width + tap.index) * 4];
        for (int c = 0; c < 4; ++c) out[c] += in[c] * tap.weight;
      }
    }
  }
  Picture result;
  result.width = width;
  result.height = height;
  result.bgra.assign(std::size_t(width) * height * 4, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      float sum[4] = {0, 0, 0, 0};
      for (const Tap& tap : down[static_cast<std::size_t>(y)]) {
        const float* in = &rows[(std::size_t(tap.index) * width + x) * 4];
        for (int c = 0; c < 4; ++c) sum[c] += in[c] * tap.weight;
      }
      std::uint8_t* out = &result.bgra[(std::size_t(y) * width + x) * 4];
      const float alpha = std::clamp(sum[3], 0.0f, 255.0f);
      out[3] = static_cast<std::uint8_t>(std::lround(alpha));
      for (int c = 0; c < 3; ++c) {
        const float straight = alpha > 0 ? sum[c] / (alpha / 255.0f) : 0.0f;
        out[c] = static_cast<std::uint8_t>(std::lround(std::clamp(straight, 0.0f, 255.0f)));
      }
    }
  }
  return result;
}

namespace {

int ScaleIndexForDpi(int id, int dpi) {
  int available[std::size(kPictureScales)] = {};
  int count = 0;
  for (std::size_t i = 0; i < std::size(kPictureScales); ++i) {
    if (i == 0 || HasPngResource(id + static_cast<int>(i) * kScaledPictureStep)) available[count++] = kPictureScales[i];
  }
  const int scale = PictureScaleFor(dpi, available, count);
  return static_cast<int>(std::find(std::begin(kPictureScales), std::end(kPictureScales), scale) -
                          std::begin(kPictureScales));
}

Picture DecodePngResourceForDpi(int id, int dpi, bool keyed) {
  const int index = ScaleIndexForDpi(id, dpi);
  const int scale = kPictureScales[index];
  Picture picture = LoadPngResource(id + index * kScaledPictureStep);
  if (keyed) MakeKeyColourTransparent(picture);
  // The designed size: the drawn size at its scale, back at 100 %; then scaled as geometry is.
  const int design_width = ::MulDiv(picture.width, 100, scale);
  const int design_height = ::MulDiv(picture.height, 100, scale);
  const int width = std::max(1, ::MulDiv(design_width, dpi, kDesignDpiForPictures));
  const int height = std::max(1, ::MulDiv(design_height, dpi, kDesignDpiForPictures));
  return ResizePicture(picture, width, height);
}

}  // namespace

int PngResourceForDpi(int id, int dpi) {
  return id + ScaleIndexForDpi(id, dpi) * kScaledPictureStep;
}

Picture LoadPngResourceForDpi(int id, int dpi, bool keyed) {
  // The windows ask for the same artwork many times at start (shared strips, button glyphs of
  // every form): each picture is decoded and resampled once, the others get a copy.
  using Key = std::tuple<int, int, bool>;
  static std::mutex guard;
  static std::map<Key, Picture> decoded;
  const Key key{id, dpi, keyed};
  {
    const std::lock_guard lock(guard);
    if (const auto found = decoded.find(key); found != decoded.end()) return found->second;
  }
  Picture picture = DecodePngResourceForDpi(id, dpi, keyed);
  const std::lock_guard lock(guard);
  return decoded.try_emplace(key, std::move(picture)).first->second;
}

std::size_t Bitmap24RowStep(int width) {
  return (std::size_t(width) * 3 + 3) & ~std::size_t{3};
}

BitmapHandle MakeBitmap24(const Picture& picture) {
  CheckPicture(picture);
  std::uint8_t* bits = nullptr;
  BitmapHandle bitmap = CreateSection(picture, 24, bits);
  const std::size_t step = Bitmap24RowStep(picture.width);
  for (int y = 0; y < picture.height; ++y) {
    const std::uint8_t* from = picture.bgra.data() + std::size_t(y) * picture.width * 4;
    std::uint8_t* to = bits + std::size_t(picture.height - 1 - y) * step;
    for (int x = 0; x < picture.width; ++x, from += 4, to += 3) {
      to[0] = from[0];
      to[1] = from[1];
      to[2] = from[2];
    }
    std::memset(to, 0, step - std::size_t(picture.width) * 3);
  }
  return bitmap;
}

BitmapHandle MakeBitmap32(const Picture& picture) {
  CheckPicture(picture);
  std::uint8_t* bits = nullptr;
  BitmapHandle bitmap = CreateSection(picture, 32, bits);
  const std::size_t step = std::size_t(picture.width) * 4;
  for (int y = 0; y < picture.height; ++y) {
    const std::uint8_t* from = picture.bgra.data() + std::size_t(y) * step;
    std::uint8_t* to = bits + std::size_t(picture.height - 1 - y) * step;
    for (int x = 0; x < picture.width; ++x, from += 4, to += 4) {
      const unsigned alpha = from[3];
      for (int c = 0; c < 3; ++c) to[c] = static_cast<std::uint8_t>((from[c] * alpha + 127) / 255);
      to[3] = static_cast<std::uint8_t>(alpha);
    }
  }
  return bitmap;
}

void MakeKeyColourTransparent(Picture& picture) {
  CheckPicture(picture);
  const std::size_t key = std::size_t(picture.height - 1) * picture.width * 4;
  const std::uint8_t b = picture.bgra[key], g = picture.bgra[key + 1], r = picture.bgra[key + 2];
  for (std::size_t i = 0; i < picture.bgra.size(); i += 4) {
    if (picture.bgra[i] == b && picture.bgra[i + 1] == g && picture.bgra[i + 2] == r) picture.bgra[i + 3] = 0;
  }
}

}  // namespace callwright
