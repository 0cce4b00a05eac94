#include "effects/water_effect.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "core/random.h"

namespace callwright {
namespace {

// Heights are 32-bit cells, but nothing caps a drop or a wave: saturate rather than overflow.
inline std::int32_t Saturate(std::int64_t v) {
  constexpr std::int64_t lo = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t hi = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(v < lo ? lo : (v > hi ? hi : v));
}

inline std::uint8_t ClampByte(int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); }

}  // namespace

TWaterEffect::TWaterEffect() : TWaterEffect([](int n) { return ProgramRandom()(n); }) {}

TWaterEffect::TWaterEffect(RandomSource random) : FRandom(std::move(random)) {}

TWaterEffect::~TWaterEffect() = default;

void TWaterEffect::SetSize(int AWidth, int AHeight) {
  if (AWidth <= 0 || AHeight <= 0 || AWidth > kMaxSide || AHeight > kMaxSide) {
    AWidth = 0;
    AHeight = 0;
  }
  // Allocate everything first so a failed allocation leaves the old field intact.
  std::unique_ptr<std::int32_t[]> buff1;
  std::unique_ptr<std::int32_t[]> buff2;
  std::vector<PIntArray> lines1;
  std::vector<PIntArray> lines2;
  std::vector<PRGBArray> lines_src;
  if (AHeight > 0) {
    const std::size_t cells = static_cast<std::size_t>(AWidth) * static_cast<std::size_t>(AHeight);
    buff1 = std::make_unique<std::int32_t[]>(cells);  // zeroed: the field starts flat
    buff2 = std::make_unique<std::int32_t[]>(cells);
    lines1.resize(AHeight);
    lines2.resize(AHeight);
    lines_src.resize(AHeight);
    for (int y = 0; y < AHeight; ++y) {
      lines1[y] = buff1.get() + static_cast<std::size_t>(y) * AWidth;
      lines2[y] = buff2.get() + static_cast<std::size_t>(y) * AWidth;
    }
  }
  FWidth = AWidth;
  FHeight = AHeight;
  FBuff1 = std::move(buff1);
  FBuff2 = std::move(buff2);
  FScanLine1 = std::move(lines1);
  FScanLine2 = std::move(lines2);
  FScanLineSrc = std::move(lines_src);
}

void TWaterEffect::ClearWater() {
  const std::size_t cells = static_cast<std::size_t>(FWidth) * static_cast<std::size_t>(FHeight);
  if (cells == 0) return;
  std::fill_n(FBuff1.get(), cells, 0);
  std::fill_n(FBuff2.get(), cells, 0);
}

void TWaterEffect::SetDamping(int value) {
  if (value >= 1 && value <= 99) FDamping = static_cast<TWaterDamping>(value);
}

std::int32_t TWaterEffect::Cell(int x, int y) const {
  if (x < 0 || x >= FWidth || y < 0 || y >= FHeight) return 0;
  return FScanLine1[y][x];
}

std::int64_t TWaterEffect::RandomCoordinate(int side, int radius) {
  const std::int64_t r = FRandom ? FRandom(32767) : 0;
  const std::int64_t divisor = std::int64_t{side} - 2 * std::int64_t{radius} - 1;
  // The disc is exactly as wide as the field: centre it, so it spans the field edge to edge.
  if (divisor == 0) return radius;
  // C++ keeps the dividend's sign, so a negative divisor still gives 0 <= r % divisor.
  return r % divisor + radius + 1;
}

void TWaterEffect::Blob(int x, int y, int ARadius, int AHeight) {
  // x is drawn before y.
  const std::int64_t cx = (x < 0 || x > FWidth - 1) ? RandomCoordinate(FWidth, ARadius) : x;
  const std::int64_t cy = (y < 0 || y > FHeight - 1) ? RandomCoordinate(FHeight, ARadius) : y;
  if (FHeight == 0) return;

  const std::int64_t r = ARadius;
  const std::int64_t x0 = cx - std::min(r, cx);
  const std::int64_t x1 = cx + std::min(r, std::int64_t{FWidth} - 1 - cx);
  const std::int64_t y0 = cy - std::min(r, cy);
  const std::int64_t y1 = cy + std::min(r, std::int64_t{FHeight} - 1 - cy);
  // A negative radius, or a centre far enough outside, leaves the range empty.
  if (x0 > x1 || y0 > y1 || x0 < 0 || y0 < 0) return;

  // Offsets stay below 2^32 in size, so unsigned 64-bit squares cannot overflow.
  const std::uint64_t r2 = static_cast<std::uint64_t>(r * r);
  for (std::int64_t row = y0; row <= y1; ++row) {
    const std::int64_t di = row - cy;
    const std::uint64_t di2 = static_cast<std::uint64_t>(di * di);
    if (di2 > r2) continue;
    std::int32_t* line = FScanLine1[static_cast<std::size_t>(row)];
    for (std::int64_t col = x0; col <= x1; ++col) {
      const std::int64_t dj = col - cx;
      if (static_cast<std::uint64_t>(dj * dj) + di2 <= r2) {
        line[col] = Saturate(std::int64_t{line[col]} + AHeight);
      }
    }
  }
}

