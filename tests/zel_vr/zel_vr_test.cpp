#include "zel_vr/zel_vr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "zel_vr/projection.h"

namespace {

constexpr int W = 640, H = 480;

// The engine's conversion of its angles (1/8192 of a turn) to Draw's arguments.
float horizontal_of(int yaw) { return (yaw & 8191) * 0.0007669898f - 1.570795f; }
float vertical_of(int pitch) { return (pitch & 8191) * 0.0007669898f + 1.570795f; }
float radians(float degrees) { return degrees * 0.01745328f; }

uint16_t rgb(int r5, int g6, int b5) { return static_cast<uint16_t>(r5 << 11 | g6 << 5 | b5); }
int red(uint16_t p) { return p >> 11; }
int green(uint16_t p) { return (p >> 5) & 63; }
int blue(uint16_t p) { return p & 31; }

// Paints the buffer with a smooth function of direction, through the helper API.
void paint_smooth(uint16_t* cube) {
  for (int index = 0; index < zel_vr::Buffer_Pixels; ++index) {
    int face, x, y;
    ASSERT_TRUE(zel_vr::Buffer_Index_Pixel(index, &face, &x, &y));
    float d[3];
    zel_vr::Face_Point_Direction(face, x + 0.5f, y + 0.5f, &d[0], &d[1], &d[2]);
    cube[index] = rgb(static_cast<int>(std::lround(15.5f + 15.5f * d[0])),
                      static_cast<int>(std::lround(31.5f + 31.5f * d[1])),
                      static_cast<int>(std::lround(15.5f + 15.5f * d[2])));
  }
}

struct View {
  int yaw, pitch;
  float roll, fov_degrees;
};

std::vector<uint16_t> draw(ZEL_VR& vr, const View& view) {
  std::vector<uint16_t> screen(W * H, 0xDEAD);
  vr.Draw(screen.data(), horizontal_of(view.yaw), vertical_of(view.pitch), view.roll, radians(view.fov_degrees));
  return screen;
}

TEST(ZelVr, FacesAndTheirTilesAppearWhereTheConventionSays) {
  // Every tile of every face gets its own colour, written straight into the
  // stored layout (face f at f * 262144, tiles TL, TR, BR, BL of 65536 pixels).
  ZEL_VR vr;
  uint16_t* cube = vr.Buffer();
  for (int face = 0; face < 6; ++face)
    for (int tile = 0; tile < 4; ++tile)
      for (int i = 0; i < 65536; ++i) cube[face * 262144 + tile * 65536 + i] = rgb(face * 5, tile * 20, 7);

  // Screen points in the four quarters of the view: top-left, top-right,
  // bottom-right, bottom-left; the tile each must show.
  const int points[4][2] = {{160, 120}, {480, 120}, {480, 360}, {160, 360}};
  const struct {
    int yaw, pitch, face;
    int tiles[4];
  } cases[] = {
      {0, 0, 4, {0, 1, 2, 3}},     {2048, 0, 3, {0, 1, 2, 3}},  {4096, 0, 5, {0, 1, 2, 3}},
      {6144, 0, 1, {0, 1, 2, 3}},  {-2048, 0, 1, {0, 1, 2, 3}}, {8192 + 2048, 0, 3, {0, 1, 2, 3}},
      {0, 2048, 0, {0, 1, 2, 3}},  {0, -2048, 2, {0, 1, 2, 3}},
      // Looking up after turning right: the up face seen turned a quarter.
      {2048, 2048, 0, {3, 0, 1, 2}},
  };
  for (const auto& c : cases) {
    const std::vector<uint16_t> screen = draw(vr, {c.yaw, c.pitch, 0.0f, 60.0f});
    for (int q = 0; q < 4; ++q) {
      const uint16_t p = screen[points[q][1] * W + points[q][0]];
      EXPECT_EQ(red(p), c.face * 5) << "yaw " << c.yaw << " pitch " << c.pitch << " quarter " << q;
      EXPECT_EQ(green(p), c.tiles[q] * 20) << "yaw " << c.yaw << " pitch " << c.pitch << " quarter " << q;
    }
  }
}

TEST(ZelVr, SmoothPanoramaDrawsWithoutSeamsAtEdgesAndCorners) {
  ZEL_VR vr;
  paint_smooth(vr.Buffer());
  const View views[] = {
      {1024, 0, 0.0f, 90.0f},      // edge between front and right
      {3072, 1024, 0.0f, 100.0f},  // corner of right, back and up
      {7168, -1024, 0.0f, 100.0f}, // corner of left, front and down
      {500, 2048, 0.0f, 120.0f},   // straight up: the four upper edges
      {5000, -2048, 0.3f, 120.0f}, // straight down, rolled
      {6000, 1300, -0.2f, 20.0f},  // zoomed in near a corner
  };
  for (const View& view : views) {
    const std::vector<uint16_t> screen = draw(vr, view);
    const zel_vr::View_Setup rays = zel_vr::Make_View_Setup(horizontal_of(view.yaw), vertical_of(view.pitch),
                                                            view.roll, radians(view.fov_degrees), W, H, 1.0f);
    int worst_value = 0, worst_step = 0;
    for (int y = 0; y < H; ++y) {
      for (int x = 0; x < W; ++x) {
        // The colour must follow the direction of the pixel's ray...
        float d[3];
        for (int c = 0; c < 3; ++c) d[c] = rays.base[c] + y * rays.down[c] + x * rays.step[c];
        const float n = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        const uint16_t p = screen[y * W + x];
        worst_value = std::max({worst_value, std::abs(red(p) - static_cast<int>(std::lround(15.5f + 15.5f * d[0] / n))),
                                std::abs(green(p) - static_cast<int>(std::lround(31.5f + 31.5f * d[1] / n))),
                                std::abs(blue(p) - static_cast<int>(std::lround(15.5f + 15.5f * d[2] / n)))});
        // ...and change by at most one level from a neighbour.
        for (const uint16_t q : {x + 1 < W ? screen[y * W + x + 1] : p, y + 1 < H ? screen[(y + 1) * W + x] : p}) {
          worst_step = std::max({worst_step, std::abs(red(p) - red(q)), std::abs(green(p) - green(q)),
                                 std::abs(blue(p) - blue(q))});
        }
      }
    }
    EXPECT_LE(worst_value, 1) << "yaw " << view.yaw << " pitch " << view.pitch;
    EXPECT_LE(worst_step, 1) << "yaw " << view.yaw << " pitch " << view.pitch;
  }
}

TEST(ZelVr, FastRendererMatchesThePlainOneOnRandomPanoramas) {
  std::mt19937 random(8);
  std::vector<uint16_t> cube(zel_vr::Buffer_Pixels + zel_vr::Buffer_Padding);
  for (uint16_t& p : cube) p = static_cast<uint16_t>(random());
  std::uniform_real_distribution<float> angle(0.0f, 8192.0f), roll(-3.0f, 3.0f), fov(5.0f, 150.0f);
  // Odd sizes exercise the eight-wide and one-wide tails of the rows.
  const int sizes[][2] = {{640, 480}, {637, 33}, {5, 7}};
  for (int round = 0; round < 12; ++round) {
    const int* size = sizes[round % 3];
    const zel_vr::View_Setup setup =
        zel_vr::Make_View_Setup(horizontal_of(static_cast<int>(angle(random))),
                                vertical_of(static_cast<int>(angle(random))), round < 6 ? 0.0f : roll(random),
                                radians(fov(random)), size[0], size[1], 1.0f);
    std::vector<uint16_t> plain(size[0] * size[1]), fast(size[0] * size[1]);
    zel_vr::Render_Rows_Reference(cube.data(), setup, plain.data(), size[0], 0, size[1]);
    zel_vr::Render_Rows_Fast(cube.data(), setup, fast.data(), size[0], 0, size[1]);
    int differing = 0;
    for (size_t i = 0; i < plain.size(); ++i) {
      const uint16_t a = plain[i], b = fast[i];
      EXPECT_LE(std::abs(red(a) - red(b)), 1);
      EXPECT_LE(std::abs(green(a) - green(b)), 1);
      EXPECT_LE(std::abs(blue(a) - blue(b)), 1);
      differing += a != b;
    }
    EXPECT_EQ(differing, 0) << "round " << round;
  }
  // The renderer object, drawing in bands on two threads, gives the same picture.
  ZEL_VR vr;
  std::copy(cube.begin(), cube.begin() + zel_vr::Buffer_Pixels, vr.Buffer());
  for (int frame = 0; frame < 20; ++frame) {
    const View view = {frame * 411, frame * 97 - 900, 0.0f, 70.0f};
    const std::vector<uint16_t> drawn = draw(vr, view);
    std::vector<uint16_t> plain(W * H);
    zel_vr::Render_Rows_Reference(cube.data(),
                                  zel_vr::Make_View_Setup(horizontal_of(view.yaw), vertical_of(view.pitch), 0.0f,
                                                          radians(view.fov_degrees), W, H, 1.0f),
                                  plain.data(), W, 0, H);
    ASSERT_TRUE(drawn == plain) << "frame " << frame;
  }
}

TEST(ZelVr, SpanInterpolationStaysWithinAFifthOfATexelOfTheExactRays) {
  // Face coordinates interpolated between span ends against the exact ray of
  // every pixel, at the widest view that still interpolates and below it.
  const float limit = static_cast<float>(zel_vr::Span_Fov_Limit);
  int worst = 0;
  for (float fov : {limit, 1.5707963f, 0.5f}) {
    for (int view = 0; view < 24; ++view) {
      const zel_vr::View_Setup setup = zel_vr::Make_View_Setup(
          horizontal_of(view * 523), vertical_of((view * 311) % 3000 - 1500), 0.0f, fov, W, H, 1.0f);
      ASSERT_TRUE(setup.spans);
      for (int y = 0; y < H; y += 7) {
        const auto ray = [&](int x) {
          float d[3];
          for (int c = 0; c < 3; ++c) d[c] = setup.base[c] + y * setup.down[c] + x * setup.step[c];
          return zel_vr::Locate_Ray(d[0], d[1], d[2]);
        };
        for (int x = 0; x < W; x += zel_vr::Span) {
          const zel_vr::Cube_Point start = ray(x), end = ray(x + zel_vr::Span);
          if (start.face != end.face) continue;
          for (int j = 1; j < zel_vr::Span; ++j) {
            const zel_vr::Cube_Point exact = ray(x + j);
            worst = std::max({worst, std::abs(zel_vr::Span_Lerp(start.u, end.u, j) - exact.u),
                              std::abs(zel_vr::Span_Lerp(start.v, end.v, j) - exact.v)});
          }
        }
      }
    }
  }
  EXPECT_LE(worst, 32 / 5);  // in 1/32 of a texel
  EXPECT_FALSE(zel_vr::Make_View_Setup(0, 0, 0, limit + 0.01f, W, H, 1.0f).spans);
}

TEST(ZelVr, DrawFillsExactlyItsRectangleWithTheLiveBuffer) {
  ZEL_VR vr;
  for (int i = 0; i < zel_vr::Buffer_Pixels; ++i) vr.Buffer()[i] = 0x1234;
  // Default rectangle, then one inside longer rows.
  std::vector<uint16_t> screen = draw(vr, {777, 300, 0.0f, 90.0f});
  for (uint16_t p : screen) ASSERT_EQ(p, 0x1234);

  ASSERT_EQ(vr.Init_Resolution(30.0f, 10.0f, 640.0f, 480.0f, 700, 1.0f), 0);
  const int rows = 500, row_length = 700;
  for (int yaw : {0, 1500, 4000}) {
    vr.Buffer()[zel_vr::Direction_To_Pixel_Index(0, 0, 1)] = 0x1234;
    std::vector<uint16_t> target(row_length * rows, 0xDEAD);
    vr.Draw(target.data(), horizontal_of(yaw), vertical_of(-700), 0.0f, radians(75.0f));
    for (int y = 0; y < rows; ++y)
      for (int x = 0; x < row_length; ++x) {
        const bool inside = x >= 30 && x < 670 && y >= 10 && y < 490;
        ASSERT_EQ(target[y * row_length + x], inside ? 0x1234 : 0xDEAD) << x << "," << y;
      }
  }
  // A change to the buffer shows at the next Draw.
  for (int i = 0; i < zel_vr::Buffer_Pixels; ++i) vr.Buffer()[i] = 0x0841;
  std::vector<uint16_t> target(row_length * rows, 0);
  vr.Draw(target.data(), horizontal_of(100), vertical_of(100), 0.0f, radians(90.0f));
  EXPECT_EQ(target[250 * row_length + 350], 0x0841);
}

TEST(ZelVr, InitResolutionRefusesRectanglesOutsideTheRow) {
  ZEL_VR vr;
  const struct {
    float x, y, w, h;
    int row;
    float aspect;
    int result;
  } cases[] = {
      {0, 0, 640, 480, 640, 1.0f, 0},  {0, 0, 320, 200, 320, 1.2f, 0}, {0, 0, 0, 480, 640, 1.0f, -1},
      {0, 0, 640, 0, 640, 1.0f, -1},   {1, 0, 640, 480, 640, 1.0f, -1}, {-1, 0, 10, 10, 640, 1.0f, -1},
      {0, 0, NAN, 480, 640, 1.0f, -1}, {0, 0, 640, 480, 640, 0.0f, -1}, {0, 0, 1e9f, 480, 640, 1.0f, -1},
  };
  for (const auto& c : cases) EXPECT_EQ(vr.Init_Resolution(c.x, c.y, c.w, c.h, c.row, c.aspect), c.result);
}

TEST(ZelVr, FieldOfViewAndRollAreHonoured) {
  // Face 4 carries its column in green (column / 8) and its row in blue (row / 16).
  ZEL_VR vr;
  for (int y = 0; y < 512; ++y)
    for (int x = 0; x < 512; ++x) vr.Buffer()[zel_vr::Face_Pixel_Index(4, x, y)] = rgb(0, x >> 3, y >> 4);
  const struct {
    float fov, roll;
    int screen_x, screen_y;
    float across, down;  // screen offset from the centre in units of tan(fov / 2)
  } cases[] = {
      {85, 0, 0, 240, -319.5f / 320, 0.5f / 320},   {85, 0, 639, 240, 319.5f / 320, 0.5f / 320},
      {60, 0, 0, 240, -319.5f / 320, 0.5f / 320},   {30, 0, 639, 240, 319.5f / 320, 0.5f / 320},
      {60, 0, 320, 0, 0.5f / 320, -239.5f / 320},   {60, 0, 320, 479, 0.5f / 320, 239.5f / 320},
      // Rolled a quarter turn clockwise: screen up shows the face's right side.
      {60, 1.5707963f, 320, 0, 239.5f / 320, 0.5f / 320},
      {60, 1.5707963f, 639, 240, -0.5f / 320, 319.5f / 320},
  };
  for (const auto& c : cases) {
    const std::vector<uint16_t> screen = draw(vr, {0, 0, c.roll, c.fov});
    const float scale = std::tan(radians(c.fov) / 2);
    const float column = (c.across * scale + 1) * 256 - 0.5f, row = (c.down * scale + 1) * 256 - 0.5f;
    const uint16_t p = screen[c.screen_y * W + c.screen_x];
    EXPECT_NEAR(green(p), column / 8, 1.0) << "fov " << c.fov << " at " << c.screen_x << "," << c.screen_y;
    EXPECT_NEAR(blue(p), row / 16, 1.0) << "fov " << c.fov << " at " << c.screen_x << "," << c.screen_y;
  }
}

TEST(ZelVr, HelperDirectionsAndIndicesAgree) {
  for (int face = 0; face < 6; ++face) {
    for (int y : {0, 1, 255, 256, 300, 510, 511}) {
      for (int x : {0, 1, 255, 256, 400, 511}) {
        const int index = zel_vr::Face_Pixel_Index(face, x, y);
        int f, px, py;
        ASSERT_TRUE(zel_vr::Buffer_Index_Pixel(index, &f, &px, &py));
        EXPECT_EQ(f * 1000000 + px * 1000 + py, face * 1000000 + x * 1000 + y);
        float d[3];
        zel_vr::Face_Point_Direction(face, x + 0.5f, y + 0.5f, &d[0], &d[1], &d[2]);
        EXPECT_EQ(zel_vr::Direction_To_Pixel_Index(d[0], d[1], d[2]), index);
      }
    }
  }
  EXPECT_EQ(zel_vr::Direction_To_Pixel_Index(0, 0, 0), -1);
  EXPECT_EQ(zel_vr::Face_Pixel_Index(6, 0, 0), -1);
  EXPECT_EQ(zel_vr::Face_Pixel_Index(0, 512, 0), -1);
  // The view centre of the engine's angles lies on the face the view shows.
  const struct { int yaw, pitch, face; } centres[] = {{0, 0, 4}, {2048, 0, 3}, {4096, 0, 5}, {6144, 0, 1},
                                                      {0, 2048, 0}, {0, -2048, 2}};
  for (const auto& c : centres) {
    float d[3], x, y;
    zel_vr::Angles_Direction(c.yaw, c.pitch, &d[0], &d[1], &d[2]);
    EXPECT_EQ(zel_vr::Direction_To_Face(d[0], d[1], d[2], &x, &y), c.face);
  }
}

}  // namespace
