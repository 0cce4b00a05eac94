#include "effects/water_effect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <random>
#include <set>
#include <utility>
#include <vector>

namespace callwright {
namespace {

using Bgr = std::array<std::uint8_t, 3>;
using CellSet = std::set<std::pair<int, int>>;

// An owned 24-bit picture, top-down or bottom-up, rows optionally padded. Padding and the
// surroundings are filled with a sentinel so stray writes show.
class Picture24 {
 public:
  static constexpr std::uint8_t kSentinel = 0xA5;

  Picture24(int width, int height, int padding = 0, bool bottom_up = false)
      : width_(width), height_(height), stride_(3 * width + padding), bottom_up_(bottom_up),
        bytes_(static_cast<std::size_t>(stride_) * height, kSentinel) {}

  std::uint8_t* At(int x, int y) {
    const int row = bottom_up_ ? height_ - 1 - y : y;
    return bytes_.data() + static_cast<std::ptrdiff_t>(row) * stride_ + 3 * x;
  }
  Bgr Get(int x, int y) { return {At(x, y)[0], At(x, y)[1], At(x, y)[2]}; }
  void Set(int x, int y, Bgr c) { std::copy(c.begin(), c.end(), At(x, y)); }
  void FillRandom(std::uint32_t seed) {
    std::mt19937 gen(seed);
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x)
        Set(x, y, {static_cast<std::uint8_t>(gen()), static_cast<std::uint8_t>(gen()),
                   static_cast<std::uint8_t>(gen())});
  }
  Image24 View() { return {width_, height_, At(0, 0), bottom_up_ ? -stride_ : stride_}; }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  int width_;
  int height_;
  std::ptrdiff_t stride_;
  bool bottom_up_;
  std::vector<std::uint8_t> bytes_;
};

// A generator that hands out a fixed script and records every range asked for.
struct ScriptedRandom {
  std::vector<int> values;
  std::vector<int> asked;
  int operator()(int n) {
    asked.push_back(n);
    return asked.size() <= values.size() ? values[asked.size() - 1] : 0;
  }
};

CellSet RaisedCells(const TWaterEffect& water) {
  CellSet cells;
  for (int y = 0; y < water.Height(); ++y)
    for (int x = 0; x < water.Width(); ++x)
      if (water.Cell(x, y) != 0) cells.insert({x, y});
  return cells;
}

CellSet Plus(int x, int y) { return {{x, y}, {x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}}; }

TEST(WaterEffect, DropSpreadsByTheRippleRule) {
  TWaterEffect water;
  water.SetSize(20, 20);
  water.Blob(10, 10, 1, 500);
  Picture24 src(20, 20), dst(20, 20);
  water.Render(src.View(), dst.View());

  // Expected heights of the 5 x 5 block around the drop after one step; 0 elsewhere.
  const int block[5][5] = {
      {0, 99, 99, 99, 0},
      {99, 298, 298, 298, 99},
      {99, 298, 398, 298, 99},
      {99, 298, 298, 298, 99},
      {0, 99, 99, 99, 0},
  };
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 20; ++x) {
      const bool inside = std::abs(x - 10) <= 2 && std::abs(y - 10) <= 2;
      const int expected = inside ? block[y - 8][x - 8] : 0;
      EXPECT_EQ(water.Cell(x, y), expected) << "at " << x << "," << y;
    }
  }

  // Second step: truncation toward zero gives -23 where flooring would give -24.
  water.Render(src.View(), dst.View());
  for (auto [x, y] : {std::pair{9, 10}, {11, 10}, {10, 9}, {10, 11}}) {
    EXPECT_EQ(water.Cell(x, y), -23) << "at " << x << "," << y;
  }
}