void TWaterEffect::Render(const ConstImage24& Src, const Image24& Dst) {
  CalcWater();
  DrawWater(Src, Dst);
}

void TWaterEffect::CalcWater() {
  // Damping as a multiplier in 256ths; 20 % gives 204.
  const std::int64_t k = (100 - std::int64_t{FDamping}) * 256 / 100;
  const int w = FWidth;
  const int h = FHeight;
  for (int y = 0; y < h; ++y) {
    // Clamped neighbour rows: at the border the row itself stands in for the missing one.
    const std::int32_t* up = FScanLine1[y > 0 ? y - 1 : 0];
    const std::int32_t* mid = FScanLine1[y];
    const std::int32_t* down = FScanLine1[y + 1 < h ? y + 1 : h - 1];
    std::int32_t* prev = FScanLine2[y];
    // The new generation overwrites the previous one; neighbours come from the current one only.
    const auto step = [&](int x, int left, int right) {
      const std::int64_t sum = std::int64_t{up[left]} + up[x] + up[right] + mid[left] + mid[right] +
                               down[left] + down[x] + down[right];
      // C++ division truncates toward zero, as the ripple rule needs.
      prev[x] = Saturate((sum / 4 - prev[x]) * k / 256);
    };
    step(0, 0, w > 1 ? 1 : 0);
    for (int x = 1; x < w - 1; ++x) step(x, x - 1, x + 1);
    if (w > 1) step(w - 1, w - 2, w - 1);
  }
  std::swap(FBuff1, FBuff2);
  std::swap(FScanLine1, FScanLine2);
}

void TWaterEffect::DrawWater(const ConstImage24& Src, const Image24& Dst) {
  const int w = FWidth;
  const int h = FHeight;
  if (h == 0) return;
  if (Src.row0 == nullptr || Dst.row0 == nullptr || Src.width < w || Src.height < h ||
      Dst.width < w || Dst.height < h) {
    return;
  }
  // Local copies: the compiler cannot tell that pixel stores leave the row tables alone.
  PRGBArray* const src_rows = FScanLineSrc.data();
  for (int y = 0; y < h; ++y) src_rows[y] = Src.row0 + static_cast<std::ptrdiff_t>(y) * Src.step;
  const std::uint64_t uw = static_cast<std::uint64_t>(w);
  const std::uint64_t uh = static_cast<std::uint64_t>(h);

  for (int y = 0; y < h; ++y) {
    const std::int32_t* up = FScanLine1[y > 0 ? y - 1 : 0];
    const std::int32_t* mid = FScanLine1[y];
    const std::int32_t* down = FScanLine1[y + 1 < h ? y + 1 : h - 1];
    const std::uint8_t* src_row = src_rows[y];
    std::uint8_t* out = Dst.row0 + static_cast<std::ptrdiff_t>(y) * Dst.step;
    const auto draw = [&](int x, int left, int right) {
      const std::int64_t dx = std::int64_t{mid[left]} - mid[right];
      const std::int64_t dy = std::int64_t{up[x]} - down[x];
      // Negative coordinates wrap to huge unsigned values, so one comparison tests both ends.
      const std::uint64_t sx = static_cast<std::uint64_t>(x + dx);
      const std::uint64_t sy = static_cast<std::uint64_t>(y + dy);
      std::uint8_t* d = out + 3 * static_cast<std::ptrdiff_t>(x);
      if (sx >= uw || sy >= uh) {
        const std::uint8_t* s = src_row + 3 * static_cast<std::ptrdiff_t>(x);
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
        return;
      }
      // The horizontal slope shades the sample; the vertical one only moves it. Inside the
      // field |dx| < w, so it fits an int.
      const std::uint8_t* s = src_rows[sy] + 3 * sx;
      const int shade = static_cast<int>(dx);
      d[0] = ClampByte(s[0] - shade);
      d[1] = ClampByte(s[1] - shade);
      d[2] = ClampByte(s[2] - shade);
    };
    draw(0, 0, w > 1 ? 1 : 0);
    for (int x = 1; x < w - 1; ++x) draw(x, x - 1, x + 1);
    if (w > 1) draw(w - 1, w - 2, w - 1);
  }
}

}  // namespace callwright
