#include "shell/polygon_fill.h"

#include <algorithm>
#include <vector>

namespace {

int64_t floor_div(int64_t a, int64_t b) {  // b > 0
  int64_t q = a / b;
  if ((a % b) != 0 && a < 0) --q;
  return q;
}

int64_t ceil_div(int64_t a, int64_t b) { return -floor_div(-a, b); }  // b > 0

// The part of rect inside the buffer, possibly empty (right <= left).
Fill_Rect clip_to_target(const Fill_Target& target, Fill_Rect r) {
  r.left = std::max(r.left, 0);
  r.top = std::max(r.top, 0);
  r.right = std::min(r.right, target.width);
  r.bottom = std::min(r.bottom, target.height);
  return r;
}

struct Edge {
  int64_t x0, y0, x1, y1;  // y0 < y1, 1/256 pixel
};

// Vertices are held within a million pixels of the origin, far beyond any
// buffer, so that the crossing arithmetic below cannot overflow 64 bits.
int64_t held(int32_t v) { return std::clamp<int64_t>(v, -(int64_t{1} << 28), int64_t{1} << 28); }

}  // namespace

void Fill_Rect_Solid(const Fill_Target& target, Fill_Rect rect, uint16_t colour) {
  Fill_Rect r = clip_to_target(target, rect);
  if (r.right <= r.left || r.bottom <= r.top) return;
  for (int32_t y = r.top; y < r.bottom; ++y) {
    uint16_t* row = target.pixels + static_cast<size_t>(y) * static_cast<size_t>(target.width);
    std::fill(row + r.left, row + r.right, colour);
  }
}

void Fill_Rect_Frame(const Fill_Target& target, Fill_Rect outer, Fill_Rect inner, uint16_t colour) {
  if (outer.right <= outer.left || outer.bottom <= outer.top) return;
  inner.left = std::clamp(inner.left, outer.left, outer.right);
  inner.right = std::clamp(inner.right, inner.left, outer.right);
  inner.top = std::clamp(inner.top, outer.top, outer.bottom);
  inner.bottom = std::clamp(inner.bottom, inner.top, outer.bottom);
  // Four bands: above, below, and left and right of the inner rectangle.
  Fill_Rect_Solid(target, {outer.left, outer.top, outer.right, inner.top}, colour);
  Fill_Rect_Solid(target, {outer.left, inner.bottom, outer.right, outer.bottom}, colour);
  Fill_Rect_Solid(target, {outer.left, inner.top, inner.left, inner.bottom}, colour);
  Fill_Rect_Solid(target, {inner.right, inner.top, outer.right, inner.bottom}, colour);
}

void Fill_Polygons_Even_Odd(const Fill_Target& target, const Fill_Point* points,
                            const int32_t* contour_sizes, int32_t contour_count, Fill_Rect clip,
                            uint16_t colour) {
  Fill_Rect box = clip_to_target(target, clip);
  if (box.right <= box.left || box.bottom <= box.top || contour_count <= 0) return;

  std::vector<Edge> edges;
  int64_t y_min = INT64_MAX, y_max = INT64_MIN;
  size_t first = 0;
  for (int32_t c = 0; c < contour_count; ++c) {
    const int32_t n = contour_sizes[c];
    if (n <= 0) continue;
    for (int32_t j = 0; j < n; ++j) {
      const Fill_Point& a = points[first + static_cast<size_t>(j)];
      const Fill_Point& b = points[first + static_cast<size_t>((j + 1) % n)];
      const int64_t ax = held(a.x), ay = held(a.y), bx = held(b.x), by = held(b.y);
      if (ay == by) continue;  // horizontal edges never cross a sample row
      Edge e = ay < by ? Edge{ax, ay, bx, by} : Edge{bx, by, ax, ay};
      y_min = std::min(y_min, e.y0);
      y_max = std::max(y_max, e.y1);
      edges.push_back(e);
    }
    first += static_cast<size_t>(n);
  }
  if (edges.empty()) return;
  std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.y0 < b.y0; });

  // Rows whose centre line (y + 0.5) lies in [y_min, y_max).
  const int64_t row_first = std::max<int64_t>(box.top, ceil_div(y_min - 128, 256));
  const int64_t row_end = std::min<int64_t>(box.bottom, ceil_div(y_max - 128, 256));
  std::vector<int64_t> crossings;
  for (int64_t row = row_first; row < row_end; ++row) {
    const int64_t ys = row * 256 + 128;
    crossings.clear();
    for (const Edge& e : edges) {
      if (e.y0 > ys) break;
      if (ys >= e.y1) continue;  // half-open: a vertex shared by two edges counts once
      crossings.push_back(e.x0 + floor_div((ys - e.y0) * (e.x1 - e.x0), e.y1 - e.y0));
    }
    std::sort(crossings.begin(), crossings.end());
    uint16_t* line = target.pixels + static_cast<size_t>(row) * static_cast<size_t>(target.width);
    for (size_t k = 0; k + 1 < crossings.size(); k += 2) {
      // Pixels whose centre lies in [crossing k, crossing k+1).
      const int64_t from = std::max<int64_t>(box.left, ceil_div(crossings[k] - 128, 256));
      const int64_t to = std::min<int64_t>(box.right, ceil_div(crossings[k + 1] - 128, 256));
      if (from < to) std::fill(line + from, line + to, colour);
    }
  }
}