TEST(WaterEffect, StepDividesTowardZeroAndDampsIn256ths) {
  // A single cell of height v: its diagonal neighbour sees the sum v, its previous value is 0.
  struct Case {
    int damping;
    int height;
    int expected;
  } cases[] = {
      {20, -7, 0},     // -7 div 4 = -1, -204 div 256 = 0 (flooring: -2)
      {20, -8, -1},    // -2 * 204 = -408, div 256 = -1 (flooring: -2)
      {20, 7, 0},      // 1 * 204 / 256
      {20, 8, 1},      //
      {20, 2000, 398},  // 500 * 204 / 256
      {1, 2000, 494},   // k = 253
      {50, 2000, 250},  // k = 128
      {99, 2000, 3},    // k = 2
      {99, -2000, -3},
  };
  for (const Case& c : cases) {
    TWaterEffect water;
    water.SetSize(9, 9);
    water.SetDamping(c.damping);
    water.Blob(4, 4, 0, c.height);
    water.Render({}, {});
    EXPECT_EQ(water.Cell(5, 5), c.expected) << "damping " << c.damping << ", height " << c.height;
    EXPECT_EQ(water.Cell(4, 4), 0);
  }

  // The previous generation is subtracted: after the second step the dropped cell holds
  // (sum of its neighbours div 4 - its former height) * k div 256.
  TWaterEffect water;
  water.SetSize(9, 9);
  water.Blob(4, 4, 0, 2000);
  water.Render({}, {});
  water.Render({}, {});
  // Neighbours hold 8 x 398 -> 3184 div 4 = 796; minus 2000 -> -1204 * 204 div 256 = -959.
  EXPECT_EQ(water.Cell(4, 4), -959);
}

TEST(WaterEffect, BordersCountClampedNeighboursAgain) {
  // In a corner the cell itself counts three times and its edge neighbours twice.
  TWaterEffect water;
  water.SetSize(4, 3);
  water.Blob(0, 0, 0, 400);
  water.Render({}, {});
  EXPECT_EQ(water.Cell(0, 0), 300 * 204 / 256);  // 3 x 400 div 4
  EXPECT_EQ(water.Cell(1, 0), 200 * 204 / 256);  // counted via (0, up) and (0, y)
  EXPECT_EQ(water.Cell(0, 1), 200 * 204 / 256);
  EXPECT_EQ(water.Cell(1, 1), 100 * 204 / 256);
  EXPECT_EQ(RaisedCells(water).size(), 4u);
}

