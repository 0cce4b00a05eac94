#pragma once
// Water ripples: an integer height field that is advanced one generation per frame and through
// whose slopes a 24-bit picture is drawn displaced, lightened or darkened.
// Window-free: it works on memory it owns plus the two images handed to each Render.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace callwright {

// A 24-bit image: three bytes a pixel (blue, green, red), row 0 at `row0`, each next row `step`
// bytes further. Bottom-up bitmaps have a negative step; padded rows a step above 3 * width.
struct Image24 {
  int width = 0;
  int height = 0;
  std::uint8_t* row0 = nullptr;
  std::ptrdiff_t step = 0;
};

// The same, read only.
struct ConstImage24 {
  int width = 0;
  int height = 0;
  const std::uint8_t* row0 = nullptr;
  std::ptrdiff_t step = 0;

  ConstImage24() = default;
  ConstImage24(int w, int h, const std::uint8_t* first_row, std::ptrdiff_t row_step)
      : width(w), height(h), row0(first_row), step(row_step) {}
  ConstImage24(const Image24& image)  // NOLINT: implicit on purpose, a writable image reads too
      : width(image.width), height(image.height), row0(image.row0), step(image.step) {}
};

class TWaterEffect {
 public:
  // Yields a uniform integer in 0..n-1; decides where a drop with an out-of-field coordinate lands.
  using RandomSource = std::function<int(int n)>;
  // Damping in percent, 1..99.
  using TWaterDamping = std::uint8_t;
  using PIntArray = std::int32_t*;
  using PRGBArray = const std::uint8_t*;

  // Largest field side; larger requests give an empty field.
  static constexpr int kMaxSide = 65536;

  // An empty field drawing its random drops from the program's generator.
  TWaterEffect();
  explicit TWaterEffect(RandomSource random);
  virtual ~TWaterEffect();

  TWaterEffect(const TWaterEffect&) = delete;
  TWaterEffect& operator=(const TWaterEffect&) = delete;

  // A flat field of AWidth x AHeight cells; a side <= 0 (or above kMaxSide) gives an empty field.
  void SetSize(int AWidth, int AHeight);
  // Flattens both generations; the size stays.
  void ClearWater();
  // Adds AHeight to every cell of the current generation within ARadius of (x, y), clipped to the
  // field. A coordinate outside the field is chosen at random so that the disc lies clear of row
  // and column 0.
  void Blob(int x, int y, int ARadius, int AHeight);
  // One generation of the water, then Src drawn refracted into Dst. Only the FWidth x FHeight area
  // of the images is touched; when an image is smaller than the field (or has no pixels) the water
  // still advances but nothing is drawn. Src and Dst must not share pixels.
  void Render(const ConstImage24& Src, const Image24& Dst);

  int Damping() const { return FDamping; }
  // Stores only values in 1..99; others are ignored.
  void SetDamping(int value);

  // Whether steps and draws may use AVX2 where the processor has it (the default); both ways give
  // the same results, and tests check that.
  static void AllowAvx2(bool allow);

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  // The current generation's height at (x, y); 0 outside the field.
  std::int32_t Cell(int x, int y) const;

 private:
  void CalcWater();
  void DrawWater(const ConstImage24& Src, const Image24& Dst);
  // The same rules for fields whose heights stay within kFastBound.
  void CalcWaterFast(std::int32_t k);
  void DrawWaterFast(const ConstImage24& Src, const Image24& Dst);
  // The new generation becomes the current one; bound caps its heights.
  void NextGeneration(std::int64_t bound);
  // The coordinate a drop lands on when the requested one lies outside 0..side-1.
  std::int64_t RandomCoordinate(int side, int radius);

  RandomSource FRandom;
  std::int32_t FWidth = 0;
  std::int32_t FHeight = 0;
  // FBuff1 holds the current generation, FBuff2 the previous one; each step swaps them.
  std::unique_ptr<std::int32_t[]> FBuff1;
  std::unique_ptr<std::int32_t[]> FBuff2;
  std::vector<PIntArray> FScanLine1;
  std::vector<PIntArray> FScanLine2;
  std::vector<PRGBArray> FScanLineSrc;
  TWaterDamping FDamping = 20;
  // Upper bounds of |height| in each generation. While both stay small, a step and a draw run in
  // 32-bit arithmetic, several cells at a time, with exactly the results of the wide rules.
  std::int64_t FBound1 = 0;
  std::int64_t FBound2 = 0;
};

}  // namespace callwright
