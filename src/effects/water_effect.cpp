#include "effects/water_effect.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <type_traits>
#include <utility>

#if defined(__SSE2__) && defined(__x86_64__)
#include <immintrin.h>
#define CALLWRIGHT_WATER_X86 1
#endif

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

// Heights up to this size keep every intermediate of a step (3 x 2^21 x 253 < 2^31) and of a
// draw within 32 bits.
constexpr std::int64_t kFastBound = std::int64_t{1} << 21;
constexpr std::int64_t kBoundCap = std::int64_t{1} << 32;

// One pixel of the draw: the slopes move the sample, the horizontal one also shades it. Slope is
// std::int32_t where heights are small, std::int64_t otherwise.
template <typename Slope>
inline void DrawPixel(int x, int y, Slope dx, Slope dy, std::make_unsigned_t<Slope> w, std::make_unsigned_t<Slope> h,
                      const std::uint8_t* src_row, const std::uint8_t* const* src_rows, std::uint8_t* out) {
  // Negative coordinates wrap to huge unsigned values, so one comparison tests both ends.
  const auto sx = static_cast<std::make_unsigned_t<Slope>>(x + dx);
  const auto sy = static_cast<std::make_unsigned_t<Slope>>(y + dy);
  std::uint8_t* d = out + 3 * static_cast<std::ptrdiff_t>(x);
  if (sx >= w || sy >= h) {
    const std::uint8_t* s = src_row + 3 * static_cast<std::ptrdiff_t>(x);
    d[0] = s[0];
    d[1] = s[1];
    d[2] = s[2];
    return;
  }
  // Inside the field |dx| < w, so it fits an int.
  const std::uint8_t* s = src_rows[sy] + 3 * static_cast<std::size_t>(sx);
  const int shade = static_cast<int>(dx);
  d[0] = ClampByte(s[0] - shade);
  d[1] = ClampByte(s[1] - shade);
  d[2] = ClampByte(s[2] - shade);
}

// The three bytes of a pixel as the low bytes of a word, for the field's last column, whose
// pixels may end the picture's memory.
inline std::uint32_t LoadPixel3(const std::uint8_t* s) {
  return s[0] | (std::uint32_t{s[1]} << 8) | (std::uint32_t{s[2]} << 16);
}

// The step's rule for the cells 1..w-2 of a row, in 32 bits; returns the OR of |v| (less one for
// negative v) over the new cells. Written out so that the compiler computes several cells at once.
[[gnu::always_inline]] inline std::uint32_t StepRowInterior(const std::int32_t* __restrict up,
                                                            const std::int32_t* __restrict mid,
                                                            const std::int32_t* __restrict down,
                                                            std::int32_t* __restrict prev, int w, std::int32_t k) {
  std::uint32_t bits = 0;
  for (int x = 1; x < w - 1; ++x) {
    const std::int32_t sum =
        up[x - 1] + up[x] + up[x + 1] + mid[x - 1] + mid[x + 1] + down[x - 1] + down[x] + down[x + 1];
    const std::int32_t value = (sum / 4 - prev[x]) * k / 256;
    prev[x] = value;
    bits |= static_cast<std::uint32_t>(value ^ (value >> 31));
  }
  return bits;
}

std::uint32_t StepRowPlain(const std::int32_t* up, const std::int32_t* mid, const std::int32_t* down,
                           std::int32_t* prev, int w, std::int32_t k) {
  return StepRowInterior(up, mid, down, prev, w, k);
}

#if CALLWRIGHT_WATER_X86
// The same with eight cells a step where the processor has AVX2.
__attribute__((target("avx2"))) std::uint32_t StepRowAvx2(const std::int32_t* up, const std::int32_t* mid,
                                                          const std::int32_t* down, std::int32_t* prev, int w,
                                                          std::int32_t k) {
  return StepRowInterior(up, mid, down, prev, w, k);
}

std::atomic<bool> g_allow_avx2{true};

bool HaveAvx2() {
  static const bool have = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return have && g_allow_avx2.load(std::memory_order_relaxed);
}