TEST(WaterEffect, DropsFillTheClippedDisc) {
  struct Case {
    int width, height, x, y, radius;
    CellSet cells;
  } cases[] = {
      {20, 20, 10, 10, 0, {{10, 10}}},
      {20, 20, 10, 10, 1, Plus(10, 10)},
      {20, 20, 0, 0, 2, {{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {0, 2}}},
      {20, 20, 19, 19, 2, {{19, 19}, {18, 19}, {17, 19}, {19, 18}, {18, 18}, {19, 17}}},
      {20, 20, 10, 10, -1, {}},
      {3, 1, 1, 0, 5, {{0, 0}, {1, 0}, {2, 0}}},
  };
  for (const Case& c : cases) {
    TWaterEffect water;
    water.SetSize(c.width, c.height);
    water.Blob(c.x, c.y, c.radius, 7);
    EXPECT_EQ(RaisedCells(water), c.cells) << "drop at " << c.x << "," << c.y << " r " << c.radius;
    for (auto [x, y] : c.cells) EXPECT_EQ(water.Cell(x, y), 7);
  }

  // Thirteen cells for radius 2; repeated drops add up.
  TWaterEffect water;
  water.SetSize(20, 20);
  water.Blob(10, 10, 2, 5);
  EXPECT_EQ(RaisedCells(water).size(), 13u);
  water.Blob(10, 10, 0, 5);
  EXPECT_EQ(water.Cell(10, 10), 10);
  EXPECT_EQ(water.Cell(12, 10), 5);
}

TEST(WaterEffect, OutOfFieldCoordinatesArePlacedAtRandom) {
  struct Case {
    int width, height, x, y, radius;
    std::vector<int> draws;
    CellSet cells;
  } cases[] = {
      // 332 x 71, radius 1: x = r mod 329 + 2 in 2..330, y = r mod 68 + 2 in 2..69.
      {332, 71, -1, 5, 1, {0}, Plus(2, 5)},
      {332, 71, -1, 5, 1, {328}, Plus(330, 5)},
      {332, 71, 332, 5, 1, {329}, Plus(2, 5)},
      {332, 71, -1, 5, 1, {32766}, Plus(197, 5)},
      {332, 71, -1, -1, 1, {0, 67}, Plus(2, 69)},  // x is drawn first
      {332, 71, -1, -1, 1, {328, 68}, Plus(330, 2)},
      {332, 71, 10, 71, 1, {67}, Plus(10, 69)},
      // A negative divisor (3 - 4 - 1 = -2) still gives a non-negative remainder; the centre may
      // land outside and the clip keeps what reaches the field.
      {3, 3, -1, 1, 2, {5}, {{2, 1}}},
      {3, 3, -1, 1, 2, {4}, {{1, 1}, {2, 0}, {2, 1}, {2, 2}}},
      {3, 3, -1, 1, 2, {32766}, {{1, 1}, {2, 0}, {2, 1}, {2, 2}}},
      // A zero divisor (field exactly as wide as the disc) centres the drop.
      {3, 3, -1, -1, 1, {17, 32766}, Plus(1, 1)},
      {5, 3, 5, 1, 2, {123}, {{0, 1}, {1, 0}, {1, 1}, {1, 2}, {2, 0}, {2, 1}, {2, 2}, {3, 0}, {3, 1}, {3, 2}, {4, 1}}},
  };
  for (const Case& c : cases) {
    ScriptedRandom script{c.draws, {}};
    TWaterEffect water([&script](int n) { return script(n); });
    water.SetSize(c.width, c.height);
    water.Blob(c.x, c.y, c.radius, 9);
    EXPECT_EQ(RaisedCells(water), c.cells) << "drop at " << c.x << "," << c.y << " with " << c.draws[0];
    EXPECT_EQ(script.asked, std::vector<int>(c.draws.size(), 32767));
  }
}

TEST(WaterEffect, DampingKeepsOnlyOneToNinetyNine) {
  TWaterEffect water;
  EXPECT_EQ(water.Damping(), 20);
  struct Case {
    int written, read;
  } steps[] = {{0, 20}, {100, 20}, {1, 1}, {99, 99}, {-1, 99}, {276, 99}, {50, 50}};
  for (const Case& s : steps) {
    water.SetDamping(s.written);
    EXPECT_EQ(water.Damping(), s.read) << "after writing " << s.written;
  }
}

TEST(WaterEffect, EmptyFieldTouchesNothing) {
  const std::pair<int, int> sizes[] = {{-5, 10}, {5, 0}, {0, 0}, {10, -1}, {INT_MIN, INT_MIN},
                                       {TWaterEffect::kMaxSide + 1, 2}};
  for (auto [w, h] : sizes) {
    TWaterEffect water;
    water.SetSize(4, 4);
    water.Blob(1, 1, 1, 100);
    water.SetSize(w, h);
    EXPECT_EQ(water.Width(), 0);
    EXPECT_EQ(water.Height(), 0);

    Picture24 src(4, 4), dst(4, 4);
    src.FillRandom(1);
    const std::vector<std::uint8_t> before = dst.Bytes();
    water.Blob(-1, -1, 1, 500);
    water.Blob(0, 0, 3, 500);
    water.Render(src.View(), dst.View());
    water.Render({}, {});
    EXPECT_EQ(dst.Bytes(), before);
    EXPECT_EQ(water.Cell(0, 0), 0);

    // Usable again after a valid size, and flat.
    water.SetSize(3, 2);
    EXPECT_EQ(water.Width(), 3);
    EXPECT_EQ(water.Height(), 2);
    EXPECT_TRUE(RaisedCells(water).empty());
  }
}

TEST(WaterEffect, ResizeAndClearFlattenBothGenerations) {
  Picture24 src(6, 5), dst(6, 5);
  src.FillRandom(2);

  TWaterEffect resized;
  resized.SetSize(6, 5);
  resized.Blob(2, 2, 1, 300);
  resized.Render(src.View(), dst.View());  // both generations now carry the wave
  resized.SetSize(6, 5);
  resized.Render(src.View(), dst.View());
  EXPECT_TRUE(RaisedCells(resized).empty());
  EXPECT_EQ(dst.Bytes(), src.Bytes());

  TWaterEffect cleared;
  cleared.SetSize(6, 5);
  cleared.Blob(2, 2, 1, 300);
  cleared.Render(src.View(), dst.View());
  cleared.ClearWater();
  EXPECT_EQ(cleared.Width(), 6);
  EXPECT_EQ(cleared.Height(), 5);
  cleared.Render(src.View(), dst.View());
  EXPECT_TRUE(RaisedCells(cleared).empty());
  EXPECT_EQ(dst.Bytes(), src.Bytes());
}

TEST(WaterEffect, FlatFieldDrawsTheSourceUnchangedWithinTheField) {
  // Images larger than the field, padded rows: only the field's area of Dst is written.
  Picture24 src(19, 11, 3), dst(19, 11, 3);
  src.FillRandom(3);
  TWaterEffect water;
  water.SetSize(17, 9);
  water.Render(src.View(), dst.View());
  for (int y = 0; y < 11; ++y) {
    for (int x = 0; x < 19; ++x) {
      const Bgr expected = x < 17 && y < 9 ? src.Get(x, y) : Bgr{Picture24::kSentinel, Picture24::kSentinel,
                                                                  Picture24::kSentinel};
      EXPECT_EQ(dst.Get(x, y), expected) << "at " << x << "," << y;
    }
  }
}

TEST(WaterEffect, SlopesDisplaceAndShadePixels) {
  // A radius-0 drop of 52 raises its eight neighbours to 13 * 204 / 256 = 10 after one step,
  // a drop of 8 to 1. The image is one pixel larger than the field each way, so a sample taken
  // from outside the field would show.
  constexpr int kW = 30, kH = 24;
  struct Case {
    const char* what;
    int drop_x, drop_y, height;
    int px, py;    // pixel looked at
    int sx, sy;    // source pixel it should come from
    Bgr source;
    Bgr expected;
  } cases[] = {
      {"dx -10 brightens and clamps", 17, 12, 52, 15, 12, 5, 12, {250, 100, 251}, {255, 110, 255}},
      {"dx -10 brightens and clamps", 17, 12, 52, 15, 12, 5, 12, {0, 246, 3}, {10, 255, 13}},
      {"dx 10 darkens and clamps", 13, 12, 52, 15, 12, 25, 12, {5, 9, 200}, {0, 0, 190}},
      {"dx 10 darkens and clamps", 13, 12, 52, 15, 12, 25, 12, {100, 255, 2}, {90, 245, 0}},
      {"dy only moves", 15, 14, 52, 15, 12, 15, 2, {1, 2, 3}, {1, 2, 3}},
      {"right border, dx 1", kW - 3, 12, 8, kW - 1, 12, kW - 1, 12, {40, 50, 60}, {40, 50, 60}},
      {"left border, dx -1", 2, 12, 8, 0, 12, 0, 12, {40, 50, 60}, {40, 50, 60}},
      {"top border, dy -1", 15, 2, 8, 15, 0, 15, 0, {40, 50, 60}, {40, 50, 60}},
      {"bottom border, dy 1", 15, kH - 3, 8, 15, kH - 1, 15, kH - 1, {40, 50, 60}, {40, 50, 60}},
  };
  for (const Case& c : cases) {
    Picture24 src(kW + 1, kH + 1, 1), dst(kW + 1, kH + 1, 1);
    src.FillRandom(4);
    src.Set(c.sx, c.sy, c.source);
    // What a faulty sampler would pick instead: next to the pixel, or outside the field.
    src.Set(kW, c.py, {200, 200, 200});
    src.Set(c.px, kH, {200, 200, 200});
    TWaterEffect water;
    water.SetSize(kW, kH);
    water.Blob(c.drop_x, c.drop_y, 0, c.height);
    water.Render(src.View(), dst.View());
    EXPECT_EQ(dst.Get(c.px, c.py), c.expected) << c.what;
    EXPECT_EQ(dst.Get(kW, c.py), (Bgr{Picture24::kSentinel, Picture24::kSentinel, Picture24::kSentinel}));
  }
}

TEST(WaterEffect, BottomUpPaddedImagesDrawLikeTopDownOnes) {
  constexpr int kW = 33, kH = 17;
  struct Layout {
    bool src_bottom_up;
    int src_padding;
    bool dst_bottom_up;
    int dst_padding;
  } layouts[] = {{true, 1, true, 1}, {true, 3, false, 0}, {false, 2, true, 3}};

  Picture24 plain_src(kW, kH), plain_dst(kW, kH);
  plain_src.FillRandom(5);
  for (const Layout& l : layouts) {
    Picture24 src(kW, kH, l.src_padding, l.src_bottom_up), dst(kW, kH, l.dst_padding, l.dst_bottom_up);
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) src.Set(x, y, plain_src.Get(x, y));
    const std::vector<std::uint8_t> src_bytes = src.Bytes();

    std::mt19937 a(7), b(7);
    TWaterEffect plain([&a](int n) { return static_cast<int>(a() % n); });
    TWaterEffect flipped([&b](int n) { return static_cast<int>(b() % n); });
    plain.SetSize(kW, kH);
    flipped.SetSize(kW, kH);
    for (int frame = 0; frame < 40; ++frame) {
      if (frame % 3 == 0) {
        plain.Blob(-1, -1, 1, 400);
        flipped.Blob(-1, -1, 1, 400);
      }
      plain.Render(plain_src.View(), plain_dst.View());
      flipped.Render(src.View(), dst.View());
    }
    int differing = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        EXPECT_EQ(dst.Get(x, y), plain_dst.Get(x, y)) << "at " << x << "," << y;
        differing += plain_dst.Get(x, y) != plain_src.Get(x, y);
      }
    EXPECT_GT(differing, 0) << "the water should have moved the picture";
    EXPECT_EQ(src.Bytes(), src_bytes);
    // Row padding keeps its sentinel.
    const int dst_stride = 3 * kW + l.dst_padding;
    for (std::size_t i = 0; i < dst.Bytes().size(); ++i) {
      if (static_cast<int>(i % dst_stride) >= 3 * kW) {
        EXPECT_EQ(dst.Bytes()[i], Picture24::kSentinel);
      }
    }
  }
}

