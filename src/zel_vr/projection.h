// The projection shared by the plain and the fast renderer: camera set-up, the
// per-pixel cube lookup and the bilinear texel filter. Both renderers go through
// the same float operations in the same order, so they pick the same texels and
// weights; only the speed differs.
#pragma once
#include <cmath>
#include <cstdint>

namespace zel_vr {

// Rays of one view: the ray through the centre of destination pixel (x, y) is
// row = base + y * down, then ray = row + x * step (each a float multiply then add).
struct View_Setup {
  float base[3];
  float step[3];
  float down[3];
  int width = 0;
  int height = 0;
  bool spans = true;  // interpolate within spans (see Span); off for very wide views
};

View_Setup Make_View_Setup(float horizontal, float vertical, float roll, float fov, int width, int height,
                           float pixel_aspect);

// Face coordinates in 1/32 of a pixel, texel centres at multiples of 32: a value
// U covers texels U >> 5 and (U >> 5) + 1 with weight (U & 31) / 32 on the second.
// The range is -16 .. 16368, so texel -1 and 512 (the neighbour faces) can occur.
constexpr int Sub_Bits = 5;

struct Cube_Point {
  int face;
  int u;
  int v;
};

inline Cube_Point Locate_Ray(float dx, float dy, float dz) {
  const float ax = std::fabs(dx), ay = std::fabs(dy), az = std::fabs(dz);
  float s, t, inv;
  int face;
  if (az >= ax && az >= ay) {
    inv = 1.0f / dz;
    s = dx * inv;
    t = -dy * std::fabs(inv);
    face = dz > 0 ? 4 : 5;
  } else if (ax >= ay) {
    inv = 1.0f / dx;
    s = -dz * inv;
    t = -dy * std::fabs(inv);
    face = dx > 0 ? 3 : 1;
  } else {
    inv = 1.0f / dy;
    s = dx * std::fabs(inv);
    t = dz * inv;
    face = dy > 0 ? 0 : 2;
  }
  s = s < -1.0f ? -1.0f : (s > 1.0f ? 1.0f : s);
  t = t < -1.0f ? -1.0f : (t > 1.0f ? 1.0f : t);
  // (s + 1) * 256 - 0.5 texels, times 32, offset by 64 so the truncation sees a
  // positive value.
  const int u = static_cast<int>(s * 8192.0f + 8240.0f) - 64;
  const int v = static_cast<int>(t * 8192.0f + 8240.0f) - 64;
  return {face, u, v};
}

// Rays are followed exactly at every Span-th pixel of a row (x = 0, 8, 16, ...);
// when both ends of a span land on the same face, the pixels in between take
// face coordinates interpolated linearly between them (the region of one face on
// the screen is convex, so they are on that face too). Spans whose ends lie on
// different faces, and the pixels after the last whole span, are followed one by
// one. Up to a field of view of Span_Fov_Limit the difference from exact rays
// stays below a fifth of a texel; wider views follow every ray.
constexpr int Span = 8;
constexpr int Max_View_Width = 16384;  // widest destination rectangle accepted
constexpr double Span_Fov_Limit = 1.75;  // radians, about 100 degrees

inline int Span_Lerp(int a, int b, int j) { return a + (((b - a) * j) >> 3); }

// 5-6-5 spread over 32 bits (green in the high half) so that one multiply weights
// all three channels: a channel times 32 plus rounding still fits in its field.
constexpr uint32_t Spread_Mask = 0x07E0F81Fu;
constexpr uint32_t Spread_Round = 0x02008010u;  // 16 in each field

inline uint32_t Spread(uint32_t pixel) { return (pixel | (pixel << 16)) & Spread_Mask; }
inline uint16_t Unspread(uint32_t spread) {
  return static_cast<uint16_t>((spread & 0xF81Fu) | ((spread >> 16) & 0x07E0u));
}
inline uint32_t Lerp_Spread(uint32_t a, uint32_t b, uint32_t f) {
  return ((a * (32 - f) + b * f + Spread_Round) >> 5) & Spread_Mask;
}

// Buffer index of face texel (x, y), both 0 to 511, without range checks.
inline int Face_Pixel_Index_Fast(int face, int x, int y) {
  const int right = x >> 8, bottom = y >> 8;
  return (face << 18) | ((right ^ (bottom * 3)) << 16) | ((y & 255) << 8) | (x & 255);
}

// The panorama buffer is allocated with this many spare pixels after the last
// face, so that the fast kernel may read a whole row of eight texels at once.
constexpr int Buffer_Padding = 32;  // keeps the allocation a multiple of 64 bytes

// One filtered sample of the cube at a located point; handles texels beyond the
// face edges (taken from the neighbour faces) and across the tile seams.
uint16_t Sample_Cube(const uint16_t* cube, int face, int u, int v);

// Draws rows first_row .. last_row - 1 of the view from a cube of Buffer_Pixels +
// Buffer_Padding pixels; target points at the view's pixel (0, 0), rows
// row_length pixels apart.
void Render_Rows_Reference(const uint16_t* cube, const View_Setup& setup, uint16_t* target, int row_length,
                           int first_row, int last_row);
void Render_Rows_Fast(const uint16_t* cube, const View_Setup& setup, uint16_t* target, int row_length,
                      int first_row, int last_row);
bool Fast_Path_Available();

// The SIMD kernel (only called when the processor has it), built on x86 only;
// elsewhere the fast renderer is the plain one.
#if defined(__x86_64__) || defined(__i386__)
#define ZEL_VR_HAVE_AVX2_PATH 1
void Render_Rows_Avx2(const uint16_t* cube, const View_Setup& setup, uint16_t* target, int row_length,
                      int first_row, int last_row);
#endif

}  // namespace zel_vr
