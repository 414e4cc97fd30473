#include "shell/polygon_fill.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr int W = 40, H = 30;

struct Canvas {
  std::vector<uint16_t> pixels = std::vector<uint16_t>(W * H, 0);
  Fill_Target target() { return {pixels.data(), W, H}; }
  uint16_t at(int x, int y) const { return pixels[y * W + x]; }
  int count(uint16_t colour) const {
    int n = 0;
    for (uint16_t p : pixels) n += p == colour;
    return n;
  }
};

Fill_Point px(int x, int y) { return {x * 256, y * 256}; }

// A 20 x 20 square at (0, 0) with a 10 x 10 square hole at (5, 5).
std::vector<Fill_Point> square_with_hole(bool hole_reversed) {
  std::vector<Fill_Point> p = {px(0, 0), px(20, 0), px(20, 20), px(0, 20)};
  if (hole_reversed) {
    p.insert(p.end(), {px(5, 5), px(5, 15), px(15, 15), px(15, 5)});
  } else {
    p.insert(p.end(), {px(5, 5), px(15, 5), px(15, 15), px(5, 15)});
  }
  return p;
}

}  // namespace

TEST(PolygonFill, EvenOddLeavesTheHoleOpenWhateverItsDirection) {
  for (bool reversed : {false, true}) {
    Canvas c;
    const std::vector<Fill_Point> p = square_with_hole(reversed);
    const int32_t sizes[] = {4, 4};
    Fill_Polygons_Even_Odd(c.target(), p.data(), sizes, 2, {0, 0, W, H}, 7);
    EXPECT_EQ(c.count(7), 400 - 100) << reversed;
    EXPECT_EQ(c.at(0, 0), 7);
    EXPECT_EQ(c.at(19, 19), 7);
    EXPECT_EQ(c.at(4, 10), 7);
    EXPECT_EQ(c.at(5, 5), 0);    // the hole starts at its top-left corner pixel
    EXPECT_EQ(c.at(14, 14), 0);
    EXPECT_EQ(c.at(15, 10), 7);  // and ends before its right edge
    EXPECT_EQ(c.at(20, 10), 0);  // the square's right and bottom edges are exclusive
    EXPECT_EQ(c.at(10, 20), 0);
  }
}

TEST(PolygonFill, SelfCrossingStarHasAnEmptyCentre) {
  Canvas c;
  // A five-pointed star drawn as one crossing contour (points in 1/256 pixel).
  const std::vector<Fill_Point> star = {{20 * 256, 1 * 256},  {31 * 256, 28 * 256}, {3 * 256, 11 * 256},
                                        {37 * 256, 11 * 256}, {9 * 256, 28 * 256}};
  const int32_t sizes[] = {5};
  Fill_Polygons_Even_Odd(c.target(), star.data(), sizes, 1, {0, 0, W, H}, 1);
  EXPECT_EQ(c.at(20, 16), 0);  // the pentagon in the middle is crossed twice
  EXPECT_EQ(c.at(20, 6), 1);   // top tip
  EXPECT_EQ(c.at(6, 12), 1);   // left tip
  EXPECT_EQ(c.at(33, 12), 1);  // right tip
  EXPECT_EQ(c.at(0, 0), 0);
}

TEST(PolygonFill, ClipsToTheRectangleAndTheBuffer) {
  struct Case {
    Fill_Rect clip;
    int dx, dy;  // where the square with its hole is placed
    int expected;
  };
  const Case cases[] = {
      {{0, 0, 10, 10}, 0, 0, 100 - 25},      // the hole's top-left quarter is inside the clip
      {{0, 0, 5, 30}, 0, 0, 5 * 20},         // a strip left of the hole
      {{-100, -100, 500, 500}, -10, -10, 100 - 25},  // three quarters lie off the buffer
      {{0, 0, 40, 30}, 30, 20, 100 - 25},   // hanging over the right and bottom edges
      {{12, 12, 12, 30}, 0, 0, 0},           // empty clip
  };
  for (const Case& k : cases) {
    Canvas c;
    std::vector<Fill_Point> p = square_with_hole(false);
    for (Fill_Point& q : p) q = {q.x + k.dx * 256, q.y + k.dy * 256};
    const int32_t sizes[] = {4, 4};
    Fill_Polygons_Even_Odd(c.target(), p.data(), sizes, 2, k.clip, 3);
    EXPECT_EQ(c.count(3), k.expected) << k.clip.left << "," << k.clip.top << " at " << k.dx;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x)
        if (x < k.clip.left || x >= k.clip.right || y < k.clip.top || y >= k.clip.bottom) {
          ASSERT_EQ(c.at(x, y), 0) << x << "," << y;
        }
  }
}