TEST(WaterEffect, ImagesSmallerThanTheFieldAreNotDrawn) {
  struct Case {
    const char* what;
    int src_w, src_h, dst_w, dst_h;
    bool src_pixels, dst_pixels;
  } cases[] = {
      {"narrow source", 7, 8, 8, 8, true, true},
      {"short source", 8, 7, 8, 8, true, true},
      {"narrow destination", 8, 8, 7, 8, true, true},
      {"short destination", 8, 8, 8, 7, true, true},
      {"no source pixels", 8, 8, 8, 8, false, true},
      {"no destination pixels", 8, 8, 8, 8, true, false},
  };
  for (const Case& c : cases) {
    Picture24 src(c.src_w, c.src_h), dst(c.dst_w, c.dst_h);
    src.FillRandom(6);
    const std::vector<std::uint8_t> src_before = src.Bytes(), dst_before = dst.Bytes();
    Image24 src_view = src.View(), dst_view = dst.View();
    if (!c.src_pixels) src_view.row0 = nullptr;
    if (!c.dst_pixels) dst_view.row0 = nullptr;
    TWaterEffect water;
    water.SetSize(8, 8);
    water.Blob(4, 4, 1, 500);
    water.Render(src_view, dst_view);
    EXPECT_EQ(dst.Bytes(), dst_before) << c.what;
    EXPECT_EQ(src.Bytes(), src_before) << c.what;
    EXPECT_EQ(water.Cell(4, 4), 398) << c.what << ": the water still advances";
  }
}

