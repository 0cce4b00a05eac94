// Decoding of the embedded pictures and of hand-made PNG data, and the bitmaps made from them.
#include <gtest/gtest.h>
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/app_error.h"
#include "resource_ids.h"
#include "ui/toolkit/picture.h"

namespace callwright {
namespace {

using Bytes = std::vector<std::uint8_t>;

// ------------------------------------------------------------------------ PNG assembly

void PutU32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void PutChunk(Bytes& out, const char* type, const Bytes& data) {
  PutU32(out, static_cast<std::uint32_t>(data.size()));
  Bytes body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  out.insert(out.end(), body.begin(), body.end());
  PutU32(out, static_cast<std::uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
}

Bytes Deflate(const Bytes& raw) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  Bytes out(size);
  EXPECT_EQ(compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9), Z_OK);
  out.resize(size);
  return out;
}

struct PngParts {
  std::uint32_t width = 1;
  std::uint32_t height = 1;
  std::uint8_t depth = 8;
  std::uint8_t colour = 2;
  std::uint8_t interlace = 0;
  std::vector<std::pair<const char*, Bytes>> extra;  // chunks between IHDR and IDAT
  Bytes scanlines;                                   // filter byte and packed samples per row
};

Bytes Encode(const PngParts& p) {
  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes ihdr;
  PutU32(ihdr, p.width);
  PutU32(ihdr, p.height);
  ihdr.insert(ihdr.end(), {p.depth, p.colour, 0, 0, p.interlace});
  PutChunk(out, "IHDR", ihdr);
  for (const auto& [type, data] : p.extra) PutChunk(out, type, data);
  PutChunk(out, "IDAT", Deflate(p.scanlines));
  PutChunk(out, "IEND", {});
  return out;
}

// A valid 4 x 4 RGB picture, the base of the damaged variants.
Bytes SmallRgb() {
  PngParts p;
  p.width = 4;
  p.height = 4;
  for (int y = 0; y < 4; ++y) {
    p.scanlines.push_back(0);
    for (int x = 0; x < 12; ++x) p.scanlines.push_back(static_cast<std::uint8_t>(y * 40 + x * 7));
  }
  return Encode(p);
}

// Rewrites a chunk's CRC after its data was changed on purpose.
void FixCrc(Bytes& png, std::size_t chunk_start) {
  const std::uint32_t length = (png[chunk_start] << 24) | (png[chunk_start + 1] << 16) |
                               (png[chunk_start + 2] << 8) | png[chunk_start + 3];
  const std::size_t crc_at = chunk_start + 8 + length;
  const auto crc = static_cast<std::uint32_t>(crc32(0, png.data() + chunk_start + 4, length + 4));
  for (int i = 0; i < 4; ++i) png[crc_at + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
}

constexpr std::size_t kIhdrAt = 8;       // the IHDR chunk follows the signature
constexpr std::size_t kIhdrDataAt = 16;  // its width, then its height
constexpr std::size_t kIdatAt = 33;      // in pictures without extra chunks

Bytes WithSize(Bytes png, std::uint32_t width, std::uint32_t height) {
  for (int i = 0; i < 4; ++i) {
    png[kIhdrDataAt + i] = static_cast<std::uint8_t>(width >> (24 - 8 * i));
    png[kIhdrDataAt + 4 + i] = static_cast<std::uint8_t>(height >> (24 - 8 * i));
  }
  FixCrc(png, kIhdrAt);
  return png;
}

LONG WINAPI ReportFault(EXCEPTION_POINTERS* fault) {
  std::fprintf(stderr, "fault 0x%08lx while decoding fenced bytes\n",
               static_cast<unsigned long>(fault->ExceptionRecord->ExceptionCode));
  std::fflush(stderr);
  return EXCEPTION_EXECUTE_HANDLER;
}

// Holds bytes so that they end exactly where an inaccessible page begins: a read past the end
// faults instead of passing unnoticed, and the bytes themselves are read-only.
class FencedBytes {
 public:
  explicit FencedBytes(const Bytes& bytes) : size_(bytes.size()) {
    SYSTEM_INFO system{};
    ::GetSystemInfo(&system);
    const std::size_t page = system.dwPageSize;
    const std::size_t data_pages = std::max<std::size_t>(1, (bytes.size() + page - 1) / page);
    base_ = static_cast<std::uint8_t*>(
        ::VirtualAlloc(nullptr, (data_pages + 1) * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (base_ == nullptr) throw std::bad_alloc();
    data_ = base_ + data_pages * page - bytes.size();
    if (!bytes.empty()) std::memcpy(data_, bytes.data(), bytes.size());
    DWORD old = 0;
    ::VirtualProtect(base_, data_pages * page, PAGE_READONLY, &old);
    ::VirtualProtect(base_ + data_pages * page, page, PAGE_NOACCESS, &old);
  }
  ~FencedBytes() { ::VirtualFree(base_, 0, MEM_RELEASE); }
  FencedBytes(const FencedBytes&) = delete;
  FencedBytes& operator=(const FencedBytes&) = delete;

  Picture Decode() const {
    // A read past the fence ends the program at once with a message, rather than waiting in
    // a crash dialog.
    const LPTOP_LEVEL_EXCEPTION_FILTER previous = ::SetUnhandledExceptionFilter(ReportFault);
    struct Restore {
      LPTOP_LEVEL_EXCEPTION_FILTER filter;
      ~Restore() { ::SetUnhandledExceptionFilter(filter); }
    } restore{previous};
    return DecodePng(data_, size_);
  }

 private:
  std::uint8_t* base_ = nullptr;
  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

Picture DecodeFenced(const Bytes& png) { return FencedBytes(png).Decode(); }

// ------------------------------------------------------------------ hand-made pictures

struct FormatCase {
  const char* name;
  PngParts parts;
  Bytes bgra;  // expected, top-down
};

std::vector<FormatCase> FormatCases() {
  std::vector<FormatCase> cases;
  {
    FormatCase c{"rgb 8-bit", {}, {}};
    c.parts.width = 2;
    c.parts.scanlines = {0, 10, 20, 30, 40, 50, 60};
    c.bgra = {30, 20, 10, 255, 60, 50, 40, 255};
    cases.push_back(c);
  }
  {
    FormatCase c{"rgba 8-bit, Sub filter", {}, {}};
    c.parts.width = 2;
    c.parts.colour = 6;
    c.parts.scanlines = {1, 10, 20, 30, 0, 5, 5, 5, 128};
    c.bgra = {30, 20, 10, 0, 35, 25, 15, 128};
    cases.push_back(c);
  }
  {
    FormatCase c{"grey 1-bit", {}, {}};
    c.parts.width = 3;
    c.parts.depth = 1;
    c.parts.colour = 0;
    c.parts.scanlines = {0, 0b10100000};
    c.bgra = {255, 255, 255, 255, 0, 0, 0, 255, 255, 255, 255, 255};
    cases.push_back(c);
  }
  {
    FormatCase c{"grey 8-bit with a transparent level", {}, {}};
    c.parts.width = 2;
    c.parts.colour = 0;
    c.parts.extra = {{"tRNS", {0, 7}}};
    c.parts.scanlines = {0, 7, 9};
    c.bgra = {7, 7, 7, 0, 9, 9, 9, 255};
    cases.push_back(c);
  }
  {
    FormatCase c{"grey and alpha 16-bit", {}, {}};
    c.parts.colour = 4;
    c.parts.depth = 16;
    c.parts.scanlines = {0, 0x12, 0x34, 0x80, 0x00};
    c.bgra = {0x12, 0x12, 0x12, 0x80};
    cases.push_back(c);
  }
  {
    FormatCase c{"rgb 16-bit", {}, {}};
    c.parts.depth = 16;
    c.parts.scanlines = {0, 0x12, 0x34, 0x56, 0x01, 0xAB, 0xCD};
    c.bgra = {0xAB, 0x56, 0x12, 255};
    cases.push_back(c);
  }
  {
    FormatCase c{"palette 2-bit with transparency", {}, {}};
    c.parts.width = 3;
    c.parts.depth = 2;
    c.parts.colour = 3;
    c.parts.extra = {{"PLTE", {255, 0, 0, 0, 255, 0, 0, 0, 255}}, {"tRNS", {255, 64}}};
    c.parts.scanlines = {0, 0b00011000};
    c.bgra = {0, 0, 255, 255, 0, 255, 0, 64, 255, 0, 0, 255};
    cases.push_back(c);
  }
  {
    // Adam7 over 2 x 2: pass 1 holds (0,0), pass 6 holds (1,0), pass 7 the second row.
    FormatCase c{"interlaced rgb", {}, {}};
    c.parts.width = 2;
    c.parts.height = 2;
    c.parts.interlace = 1;
    c.parts.scanlines = {0, 1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 10, 11, 12};
    c.bgra = {3, 2, 1, 255, 6, 5, 4, 255, 9, 8, 7, 255, 12, 11, 10, 255};
    cases.push_back(c);
  }
  return cases;
}

TEST(DecodePng, NormalisesEveryFormatToBgra) {
  for (const FormatCase& c : FormatCases()) {
    SCOPED_TRACE(c.name);
    const Picture picture = DecodeFenced(Encode(c.parts));
    EXPECT_EQ(picture.width, static_cast<int>(c.parts.width));
    EXPECT_EQ(picture.height, static_cast<int>(c.parts.height));
    EXPECT_EQ(picture.bgra, c.bgra);
  }
}

TEST(DecodePng, AcceptsTheLargestSideAndRefusesOneMore) {
  PngParts wide;
  wide.width = 16384;
  wide.colour = 0;
  wide.scanlines.assign(16385, 0);
  const Picture picture = DecodeFenced(Encode(wide));
  EXPECT_EQ(picture.width, 16384);
  EXPECT_EQ(picture.bgra.size(), 16384u * 4);

  wide.width = 16385;
  wide.scanlines.push_back(0);
  EXPECT_THROW(DecodeFenced(Encode(wide)), AppError);
}

TEST(DecodePng, DamagedDataGivesAppError) {
  const Bytes good = SmallRgb();
  ASSERT_EQ(DecodeFenced(good).width, 4);
  const std::size_t idat_length = (good[kIdatAt + 2] << 8) | good[kIdatAt + 3];

  auto flipped = [&](std::size_t at) {
    Bytes b = good;
    b[at] ^= 0x55;
    return b;
  };
  auto cut = [&](std::size_t size) { return Bytes(good.begin(), good.begin() + size); };
  auto idat_changed = [&](std::size_t offset_in_data) {
    Bytes b = flipped(kIdatAt + 8 + offset_in_data);
    FixCrc(b, kIdatAt);
    return b;
  };
  PngParts short_data;
  short_data.width = 4;
  short_data.height = 4;
  short_data.scanlines.assign(3 * 13, 0);  // one row missing
  PngParts no_palette;
  no_palette.colour = 3;
  no_palette.scanlines = {0, 0};

  const std::vector<std::pair<const char*, Bytes>> cases = {
      {"empty", {}},
      {"signature only", cut(8)},
      {"cut inside the header", cut(20)},
      {"cut after the header", cut(kIdatAt)},
      {"cut inside the image data", cut(kIdatAt + 8 + idat_length / 2)},
      {"cut before the end chunk", cut(good.size() - 12)},
      {"not a PNG signature", flipped(1)},
      {"header CRC wrong", flipped(kIdatAt - 1)},
      {"image data CRC wrong", flipped(kIdatAt + 8 + idat_length)},
      {"compressed stream header damaged", idat_changed(0)},
      {"compressed stream checksum damaged", idat_changed(idat_length - 1)},
      {"zero width", WithSize(good, 0, 4)},
      {"absurd width", WithSize(good, 100000, 4)},
      {"absurd height", WithSize(good, 4, 0x7FFFFFFF)},
      {"huge picture over a few bytes", WithSize(good, 16384, 16384)},
      {"image data one row short", Encode(short_data)},
      {"palette picture without a palette", Encode(no_palette)},
  };
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    EXPECT_THROW(DecodeFenced(bytes), AppError);
  }
  EXPECT_THROW(DecodePng(nullptr, 100), AppError);
}

TEST(DecodePng, EveryCutAndEveryFlippedByteEndsCleanly) {
  PngParts p;
  p.width = 3;
  p.height = 3;
  p.depth = 4;
  p.colour = 3;
  p.extra = {{"PLTE", {1, 2, 3, 4, 5, 6, 7, 8, 9}}, {"tRNS", {0, 128, 255}}};
  p.scanlines = {0, 0x01, 0x20, 0, 0x12, 0x00, 0, 0x21, 0x00};
  const Bytes good = Encode(p);
  ASSERT_EQ(DecodeFenced(good).width, 3);

  auto outcome_is_clean = [](const Bytes& bytes) {
    try {
      const Picture picture = DecodeFenced(bytes);
      return picture.width > 0 && picture.height > 0 &&
             picture.bgra.size() == std::size_t(picture.width) * picture.height * 4;
    } catch (const AppError&) {
      return true;
    }
  };
  for (std::size_t size = 0; size < good.size(); ++size) {
    SCOPED_TRACE("cut to " + std::to_string(size));
    EXPECT_THROW(DecodeFenced(Bytes(good.begin(), good.begin() + size)), AppError);
  }
  for (std::size_t at = 0; at < good.size(); ++at) {
    for (std::uint8_t mask : {0x01, 0x80, 0xFF}) {
      SCOPED_TRACE("byte " + std::to_string(at) + " flipped by " + std::to_string(mask));
      Bytes bytes = good;
      bytes[at] ^= mask;
      EXPECT_TRUE(outcome_is_clean(bytes));
    }
  }
}

// --------------------------------------------------------------------- the resources

enum class Kind { Keyed, Alpha, Opaque };

struct ResourceCase {
  int id;
  const char* name;
  int width;
  int height;
  Kind kind;
};

const ResourceCase kResources[] = {
    {IDP_GLYPH_OPEN, "open glyph", 16, 16, Kind::Keyed},
    {IDP_GLYPH_DELETE, "delete glyph", 16, 16, Kind::Keyed},
    {IDP_GLYPH_REFRESH, "refresh glyph", 16, 16, Kind::Keyed},
    {IDP_GLYPH_BROWSE, "browse glyph", 16, 16, Kind::Keyed},
    {IDP_GLYPH_ABOUT, "about glyph", 16, 16, Kind::Keyed},
    {IDP_GLYPH_SETTINGS, "settings glyph", 16, 16, Kind::Keyed},
    {IDP_GLYPH_FOLDER, "folder glyph", 16, 16, Kind::Keyed},
    {IDP_GLYPH_OK, "settings OK glyph", 16, 16, Kind::Keyed},
    {IDP_LIST_ICON_BLUE, "blue list icon", 16, 16, Kind::Alpha},
    {IDP_LIST_ICON_GREEN, "green list icon", 16, 16, Kind::Alpha},
    {IDP_ICON_YOUTUBE, "play icon", 24, 24, Kind::Alpha},
    {IDP_ICON_TWITTER, "bird icon", 24, 24, Kind::Alpha},
    {IDP_ICON_FACEBOOK, "f icon", 24, 24, Kind::Alpha},
    {IDP_ICON_GOOGLE, "g icon", 24, 24, Kind::Alpha},
    {IDP_ICON_MAIL, "envelope icon", 24, 24, Kind::Alpha},
    {IDP_ABOUT_OK, "About OK glyph", 16, 16, Kind::Alpha},
    {IDP_MAIN_BACKGROUND, "main background", 1, 237, Kind::Opaque},
    {IDP_MAIN_BAR, "main bar", 1, 43, Kind::Opaque},
    {IDP_ABOUT_BOTTOM, "About bottom", 1, 43, Kind::Opaque},
    {IDP_SETTINGS_HEADER, "settings header", 343, 90, Kind::Opaque},
    {IDP_ABOUT_HEADER, "About header", 332, 71, Kind::Opaque},
};

struct Bgra {
  std::uint8_t b, g, r, a;
  bool operator==(const Bgra&) const = default;
};

Bgra PixelAt(const Picture& p, int x, int y) {
  const std::uint8_t* px = p.bgra.data() + (std::size_t(y) * p.width + x) * 4;
  return {px[0], px[1], px[2], px[3]};
}

// The raw bytes of an embedded picture.
Bytes ResourceBytes(int id) {
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
  if (resource == nullptr) return {};
  const auto* data = static_cast<const std::uint8_t*>(::LockResource(::LoadResource(module, resource)));
  return Bytes(data, data + ::SizeofResource(module, resource));
}

TEST(PictureResources, EachDecodesToItsSizeAndKind) {
  const Bgra magenta{255, 0, 255, 255};
  for (const ResourceCase& c : kResources) {
    SCOPED_TRACE(c.name);
    const Picture p = LoadPngResource(c.id);
    ASSERT_EQ(p.width, c.width);
    ASSERT_EQ(p.height, c.height);
    ASSERT_EQ(p.bgra.size(), std::size_t(c.width) * c.height * 4);
    int opaque = 0, clear = 0, key = 0, pink = 0;
    for (int y = 0; y < p.height; ++y) {
      for (int x = 0; x < p.width; ++x) {
        const Bgra px = PixelAt(p, x, y);
        opaque += px.a == 255;
        clear += px.a == 0;
        if (px == magenta) {
          ++key;
        } else if (px.r >= 160 && px.b >= 160 && px.g <= 110) {
          ++pink;  // a soft edge mixed with the key colour
        }
      }
    }
    const int total = p.width * p.height;
    const Bytes raw = ResourceBytes(c.id);
    ASSERT_GT(raw.size(), 26u);
    const std::uint8_t depth = raw[24], colour_type = raw[25];
    switch (c.kind) {
      case Kind::Keyed:
        EXPECT_EQ(PixelAt(p, 0, p.height - 1), magenta);
        EXPECT_EQ(opaque, total);
        EXPECT_GT(key, total / 6) << "little background";
        EXPECT_LT(key, total * 5 / 6) << "little drawing";
        EXPECT_EQ(pink, 0);
        EXPECT_EQ(depth, 8);
        EXPECT_EQ(colour_type, 2) << "24-bit colour";
        break;
      case Kind::Alpha:
        EXPECT_EQ(PixelAt(p, 0, 0).a, 0);
        EXPECT_EQ(PixelAt(p, p.width - 1, p.height - 1).a, 0);
        EXPECT_GT(opaque, total / 8);
        EXPECT_GT(clear, 0);
        break;
      case Kind::Opaque:
        EXPECT_EQ(opaque, total);
        break;
    }
  }
}

// Pictures for a scale are decoded once and shared: a repeated request gives the same picture as
// the first, keyed or not, and what one caller does to its copy never reaches the next caller.
TEST(PictureResources, ScaledPicturesAreSharedAsUntouchedCopies) {
  for (const ResourceCase& c : kResources) {
    SCOPED_TRACE(c.name);
    const bool keyed = c.kind == Kind::Keyed;
    for (const int dpi : {96, 120, 144, 192}) {
      SCOPED_TRACE(dpi);
      Picture first = LoadPngResourceForDpi(c.id, dpi, keyed);
      const Picture kept = first;
      std::fill(first.bgra.begin(), first.bgra.end(), std::uint8_t{0x5A});
      first.width = 1;
      const Picture again = LoadPngResourceForDpi(c.id, dpi, keyed);
      EXPECT_EQ(kept.width, again.width);
      EXPECT_EQ(kept.height, again.height);
      EXPECT_EQ(kept.bgra, again.bgra);
    }
    // The keyed and the plain picture are not mixed up.
    if (keyed) {
      EXPECT_NE(LoadPngResourceForDpi(c.id, 96, true).bgra, LoadPngResourceForDpi(c.id, 96, false).bgra);
    }
  }
}

TEST(PictureResources, AboutHeaderSitsOnThePanelColour) {
  const Picture p = LoadPngResource(IDP_ABOUT_HEADER);
  const Bgra panel{54, 41, 34, 255};
  for (auto [x, y] : {std::pair{0, 0}, {331, 0}, {0, 70}, {331, 70}}) {
    EXPECT_EQ(PixelAt(p, x, y), panel) << x << "," << y;
  }
  const Bytes raw = ResourceBytes(IDP_ABOUT_HEADER);
  EXPECT_NE(raw[25] & 4, 4) << "no alpha channel";
  const Bytes settings = ResourceBytes(IDP_SETTINGS_HEADER);
  EXPECT_EQ(settings[24], 8);
  EXPECT_EQ(settings[25], 2) << "24-bit colour";
}

std::vector<int> Levels(int id) {
  const Picture p = LoadPngResource(id);
  std::vector<int> levels;
  for (int y = 0; y < p.height; ++y) {
    const Bgra px = PixelAt(p, 0, y);
    EXPECT_TRUE(px.r == px.g && px.g == px.b) << "grey at row " << y;
    levels.push_back(px.r);
  }
  return levels;
}

TEST(PictureResources, StripsHaveTheirLevels) {
  const std::vector<int> back = Levels(IDP_MAIN_BACKGROUND);
  EXPECT_EQ(back.front(), 225);
  EXPECT_EQ(back[8], 245);
  EXPECT_TRUE(std::is_sorted(back.begin(), back.begin() + 9));
  EXPECT_TRUE(std::all_of(back.begin() + 8, back.begin() + 56, [](int v) { return v == 245; }));
  EXPECT_TRUE(std::is_sorted(back.begin() + 55, back.end(), std::greater<>()));
  EXPECT_EQ(back.back(), 215);
  for (std::size_t y = 57; y < back.size(); ++y) {
    EXPECT_LE(std::abs((back[y - 1] - back[y]) - (back[56] - back[57])), 1) << "even fall at " << y;
  }

  const std::vector<int> bar = Levels(IDP_MAIN_BAR);
  EXPECT_EQ(bar[0], 0xB4);
  EXPECT_EQ(bar[1], 0xFF);
  EXPECT_EQ(bar[2], 0xF0);
  EXPECT_EQ(bar.back(), 0xD8);
  EXPECT_TRUE(std::is_sorted(bar.begin() + 2, bar.end(), std::greater<>()));

  const std::vector<int> about = Levels(IDP_ABOUT_BOTTOM);
  EXPECT_TRUE(std::all_of(about.begin(), about.end(), [](int v) { return v >= 200; })) << "light";
  EXPECT_GT(about[2], about.back()) << "a gradient";
}

TEST(PictureResources, MissingIdGivesAppError) {
  EXPECT_THROW(LoadPngResource(9999), AppError);
}

TEST(ProgramIcon, HoldsEverySizeTheSystemAsksFor) {
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC group = ::FindResourceW(module, MAKEINTRESOURCEW(IDI_CALLWRIGHT), RT_GROUP_ICON);
  ASSERT_NE(group, nullptr);
  const auto* dir = static_cast<const std::uint8_t*>(::LockResource(::LoadResource(module, group)));
  const int count = dir[4] | (dir[5] << 8);
  std::vector<int> sizes;
  for (int i = 0; i < count; ++i) {
    const int s = dir[6 + 14 * i];  // GRPICONDIRENTRY: width byte, 0 meaning 256
    sizes.push_back(s == 0 ? 256 : s);
  }
  std::sort(sizes.begin(), sizes.end());
  const std::vector<int> expected{16, 20, 24, 32, 40, 48, 64, 256};  // small and large at 100-200 %
  EXPECT_EQ(sizes, expected);

  for (int size : expected) {
    SCOPED_TRACE(size);
    IconHandle icon(static_cast<HICON>(
        ::LoadImageW(module, MAKEINTRESOURCEW(IDI_CALLWRIGHT), IMAGE_ICON, size, size, 0)));
    ASSERT_TRUE(icon);
    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(icon.Get(), &info));
    BitmapHandle colour(info.hbmColor), mask(info.hbmMask);
    BITMAP bm{};
    ASSERT_TRUE(::GetObjectW(colour.Get(), sizeof bm, &bm));
    EXPECT_EQ(bm.bmWidth, size);
    EXPECT_EQ(bm.bmHeight, size);
  }
}

std::vector<int> IconGroupSizes(int id) {
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC group = ::FindResourceW(module, MAKEINTRESOURCEW(id), RT_GROUP_ICON);
  if (group == nullptr) return {};
  const auto* dir = static_cast<const std::uint8_t*>(::LockResource(::LoadResource(module, group)));
  std::vector<int> sizes;
  for (int i = 0; i < (dir[4] | (dir[5] << 8)); ++i) sizes.push_back(dir[6 + 14 * i] == 0 ? 256 : dir[6 + 14 * i]);
  std::sort(sizes.begin(), sizes.end());
  return sizes;
}

TEST(TrayIcons, HoldTheSmallIconAtEachScale) {
  for (int id : {IDI_TRAY_WAITING, IDI_TRAY_LINKED, IDI_TRAY_RECORDING}) {
    SCOPED_TRACE(id);
    EXPECT_EQ(IconGroupSizes(id), (std::vector<int>{16, 20, 24, 32}));
  }
}

// Every picture is drawn for 100, 125, 150 and 200 %: at those DPIs the loader takes the drawing
// made for it, of exactly the scaled size, and hands it over unresampled.
TEST(PictureResources, EachIsDrawnForEveryScale) {
  const std::pair<int, int> scales[] = {{0, 96}, {1, 120}, {2, 144}, {3, 192}};
  for (const ResourceCase& c : kResources) {
    for (auto [k, dpi] : scales) {
      SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(dpi) + " dpi");
      const int chosen = PngResourceForDpi(c.id, dpi);
      EXPECT_EQ(chosen, c.id + k * kScaledPictureStep);
      Picture drawn = LoadPngResource(chosen);
      ASSERT_EQ(drawn.width, ::MulDiv(c.width, dpi, 96));
      ASSERT_EQ(drawn.height, ::MulDiv(c.height, dpi, 96));
      const bool keyed = c.kind == Kind::Keyed;
      if (keyed) {
        EXPECT_EQ(PixelAt(drawn, 0, drawn.height - 1), (Bgra{255, 0, 255, 255})) << "key colour";
        MakeKeyColourTransparent(drawn);
      } else if (c.kind == Kind::Alpha) {
        EXPECT_EQ(PixelAt(drawn, 0, 0).a, 0);
      }
      EXPECT_EQ(LoadPngResourceForDpi(c.id, dpi, keyed).bgra, drawn.bgra) << "resampled";
    }
  }
}

// ---------------------------------------------------------------------------- bitmaps

Picture Numbered(int width, int height) {
  Picture p;
  p.width = width;
  p.height = height;
  p.bgra.resize(std::size_t(width) * height * 4);
  for (std::size_t i = 0; i < p.bgra.size(); ++i) p.bgra[i] = static_cast<std::uint8_t>(i * 7 + 1);
  return p;
}

TEST(MakeBitmap24, RowsAreBottomUpAndPaddedToFourBytes) {
  const std::pair<int, std::size_t> cases[] = {{1, 4}, {2, 8}, {3, 12}, {4, 12}, {5, 16}, {332, 996}, {333, 1000}};
  for (auto [width, step] : cases) {
    SCOPED_TRACE(width);
    EXPECT_EQ(Bitmap24RowStep(width), step);
    const Picture p = Numbered(width, 3);
    const BitmapHandle bitmap = MakeBitmap24(p);
    ASSERT_TRUE(bitmap);
    DIBSECTION dib{};
    ASSERT_EQ(::GetObjectW(bitmap.Get(), sizeof dib, &dib), int(sizeof dib));
    EXPECT_EQ(dib.dsBm.bmBitsPixel, 24);
    EXPECT_EQ(dib.dsBm.bmWidth, width);
    EXPECT_EQ(std::size_t(dib.dsBm.bmWidthBytes), step);
    EXPECT_EQ(dib.dsBmih.biHeight, 3) << "bottom-up";
    const auto* bits = static_cast<const std::uint8_t*>(dib.dsBm.bmBits);
    for (int y = 0; y < 3; ++y) {
      const std::uint8_t* row = bits + (2 - y) * step;
      for (int x = 0; x < width; ++x) {
        const Bgra want = PixelAt(p, x, y);
        ASSERT_EQ(row[x * 3], want.b);
        ASSERT_EQ(row[x * 3 + 1], want.g);
        ASSERT_EQ(row[x * 3 + 2], want.r);
      }
      for (std::size_t pad = std::size_t(width) * 3; pad < step; ++pad) EXPECT_EQ(row[pad], 0);
    }
  }
}

TEST(MakeBitmap24, HoldsTheAboutHeader) {
  const Picture p = LoadPngResource(IDP_ABOUT_HEADER);
  const BitmapHandle bitmap = MakeBitmap24(p);
  DIBSECTION dib{};
  ASSERT_EQ(::GetObjectW(bitmap.Get(), sizeof dib, &dib), int(sizeof dib));
  EXPECT_EQ(dib.dsBm.bmWidthBytes, 996);
  const auto* bits = static_cast<const std::uint8_t*>(dib.dsBm.bmBits);
  for (int y = 0; y < p.height; y += 7) {
    for (int x = 0; x < p.width; x += 5) {
      const Bgra want = PixelAt(p, x, y);
      const std::uint8_t* got = bits + (p.height - 1 - y) * 996 + x * 3;
      ASSERT_EQ((Bgra{got[0], got[1], got[2], 255}), want) << x << "," << y;
    }
  }
}

TEST(MakeBitmap32, PremultipliesAlpha) {
  Picture p;
  p.width = 4;
  p.height = 1;
  p.bgra = {200, 100, 50, 255, 200, 100, 50, 128, 200, 100, 50, 0, 255, 255, 255, 1};
  const BitmapHandle bitmap = MakeBitmap32(p);
  DIBSECTION dib{};
  ASSERT_EQ(::GetObjectW(bitmap.Get(), sizeof dib, &dib), int(sizeof dib));
  EXPECT_EQ(dib.dsBm.bmBitsPixel, 32);
  EXPECT_EQ(dib.dsBmih.biHeight, 1);
  const auto* bits = static_cast<const std::uint8_t*>(dib.dsBm.bmBits);
  EXPECT_EQ(Bytes(bits, bits + 16),
            (Bytes{200, 100, 50, 255, 100, 50, 25, 128, 0, 0, 0, 0, 1, 1, 1, 1}));
}

TEST(MakeBitmap, MalformedPictureGivesAppError) {
  Picture empty;
  Picture short_pixels = Numbered(3, 3);
  short_pixels.bgra.pop_back();
  Picture negative = Numbered(2, 2);
  negative.width = -2;
  negative.height = -2;
  for (const Picture* p : {&empty, &short_pixels, &negative}) {
    EXPECT_THROW(MakeBitmap24(*p), AppError);
    EXPECT_THROW(MakeBitmap32(*p), AppError);
  }
}

TEST(MakeKeyColourTransparent, ClearsExactlyTheBottomLeftColour) {
  Picture p;
  p.width = 3;
  p.height = 2;
  p.bgra = {255, 0, 255, 255, 254, 0, 255, 255, 1, 2, 3, 255,
            255, 0, 255, 255, 9, 9, 9, 255, 255, 0, 255, 255};
  MakeKeyColourTransparent(p);
  const std::vector<int> alpha = {p.bgra[3], p.bgra[7], p.bgra[11], p.bgra[15], p.bgra[19], p.bgra[23]};
  EXPECT_EQ(alpha, (std::vector<int>{0, 255, 255, 0, 255, 0}));
  EXPECT_EQ(p.bgra[4], 254) << "colours stay";

  Picture glyph = LoadPngResource(IDP_GLYPH_OPEN);
  MakeKeyColourTransparent(glyph);
  EXPECT_EQ(PixelAt(glyph, 0, 15).a, 0);
  EXPECT_EQ(PixelAt(glyph, 8, 8).a, 255);
}

}  // namespace
}  // namespace callwright