TEST(PolygonFill, FarOffVerticesStillFillTheVisiblePart) {
  Canvas c;
  // A square with corners at the ends of the coordinate range covers the buffer;
  // a triangle with far-off corners still splits it along its diagonal.
  const std::vector<Fill_Point> huge = {{INT32_MIN, INT32_MIN}, {INT32_MAX, INT32_MIN},
                                        {INT32_MAX, INT32_MAX}, {INT32_MIN, INT32_MAX}};
  const int32_t sizes[] = {4};
  Fill_Polygons_Even_Odd(c.target(), huge.data(), sizes, 1, {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, 5);
  EXPECT_EQ(c.count(5), W * H);
  Canvas d;
  const std::vector<Fill_Point> wedge = {{-(1 << 29), -(1 << 29)}, {(1 << 29) + 256 * 10, 1 << 29}, {-(1 << 29), 1 << 29}};
  const int32_t three[] = {3};
  Fill_Polygons_Even_Odd(d.target(), wedge.data(), three, 1, {0, 0, W, H}, 5);
  EXPECT_EQ(d.at(0, 20), 5);
  EXPECT_EQ(d.at(39, 0), 0);
}

TEST(PolygonFill, NeighboursSharingAnEdgeNeitherOverlapNorLeaveAGap) {
  // Pairs of shapes that tile a rectangle: two triangles split along a slanted
  // diagonal, two rectangles sharing a vertical edge.
  struct Pair {
    std::vector<Fill_Point> first, second;
    int area;
  };
  const Pair pairs[] = {
      {{px(0, 0), px(13, 0), px(0, 9)}, {px(13, 0), px(13, 9), px(0, 9)}, 13 * 9},
      {{px(20, 0), px(27, 0), px(27, 9), px(20, 9)}, {px(27, 0), px(35, 0), px(35, 9), px(27, 9)}, 15 * 9},
      {{px(0, 0), px(30, 0), px(30, 7)}, {px(0, 0), px(30, 7), px(0, 7)}, 30 * 7},
  };
  for (const Pair& pair : pairs) {
    Canvas one, two;
    const int32_t first_size[] = {static_cast<int32_t>(pair.first.size())};
    const int32_t second_size[] = {static_cast<int32_t>(pair.second.size())};
    Fill_Polygons_Even_Odd(one.target(), pair.first.data(), first_size, 1, {0, 0, W, H}, 1);
    Fill_Polygons_Even_Odd(two.target(), pair.second.data(), second_size, 1, {0, 0, W, H}, 1);
    EXPECT_EQ(one.count(1) + two.count(1), pair.area);
    for (int i = 0; i < W * H; ++i) ASSERT_FALSE(one.pixels[i] == 1 && two.pixels[i] == 1) << i;
  }
}

TEST(PolygonFill, FrameFillsOnlyBetweenTheRectangles) {
  Canvas c;
  Fill_Rect_Frame(c.target(), {2, 2, 22, 17}, {5, 6, 15, 10}, 9);
  EXPECT_EQ(c.count(9), 20 * 15 - 10 * 4);
  EXPECT_EQ(c.at(5, 6), 0);
  EXPECT_EQ(c.at(4, 6), 9);
  EXPECT_EQ(c.at(15, 9), 9);
  // An inner rectangle reaching outside is cut to the outer one first.
  Canvas d;
  Fill_Rect_Frame(d.target(), {0, 0, 10, 10}, {5, -5, 20, 20}, 9);
  EXPECT_EQ(d.count(9), 50);
}
