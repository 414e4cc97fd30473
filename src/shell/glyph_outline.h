// Letters as outlines: glyphs taken from a scalable font (FreeType, found through
// fontconfig) in the native form of contours of straight and quadratic spline
// segments, and their conversion to closed polygons.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// A point in 16.16 fixed point (integer part x 65536 + fraction, two's
// complement for negative values), y upwards from the baseline.
struct Outline_Point {
  int32_t x, y;
};

// One glyph. points holds, per contour, its start point followed by the points
// of its segments; segments holds, per contour, signed counts: n > 0 is n
// straight points, -n a spline of n control points (the last one on the
// curve), 0 ends the contour.
struct Glyph_Outline {
  int32_t advance = 0;                  // pen advance, pixels << 16
  int32_t abc_a = 0, abc_b = 0, abc_c = 0;  // left bearing, ink width, right bearing, each << 16
  std::vector<Outline_Point> points;
  std::vector<int32_t> segments;
};

// The spline weights (1-t)^2, 2t(1-t), t^2 for t = 0.25, 0.5, 0.75 in 16.16,
// rounded to nearest: weight[t][k].
struct Spline_Weights {
  int32_t weight[3][3];
};
void Spline_Weights_Init(Spline_Weights& weights);

// Closed polygons: contour_sizes[k] consecutive points per contour.
struct Outline_Polygons {
  std::vector<Outline_Point> points;
  std::vector<int32_t> contour_sizes;
};

// Turns the outline into polygons: straight points as they are, each spline as
// quadratic pieces through the midpoints of consecutive control points, every
// piece sampled at the three weights plus its end point; a contour whose last
// point differs from its first gets the first point again. Counts that run past
// the points stop the conversion of that outline (a damaged outline draws what
// precedes the damage).
void Outline_To_Polygons(const Glyph_Outline& outline, const Spline_Weights& weights,
                         Outline_Polygons& out);

// A contour as a font stores it: on-curve points, quadratic (conic) control
// points between which an on-curve midpoint is implied, and cubic control
// points (two between on-curve points).
enum class Source_Point_Kind : uint8_t { On, Conic, Cubic };
struct Source_Point {
  int32_t x, y;  // 16.16
  Source_Point_Kind kind;
};

// Appends one closed contour to the outline in native form. Cubic segments
// become two quadratic splines each (split at their middle). A contour of fewer
// than two points, or one that cannot be read (cubic points not in pairs), adds
// nothing. Returns false when the contour was refused.
bool Append_Native_Contour(const Source_Point* contour, size_t count, Glyph_Outline& outline);

// A scalable font opened at a cell height (ascent + descent) in pixels.
struct Glyph_Font;

// The installed face that best matches the family list (comma separated, e.g.
// "Arial Black,sans-serif") at the weight (100 light .. 900 black); none when
// no scalable face is available.
Glyph_Font* Glyph_Font_Open(const char* families, int32_t weight, int32_t cell_height);
Glyph_Font* Glyph_Font_Open_File(const char* path, int32_t cell_height);
void Glyph_Font_Close(Glyph_Font* font);
int32_t Glyph_Font_Descent(const Glyph_Font* font);  // pixels below the baseline

// The outline of a Windows-1252 character: 0, or -1 with an empty outline when
// the glyph cannot be read.
int32_t Glyph_Outline_Get(Glyph_Font* font, uint8_t character, Glyph_Outline& outline);
