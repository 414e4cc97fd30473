// Filling into a 5-6-5 pixel buffer: solid rectangles and polygons with the
// even-odd (alternate) rule, both clipped to a rectangle.
#pragma once
#include <cstdint>

// Polygon vertices in 1/256 pixel (24.8 fixed point).
struct Fill_Point {
  int32_t x, y;
};

// Pixel rectangle; right and bottom are exclusive.
struct Fill_Rect {
  int32_t left, top, right, bottom;
};

// A pixel buffer of width x height pixels, rows of exactly width pixels.
struct Fill_Target {
  uint16_t* pixels;
  int32_t width, height;
};

// 5-6-5 pixel from 8-bit components.
constexpr uint16_t Pixel_565(int r, int g, int b) {
  return static_cast<uint16_t>(((r & 0xF8) << 8) | ((g & 0xFC) << 3) | ((b & 0xFF) >> 3));
}

// Fills the rectangle (clipped to the buffer).
void Fill_Rect_Solid(const Fill_Target& target, Fill_Rect rect, uint16_t colour);

// Fills every pixel of the rectangle outer that lies outside inner (inner is
// clipped to outer first).
void Fill_Rect_Frame(const Fill_Target& target, Fill_Rect outer, Fill_Rect inner, uint16_t colour);

// Fills contour_count polygons, the k-th made of contour_sizes[k] consecutive
// points (each closed from its last point back to its first), as one shape with
// the even-odd rule: a pixel is set when a ray from its centre crosses the
// edges an odd number of times. Only pixels inside clip and the buffer change.
void Fill_Polygons_Even_Odd(const Fill_Target& target, const Fill_Point* points,
                            const int32_t* contour_sizes, int32_t contour_count, Fill_Rect clip,
                            uint16_t colour);