TEST(WaterEffect, ExtremeHeightsAndRadiiStayDefined) {
  Picture24 src(6, 6), dst(6, 6);
  src.FillRandom(8);
  TWaterEffect water([](int) { return 32766; });
  water.SetSize(6, 6);
  water.Blob(2, 2, 0, INT_MAX);
  water.Blob(2, 2, 0, INT_MAX);
  EXPECT_EQ(water.Cell(2, 2), INT_MAX);
  water.Blob(3, 3, 0, INT_MIN);
  water.Blob(3, 3, 0, INT_MIN);
  EXPECT_EQ(water.Cell(3, 3), INT_MIN);
  for (int i = 0; i < 5; ++i) water.Render(src.View(), dst.View());

  // A huge radius from inside covers the whole field; from a random spot far outside, none of it.
  water.SetSize(6, 6);
  water.Blob(0, 5, INT_MAX, 1);
  EXPECT_EQ(RaisedCells(water).size(), 36u);
  water.ClearWater();
  water.Blob(-1, -1, INT_MAX, 1);
  water.Blob(INT_MIN, INT_MAX, INT_MIN, 1);
  EXPECT_TRUE(RaisedCells(water).empty());
}

// Cell-by-cell transcription of the ripple rules on whole-field loops, to check the border and
// interior paths of the effect on small, oddly shaped fields.
class ReferenceWater {
 public:
  ReferenceWater(int w, int h) : w_(w), h_(h), cur_(w * h), prev_(w * h) {}