// Eight pixels of a draw row from x on (x + 10 <= w): slopes, source offsets (sy * step + 3 * sx
// from row 0, in one multiply-add of 16-bit coordinates), one gather of four bytes a pixel, the
// shade with saturation (which is the clamp to 0..255), and the three bytes of each pixel stored.
// The field's last column may end the picture's memory, so its pixels are fetched on their own.
__attribute__((target("avx2"))) void DrawEightAvx2(int x, int y, int w, int h, const std::int32_t* up,
                                                   const std::int32_t* mid, const std::int32_t* down,
                                                   const std::uint8_t* src0, std::int32_t offset_factors,
                                                   std::uint8_t* out) {
#define CALLWRIGHT_LOAD8(p) _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p))
  const __m256i xs = _mm256_add_epi32(_mm256_set1_epi32(x), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
  const __m256i row = _mm256_set1_epi32(y);
  const __m256i dx = _mm256_sub_epi32(CALLWRIGHT_LOAD8(mid + x - 1), CALLWRIGHT_LOAD8(mid + x + 1));
  const __m256i dy = _mm256_sub_epi32(CALLWRIGHT_LOAD8(up + x), CALLWRIGHT_LOAD8(down + x));
#undef CALLWRIGHT_LOAD8
  __m256i sx = _mm256_add_epi32(xs, dx);
  __m256i sy = _mm256_add_epi32(row, dy);
  const __m256i minus_one = _mm256_set1_epi32(-1);
  const __m256i inside = _mm256_and_si256(
      _mm256_and_si256(_mm256_cmpgt_epi32(sx, minus_one), _mm256_cmpgt_epi32(_mm256_set1_epi32(w), sx)),
      _mm256_and_si256(_mm256_cmpgt_epi32(sy, minus_one), _mm256_cmpgt_epi32(_mm256_set1_epi32(h), sy)));
  sx = _mm256_blendv_epi8(xs, sx, inside);
  sy = _mm256_blendv_epi8(row, sy, inside);
  const __m256i shade = _mm256_and_si256(inside, dx);
  const __m256i offsets =
      _mm256_madd_epi16(_mm256_or_si256(sx, _mm256_slli_epi32(sy, 16)), _mm256_set1_epi32(offset_factors));
  const __m256i at_end = _mm256_cmpeq_epi32(sx, _mm256_set1_epi32(w - 1));
  __m256i pixels = _mm256_mask_i32gather_epi32(_mm256_setzero_si256(), reinterpret_cast<const int*>(src0), offsets,
                                               _mm256_xor_si256(at_end, minus_one), 1);
  if (const int ends = _mm256_movemask_ps(_mm256_castsi256_ps(at_end))) {
    alignas(32) std::int32_t offset[8];
    alignas(32) std::uint32_t sample[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(offset), offsets);
    _mm256_store_si256(reinterpret_cast<__m256i*>(sample), pixels);
    for (int i = 0; i < 8; ++i) {
      if (!(ends & (1 << i))) continue;
      sample[i] = LoadPixel3(src0 + offset[i]);
    }
    pixels = _mm256_load_si256(reinterpret_cast<const __m256i*>(sample));
  }
  const __m256i zero = _mm256_setzero_si256();
  const __m256i shade16 = _mm256_packs_epi32(shade, shade);
  const __m256i pairs = _mm256_unpacklo_epi16(shade16, shade16);
  const __m256i shaded =
      _mm256_packus_epi16(_mm256_subs_epi16(_mm256_unpacklo_epi8(pixels, zero), _mm256_unpacklo_epi32(pairs, pairs)),
                          _mm256_subs_epi16(_mm256_unpackhi_epi8(pixels, zero), _mm256_unpackhi_epi32(pairs, pairs)));
  const __m256i packed = _mm256_shuffle_epi8(
      shaded, _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2, 4, 5, 6, 8, 9, 10, 12,
                               13, 14, -1, -1, -1, -1));
  // Sixteen bytes a half: the last four of the first are overwritten by the second, those of the
  // second land on pixels x + 8 and x + 9, which are drawn later in the row.
  std::uint8_t* d = out + 3 * static_cast<std::ptrdiff_t>(x);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm256_castsi256_si128(packed));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 12), _mm256_extracti128_si256(packed, 1));
}
#endif

}  // namespace

void TWaterEffect::AllowAvx2(bool allow) {
#if CALLWRIGHT_WATER_X86
  g_allow_avx2 = allow;
#else
  (void)allow;
#endif
}

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
  FBound1 = 0;
  FBound2 = 0;
}

void TWaterEffect::ClearWater() {
  const std::size_t cells = static_cast<std::size_t>(FWidth) * static_cast<std::size_t>(FHeight);
  if (cells == 0) return;
  std::fill_n(FBuff1.get(), cells, 0);
  std::fill_n(FBuff2.get(), cells, 0);
  FBound1 = 0;
  FBound2 = 0;
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

  FBound1 = std::min(FBound1 + (AHeight < 0 ? -std::int64_t{AHeight} : std::int64_t{AHeight}), kBoundCap);
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
  if (h > 0 && std::max(FBound1, FBound2) <= kFastBound) {
    CalcWaterFast(static_cast<std::int32_t>(k));
    return;
  }
  std::int64_t bound = 0;
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
      const std::int32_t value = Saturate((sum / 4 - prev[x]) * k / 256);
      prev[x] = value;
      bound = std::max(bound, value < 0 ? -std::int64_t{value} : std::int64_t{value});
    };
    step(0, 0, w > 1 ? 1 : 0);
    for (int x = 1; x < w - 1; ++x) step(x, x - 1, x + 1);
    if (w > 1) step(w - 1, w - 2, w - 1);
  }
  NextGeneration(bound);
}

