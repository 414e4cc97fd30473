#include "shell/glyph_outline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

constexpr int32_t F = 65536;  // one unit in 16.16

Outline_Point pt(double x, double y) {
  return {static_cast<int32_t>(x * F), static_cast<int32_t>(y * F)};
}

std::vector<Outline_Point> polygon_points(const Glyph_Outline& outline, std::vector<int32_t>* sizes = nullptr) {
  Spline_Weights weights;
  Spline_Weights_Init(weights);
  Outline_Polygons polygons;
  Outline_To_Polygons(outline, weights, polygons);
  if (sizes != nullptr) *sizes = polygons.contour_sizes;
  return polygons.points;
}

void expect_points(const std::vector<Outline_Point>& actual, const std::vector<Outline_Point>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(actual[i].x, expected[i].x) << "point " << i;
    EXPECT_EQ(actual[i].y, expected[i].y) << "point " << i;
  }
}

}  // namespace

TEST(GlyphOutline, SplinesAreSampledThroughMidpointsAndContoursClosed) {
  // Contour 1: from (0,0) a spline of three control points (0,8) (8,8) (8,0),
  // which makes two pieces meeting at the midpoint (4,8); closed back to (0,0).
  // Contour 2: a straight triangle already closed on its first point, and a
  // single-control spline, which is a straight point.
  Glyph_Outline g;
  g.points = {pt(0, 0), pt(0, 8), pt(8, 8), pt(8, 0),
              pt(-2, -1), pt(-4, -1), pt(-3, -3.5), pt(-2, -1)};
  g.segments = {-3, 0, 1, -1, 1, 0};
  std::vector<int32_t> sizes;
  const std::vector<Outline_Point> p = polygon_points(g, &sizes);
  ASSERT_EQ(sizes, (std::vector<int32_t>{10, 4}));
  expect_points(p, {pt(0, 0),
                    pt(0.25, 3.5), pt(1, 6), pt(2.25, 7.5), pt(4, 8),
                    pt(5.75, 7.5), pt(7, 6), pt(7.75, 3.5), pt(8, 0),
                    pt(0, 0),
                    pt(-2, -1), pt(-4, -1), pt(-3, -3.5), pt(-2, -1)});
}

TEST(GlyphOutline, DamagedCountsKeepTheContoursBeforeTheDamage) {
  struct Case {
    std::vector<int32_t> segments;
    std::vector<int32_t> expected_sizes;
  };
  // Five points: a triangle (start, 2 lines, closed), then a contour that claims more.
  const Case cases[] = {
      {{2, 0, 7, 0}, {4}},
      {{2, 0, -9, 0}, {4}},
      {{2, 0, INT32_MIN, 0}, {4}},
      {{2, 0, 1}, {4, 3}},        // a last contour without its end mark still ends
      {{0, 0, 0, 0, 0, 0, 0}, {1, 1, 1, 1, 1}},  // contours of only a start point
  };
  for (const Case& k : cases) {
    Glyph_Outline g;
    g.points = {pt(0, 0), pt(4, 0), pt(0, 4), pt(9, 9), pt(9, 5)};
    g.segments = k.segments;
    std::vector<int32_t> sizes;
    const std::vector<Outline_Point> p = polygon_points(g, &sizes);
    EXPECT_EQ(sizes, k.expected_sizes);
    size_t total = 0;
    for (int32_t s : sizes) total += static_cast<size_t>(s);
    EXPECT_EQ(p.size(), total);
  }
}