  void Drop(int cx, int cy, int r, int height) {
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x)
        if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) cur_[y * w_ + x] += height;
  }
  void Step(int k) {
    std::vector<long long> next(w_ * h_);
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) {
        long long s = 0;
        for (int j = -1; j <= 1; ++j)
          for (int i = -1; i <= 1; ++i)
            if (i != 0 || j != 0) s += H(x + i, y + j);
        next[y * w_ + x] = (s / 4 - prev_[y * w_ + x]) * k / 256;
      }
    prev_ = cur_;
    cur_ = next;
  }
  void Draw(Picture24& src, Picture24& dst) const {
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) {
        const long long dx = H(x - 1, y) - H(x + 1, y);
        const long long dy = H(x, y - 1) - H(x, y + 1);
        if (x + dx < 0 || x + dx >= w_ || y + dy < 0 || y + dy >= h_) {
          dst.Set(x, y, src.Get(x, y));
          continue;
        }
        Bgr c = src.Get(static_cast<int>(x + dx), static_cast<int>(y + dy));
        for (auto& byte : c) byte = static_cast<std::uint8_t>(std::clamp<long long>(byte - dx, 0, 255));
        dst.Set(x, y, c);
      }
  }
  long long H(int x, int y) const {
    return cur_[std::clamp(y, 0, h_ - 1) * w_ + std::clamp(x, 0, w_ - 1)];
  }

 private:
  int w_, h_;
  std::vector<long long> cur_, prev_;
};

// Drops the same drop into the effect and the model.
void DropBoth(TWaterEffect& water, ReferenceWater& model, int x, int y, int r, int height) {
  water.Blob(x, y, r, height);
  model.Drop(x, y, r, height);
}