void TWaterEffect::CalcWaterFast(std::int32_t k) {
  const int w = FWidth;
  const int h = FHeight;
  // OR of |v| (less one for negative v) over the new generation: a bound on its heights.
  std::uint32_t bits = 0;
#if CALLWRIGHT_WATER_X86
  const bool avx2 = HaveAvx2();
#endif
  for (int y = 0; y < h; ++y) {
    const std::int32_t* __restrict up = FScanLine1[y > 0 ? y - 1 : 0];
    const std::int32_t* __restrict mid = FScanLine1[y];
    const std::int32_t* __restrict down = FScanLine1[y + 1 < h ? y + 1 : h - 1];
    std::int32_t* __restrict prev = FScanLine2[y];
    const auto step = [&](int x, int left, int right) {
      const std::int32_t sum =
          up[left] + up[x] + up[right] + mid[left] + mid[right] + down[left] + down[x] + down[right];
      const std::int32_t value = (sum / 4 - prev[x]) * k / 256;
      prev[x] = value;
      bits |= static_cast<std::uint32_t>(value ^ (value >> 31));
    };
    step(0, 0, w > 1 ? 1 : 0);
#if CALLWRIGHT_WATER_X86
    const std::uint32_t row_bits = avx2 ? StepRowAvx2(up, mid, down, prev, w, k) : StepRowPlain(up, mid, down, prev, w, k);
#else
    const std::uint32_t row_bits = StepRowPlain(up, mid, down, prev, w, k);
#endif
    bits |= row_bits;
    if (w > 1) step(w - 1, w - 2, w - 1);
  }
  NextGeneration(std::int64_t{bits} + 1);
}

void TWaterEffect::NextGeneration(std::int64_t bound) {
  std::swap(FBuff1, FBuff2);
  std::swap(FScanLine1, FScanLine2);
  FBound2 = FBound1;
  FBound1 = bound;
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
  if (FBound1 <= kFastBound) {
    DrawWaterFast(Src, Dst);
    return;
  }
  const std::uint64_t uw = static_cast<std::uint64_t>(w);
  const std::uint64_t uh = static_cast<std::uint64_t>(h);

  for (int y = 0; y < h; ++y) {
    const std::int32_t* up = FScanLine1[y > 0 ? y - 1 : 0];
    const std::int32_t* mid = FScanLine1[y];
    const std::int32_t* down = FScanLine1[y + 1 < h ? y + 1 : h - 1];
    const std::uint8_t* src_row = src_rows[y];
    std::uint8_t* out = Dst.row0 + static_cast<std::ptrdiff_t>(y) * Dst.step;
    const auto draw = [&](int x, int left, int right) {
      DrawPixel<std::int64_t>(x, y, std::int64_t{mid[left]} - mid[right], std::int64_t{up[x]} - down[x], uw, uh,
                              src_row, src_rows, out);
    };
    draw(0, 0, w > 1 ? 1 : 0);
    for (int x = 1; x < w - 1; ++x) draw(x, x - 1, x + 1);
    if (w > 1) draw(w - 1, w - 2, w - 1);
  }
}