TEST(GlyphOutline, FontContoursBecomeNativeSegments) {
  using K = Source_Point_Kind;
  auto src = [](double x, double y, K k) { return Source_Point{static_cast<int32_t>(x * F), static_cast<int32_t>(y * F), k}; };
  struct Case {
    const char* name;
    std::vector<Source_Point> contour;
    std::vector<Outline_Point> points;
    std::vector<int32_t> segments;
  };
  const Case cases[] = {
      {"square: the closing line is implied",
       {src(0, 0, K::On), src(4, 0, K::On), src(4, 4, K::On), src(0, 4, K::On)},
       {pt(0, 0), pt(4, 0), pt(4, 4), pt(0, 4)},
       {3, 0}},
      {"starts on a control point: the first on-curve point leads",
       {src(2, 4, K::Conic), src(4, 2, K::On), src(2, 0, K::Conic), src(0, 2, K::On)},
       {pt(4, 2), pt(2, 0), pt(0, 2), pt(2, 4), pt(4, 2)},
       {-2, -2, 0}},
      {"lines, then a spline of two controls, then lines",
       {src(0, 0, K::On), src(6, 0, K::On), src(8, 2, K::Conic), src(8, 6, K::Conic), src(6, 8, K::On),
        src(0, 8, K::On)},
       {pt(0, 0), pt(6, 0), pt(8, 2), pt(8, 6), pt(6, 8), pt(0, 8)},
       {1, -3, 1, 0}},
      {"only control points: starts at the midpoint of the first two",
       {src(0, 0, K::Conic), src(4, 0, K::Conic), src(4, 4, K::Conic), src(0, 4, K::Conic)},
       {pt(2, 0), pt(4, 0), pt(4, 4), pt(0, 4), pt(0, 0), pt(2, 0)},
       {-5, 0}},
      {"cubic: two quadratics meeting at its middle",
       {src(0, 0, K::On), src(0, 8, K::Cubic), src(8, 8, K::Cubic), src(8, 0, K::On)},
       {pt(0, 0), pt(0.5, 6), pt(4, 6), pt(7.5, 6), pt(8, 0)},
       {-2, -2, 0}},
  };
  for (const Case& k : cases) {
    Glyph_Outline g;
    ASSERT_TRUE(Append_Native_Contour(k.contour.data(), k.contour.size(), g)) << k.name;
    EXPECT_EQ(g.segments, k.segments) << k.name;
    expect_points(g.points, k.points);
  }
}

TEST(GlyphOutline, UnreadableFontContoursAddNothing) {
  using K = Source_Point_Kind;
  const std::vector<std::vector<Source_Point>> bad = {
      {{0, 0, K::On}},                                                   // one point
      {{0, 0, K::On}, {F, F, K::Cubic}, {2 * F, 0, K::On}},               // a lone cubic control
      {{0, 0, K::On}, {F, F, K::Conic}, {F, 0, K::Cubic}, {2 * F, 0, K::Cubic}},  // conic then cubic
      {{0, 0, K::Cubic}, {F, F, K::Cubic}, {2 * F, 0, K::Cubic}},         // no on-curve point
  };
  for (const auto& contour : bad) {
    Glyph_Outline g;
    g.points = {pt(1, 1)};
    g.segments = {0};
    EXPECT_FALSE(Append_Native_Contour(contour.data(), contour.size(), g));
    EXPECT_EQ(g.points.size(), 1u);
    EXPECT_EQ(g.segments.size(), 1u);
  }
}

TEST(GlyphOutline, LettersFromTheInstalledHeavyFace) {
  Glyph_Font* font = Glyph_Font_Open("Arial Black,sans-serif", 900, 480);
  if (font == nullptr) GTEST_SKIP() << "no scalable font installed";
  struct Case {
    uint8_t character;
    size_t contours;
  };
  const Case cases[] = {{'O', 2}, {'I', 1}, {'B', 3}, {' ', 0}, {0xC9, 2}};  // 0xC9: E with acute accent
  for (const Case& k : cases) {
    Glyph_Outline g;
    ASSERT_EQ(Glyph_Outline_Get(font, k.character, g), 0) << k.character;
    EXPECT_GT(g.advance, 0);
    EXPECT_EQ(static_cast<size_t>(std::count(g.segments.begin(), g.segments.end(), 0)), k.contours) << k.character;
    if (k.character == 'O') {
      // A capital at a cell height of 480 pixels stands a few hundred pixels tall.
      int32_t low = INT32_MAX, high = INT32_MIN;
      for (const Outline_Point& p : polygon_points(g)) {
        low = std::min(low, p.y);
        high = std::max(high, p.y);
      }
      EXPECT_GT(high - low, 200 * F);
      EXPECT_LT(high - low, 480 * F);
      EXPECT_LT(low, 10 * F);
    }
  }
  EXPECT_GT(Glyph_Font_Descent(font), 0);
  Glyph_Font_Close(font);
}