// Runs one frame of the effect and of the model (at the effect's damping), and compares every cell
// and every drawn pixel.
::testing::AssertionResult NextFrameMatches(TWaterEffect& water, ReferenceWater& model, Picture24& src, Picture24& dst,
                                            Picture24& expected, int w, int h) {
  water.Render(src.View(), dst.View());
  model.Step((100 - water.Damping()) * 256 / 100);
  model.Draw(src, expected);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (water.Cell(x, y) != model.H(x, y)) {
        return ::testing::AssertionFailure()
               << "cell at " << x << "," << y << ": " << water.Cell(x, y) << ", the rules give " << model.H(x, y);
      }
      const Bgr drawn = dst.Get(x, y), wanted = expected.Get(x, y);
      if (drawn != wanted) {
        return ::testing::AssertionFailure() << "pixel at " << x << "," << y << ": " << ::testing::PrintToString(drawn)
                                             << ", the rules give " << ::testing::PrintToString(wanted);
      }
    }
  return ::testing::AssertionSuccess();
}

TEST(WaterEffect, MatchesTheCellRulesOnOddShapes) {
  const std::pair<int, int> sizes[] = {{1, 1}, {1, 6}, {6, 1}, {2, 2}, {2, 5}, {7, 3}, {12, 9}};
  std::mt19937 gen(11);
  for (auto [w, h] : sizes) {
    Picture24 src(w, h, 1), dst(w, h, 2, true), expected(w, h);
    src.FillRandom(static_cast<std::uint32_t>(w * 100 + h));
    TWaterEffect water;
    water.SetDamping(10);
    water.SetSize(w, h);
    ReferenceWater model(w, h);
    for (int frame = 0; frame < 25; ++frame) {
      for (int drops = static_cast<int>(gen() % 3); drops > 0; --drops) {
        const int x = static_cast<int>(gen() % w), y = static_cast<int>(gen() % h);
        const int r = static_cast<int>(gen() % 4), height = static_cast<int>(gen() % 1201) - 600;
        DropBoth(water, model, x, y, r, height);
      }
      ASSERT_TRUE(NextFrameMatches(water, model, src, dst, expected, w, h)) << w << "x" << h << " frame " << frame;
    }
  }
}

void CheckAboutFieldAgainstTheCellRules();

// The About window's field with its bottom-up, padded pictures: heights that stay small and
// heights far beyond 2^21 (and back), all drawn exactly as the cell rules say.
TEST(WaterEffect, MatchesTheCellRulesOnTheAboutFieldAtEveryHeight) {
  for (const bool avx2 : {true, false}) {
    SCOPED_TRACE(avx2 ? "AVX2 where the processor has it" : "without AVX2");
    TWaterEffect::AllowAvx2(avx2);
    CheckAboutFieldAgainstTheCellRules();
  }
  TWaterEffect::AllowAvx2(true);
}

void CheckAboutFieldAgainstTheCellRules() {
  constexpr int w = 332, h = 71;
  Picture24 src(w, h, 4, true), dst(w, h, 4, true), expected(w, h);
  src.FillRandom(5);
  std::mt19937 gen(17);
  TWaterEffect water;
  water.SetSize(w, h);
  ReferenceWater model(w, h);
  for (int frame = 0; frame < 60; ++frame) {
    const bool huge = frame >= 20 && frame < 24;
    for (int drops = 1 + static_cast<int>(gen() % 6); drops > 0; --drops) {
      const int x = static_cast<int>(gen() % w), y = static_cast<int>(gen() % h);
      const int r = static_cast<int>(gen() % 3);
      const int height = huge ? 3000000 - static_cast<int>(gen() % 6000000) : static_cast<int>(gen() % 1100) - 550;
      DropBoth(water, model, x, y, r, height);
    }
    ASSERT_TRUE(NextFrameMatches(water, model, src, dst, expected, w, h)) << "frame " << frame;
  }
}

}  // namespace
}  // namespace callwright