void TWaterEffect::DrawWaterFast(const ConstImage24& Src, const Image24& Dst) {
  const int w = FWidth;
  const int h = FHeight;
  const std::uint8_t* const* src_rows = FScanLineSrc.data();
  const std::uint32_t uw = static_cast<std::uint32_t>(w);
  const std::uint32_t uh = static_cast<std::uint32_t>(h);
#if CALLWRIGHT_WATER_X86
  // Source offsets come from one multiply-add of 16-bit coordinates: the field and the row step
  // must fit.
  const bool side_by_side = w < 32768 && h < 32768 && Src.step > -32768 && Src.step < 32768;
  const __m128i lanes = _mm_setr_epi32(0, 1, 2, 3);
  const __m128i minus_one = _mm_set1_epi32(-1);
  const __m128i width = _mm_set1_epi32(w);
  const __m128i last_column = _mm_set1_epi32(w - 1);
  const __m128i height = _mm_set1_epi32(h);
  const __m128i zero = _mm_setzero_si128();
  const std::int32_t factors =
      static_cast<std::int32_t>((static_cast<std::uint32_t>(static_cast<std::uint16_t>(Src.step)) << 16) | 3u);
  const __m128i offset_factors = _mm_set1_epi32(factors);
  const bool avx2 = HaveAvx2();
#endif
  for (int y = 0; y < h; ++y) {
    const std::int32_t* up = FScanLine1[y > 0 ? y - 1 : 0];
    const std::int32_t* mid = FScanLine1[y];
    const std::int32_t* down = FScanLine1[y + 1 < h ? y + 1 : h - 1];
    const std::uint8_t* src_row = src_rows[y];
    std::uint8_t* out = Dst.row0 + static_cast<std::ptrdiff_t>(y) * Dst.step;
    const int right0 = w > 1 ? 1 : 0;
    DrawPixel(0, y, mid[0] - mid[right0], up[0] - down[0], uw, uh, src_row, src_rows, out);
    int x = 1;
#if CALLWRIGHT_WATER_X86
    // Four pixels at a time: slopes and source offsets side by side, the samples fetched one by
    // one, shaded with saturation (which is the clamp to 0..255) side by side again.
    if (side_by_side && avx2) {
      for (; x + 10 <= w; x += 8) DrawEightAvx2(x, y, w, h, up, mid, down, Src.row0, factors, out);
    }
    const __m128i row = _mm_set1_epi32(y);
    for (; side_by_side && x + 4 <= w - 1; x += 4) {
      const auto load = [](const std::int32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
      const __m128i xs = _mm_add_epi32(_mm_set1_epi32(x), lanes);
      const __m128i dx = _mm_sub_epi32(load(mid + x - 1), load(mid + x + 1));
      const __m128i dy = _mm_sub_epi32(load(up + x), load(down + x));
      __m128i sx = _mm_add_epi32(xs, dx);
      __m128i sy = _mm_add_epi32(row, dy);
      const __m128i inside =
          _mm_and_si128(_mm_and_si128(_mm_cmpgt_epi32(sx, minus_one), _mm_cmplt_epi32(sx, width)),
                        _mm_and_si128(_mm_cmpgt_epi32(sy, minus_one), _mm_cmplt_epi32(sy, height)));
      // Outside the field a pixel is its own source, unshaded.
      sx = _mm_or_si128(_mm_and_si128(inside, sx), _mm_andnot_si128(inside, xs));
      sy = _mm_or_si128(_mm_and_si128(inside, sy), _mm_andnot_si128(inside, row));
      const __m128i shade = _mm_and_si128(inside, dx);
      // sy * step + 3 * sx, from row 0 of the source.
      const __m128i offsets = _mm_madd_epi16(_mm_or_si128(sx, _mm_slli_epi32(sy, 16)), offset_factors);
      alignas(16) std::int32_t offset[4];
      _mm_store_si128(reinterpret_cast<__m128i*>(offset), offsets);
      // The field's last column may end the picture's memory: no fourth byte there.
      const int at_end = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(sx, last_column)));
      const auto sample = [&](int i) {
        const std::uint8_t* s = Src.row0 + offset[i];
        std::uint32_t value;
        if (at_end & (1 << i)) {
          value = LoadPixel3(s);
        } else {
          std::memcpy(&value, s, 4);
        }
        return _mm_cvtsi32_si128(static_cast<int>(value));
      };
      const __m128i pixels = _mm_unpacklo_epi64(_mm_unpacklo_epi32(sample(0), sample(1)),
                                                _mm_unpacklo_epi32(sample(2), sample(3)));
      // Slopes beyond the 16-bit range saturate, and so does the byte anyway.
      const __m128i shade16 = _mm_packs_epi32(shade, shade);
      const __m128i pairs = _mm_unpacklo_epi16(shade16, shade16);
      const __m128i shaded = _mm_packus_epi16(_mm_subs_epi16(_mm_unpacklo_epi8(pixels, zero), _mm_unpacklo_epi32(pairs, pairs)),
                                              _mm_subs_epi16(_mm_unpackhi_epi8(pixels, zero), _mm_unpackhi_epi32(pairs, pairs)));
      // Three bytes of each of the four: two 8-byte stores whose spare bytes land on pixel x + 4,
      // which is drawn later in this row.
      const std::uint64_t first = static_cast<std::uint64_t>(_mm_cvtsi128_si64(shaded));
      const std::uint64_t second = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(shaded, shaded)));
      const std::uint64_t pair1 = (first & 0xFFFFFFu) | ((first >> 8) & 0xFFFFFF000000u);
      const std::uint64_t pair2 = (second & 0xFFFFFFu) | ((second >> 8) & 0xFFFFFF000000u);
      std::uint8_t* d = out + 3 * static_cast<std::ptrdiff_t>(x);
      std::memcpy(d, &pair1, 8);
      std::memcpy(d + 6, &pair2, 8);
    }
#endif
    for (; x < w - 1; ++x) {
      DrawPixel(x, y, mid[x - 1] - mid[x + 1], up[x] - down[x], uw, uh, src_row, src_rows, out);
    }
    if (w > 1) DrawPixel(w - 1, y, mid[w - 2] - mid[w - 1], up[w - 1] - down[w - 1], uw, uh, src_row, src_rows, out);
  }
}

}  // namespace callwright
