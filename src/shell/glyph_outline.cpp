#include "shell/glyph_outline.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>

#ifdef OSTERLIN_HAVE_FREETYPE
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H
#endif

void Spline_Weights_Init(Spline_Weights& weights) {
  for (int k = 0; k < 3; ++k) {
    const double t = 0.25 * (k + 1);
    const double w[3] = {(1 - t) * (1 - t), 2 * t * (1 - t), t * t};
    for (int j = 0; j < 3; ++j) weights.weight[k][j] = static_cast<int32_t>(std::lround(w[j] * 65536.0));
  }
}

// ---------------------------------------------------------------------------
// Native outline to polygons

namespace {

Outline_Point midpoint(Outline_Point a, Outline_Point b) {
  return {static_cast<int32_t>((int64_t{a.x} + b.x) >> 1), static_cast<int32_t>((int64_t{a.y} + b.y) >> 1)};
}

// One quadratic piece from a to b with control c: the three weighted samples and b.
void add_quadratic_piece(const Spline_Weights& weights, Outline_Point a, Outline_Point c, Outline_Point b,
                         std::vector<Outline_Point>& out) {
  for (const auto& w : weights.weight) {
    const int64_t x = int64_t{w[0]} * a.x + int64_t{w[1]} * c.x + int64_t{w[2]} * b.x;
    const int64_t y = int64_t{w[0]} * a.y + int64_t{w[1]} * c.y + int64_t{w[2]} * b.y;
    out.push_back({static_cast<int32_t>(x >> 16), static_cast<int32_t>(y >> 16)});
  }
  out.push_back(b);
}

}  // namespace

void Outline_To_Polygons(const Glyph_Outline& outline, const Spline_Weights& weights, Outline_Polygons& out) {
  out.points.clear();
  out.contour_sizes.clear();
  const std::vector<Outline_Point>& src = outline.points;
  size_t p = 0;  // next source point
  size_t s = 0;  // next segment count
  while (s < outline.segments.size() && p < src.size()) {
    const size_t contour_first = out.points.size();
    const Outline_Point first = src[p++];
    out.points.push_back(first);
    Outline_Point previous = first;
    bool damaged = false;
    while (s < outline.segments.size()) {
      const int64_t n = outline.segments[s++];
      if (n == 0) break;
      const uint64_t count = static_cast<uint64_t>(n > 0 ? n : -n);
      if (count > src.size() - p) {
        damaged = true;
        break;
      }
      if (n > 0 || count == 1) {  // straight points (a one-point spline is a straight line)
        out.points.insert(out.points.end(), src.begin() + static_cast<ptrdiff_t>(p),
                          src.begin() + static_cast<ptrdiff_t>(p + count));
      } else {
        // Pieces through the midpoints of consecutive control points; the first
        // starts at the previous point, the last ends at the last point.
        Outline_Point start = previous;
        for (size_t k = 0; k + 1 < count; ++k) {
          const Outline_Point control = src[p + k];
          const Outline_Point end = k + 2 == count ? src[p + k + 1] : midpoint(control, src[p + k + 1]);
          add_quadratic_piece(weights, start, control, end, out.points);
          start = end;
        }
      }
      p += count;
      previous = out.points.back();
    }
    if (damaged) {
      out.points.resize(contour_first);
      return;
    }
    const Outline_Point last = out.points.back();
    if (last.x != first.x || last.y != first.y) out.points.push_back(first);
    out.contour_sizes.push_back(static_cast<int32_t>(out.points.size() - contour_first));
  }
}

// ---------------------------------------------------------------------------
// Font contours to native form

namespace {

// The start point must lie on the curve: the first on-curve point, or, for a
// contour made only of conic controls, the midpoint of the first two. Fills
// SEQUENCE with the points after the start, ending with the start again; false
// when the contour has no on-curve point and is not all conic controls.
bool contour_from_start(const Source_Point* contour, size_t count, std::vector<Source_Point>& sequence) {
  size_t first_on = count;
  for (size_t i = 0; i < count; ++i) {
    if (contour[i].kind == Source_Point_Kind::On) {
      first_on = i;
      break;
    }
  }
  sequence.reserve(count + 1);
  Source_Point start;
  if (first_on < count) {
    start = contour[first_on];
    for (size_t i = 1; i < count; ++i) sequence.push_back(contour[(first_on + i) % count]);
  } else {
    for (size_t i = 0; i < count; ++i)
      if (contour[i].kind != Source_Point_Kind::Conic) return false;
    const Outline_Point m = midpoint({contour[0].x, contour[0].y}, {contour[1].x, contour[1].y});
    start = {m.x, m.y, Source_Point_Kind::On};
    for (size_t i = 1; i <= count; ++i) sequence.push_back(contour[i % count]);
  }
  sequence.push_back(start);
  return true;
}

// Writes one contour's points and segment records into the outline, point by
// point after its start point.
struct Native_Contour_Writer {
  Glyph_Outline& outline;
  Outline_Point pen;
  bool line_run_open = false;  // the last segment record counts straight points
  bool ended_with_line = false;
  std::vector<Outline_Point> controls;  // conic controls waiting for their on-curve end

  // An on-curve point ends the spline through the waiting controls, or else
  // extends the run of straight points.
  void on_curve(const Source_Point& q) {
    if (!controls.empty()) {
      controls.push_back({q.x, q.y});
      outline.segments.push_back(-static_cast<int32_t>(controls.size()));
      outline.points.insert(outline.points.end(), controls.begin(), controls.end());
      controls.clear();
      line_run_open = false;
    } else {
      if (line_run_open) {
        ++outline.segments.back();
      } else {
        outline.segments.push_back(1);
        line_run_open = true;
      }
      outline.points.push_back({q.x, q.y});
      ended_with_line = true;
    }
    pen = {q.x, q.y};
  }

  // A cubic from the pen through controls c1 and c2 to END, replaced by two
  // quadratics that meet at the cubic's middle; each keeps the end tangents of
  // its half.
  void cubic(const Source_Point& c1, const Source_Point& c2, const Source_Point& end_point) {
    const double p0x = pen.x, p0y = pen.y;
    const double c1x = c1.x, c1y = c1.y;
    const double c2x = c2.x, c2y = c2.y;
    const double p3x = end_point.x, p3y = end_point.y;
    const double ax = (p0x + c1x) / 2, ay = (p0y + c1y) / 2;
    const double bx = (c1x + c2x) / 2, by = (c1y + c2y) / 2;
    const double cx = (c2x + p3x) / 2, cy = (c2y + p3y) / 2;
    const double abx = (ax + bx) / 2, aby = (ay + by) / 2;
    const double bcx = (bx + cx) / 2, bcy = (by + cy) / 2;
    const double mx = (abx + bcx) / 2, my = (aby + bcy) / 2;
    auto fixed = [](double v) { return static_cast<int32_t>(std::lround(v)); };
    const Outline_Point q1{fixed((3 * (ax + abx) - p0x - mx) / 4), fixed((3 * (ay + aby) - p0y - my) / 4)};
    const Outline_Point q2{fixed((3 * (bcx + cx) - mx - p3x) / 4), fixed((3 * (bcy + cy) - my - p3y) / 4)};
    const Outline_Point middle{fixed(mx), fixed(my)};
    const Outline_Point end{end_point.x, end_point.y};
    outline.segments.push_back(-2);
    outline.points.push_back(q1);
    outline.points.push_back(middle);
    outline.segments.push_back(-2);
    outline.points.push_back(q2);
    outline.points.push_back(end);
    line_run_open = false;
    pen = end;
  }

  // A closing straight line back to the start is implied, as in the native
  // form; the contour's records end with 0.
  void close() {
    if (ended_with_line) {
      outline.points.pop_back();
      if (--outline.segments.back() == 0) outline.segments.pop_back();
    }
    outline.segments.push_back(0);
  }
};

}  // namespace

bool Append_Native_Contour(const Source_Point* contour, size_t count, Glyph_Outline& outline) {
  if (count < 2) return false;
  std::vector<Source_Point> sequence;  // the points after the start, ending with the start again
  if (!contour_from_start(contour, count, sequence)) return false;
  const size_t points_before = outline.points.size();
  const size_t segments_before = outline.segments.size();
  const Source_Point& start = sequence.back();
  outline.points.push_back({start.x, start.y});
  Native_Contour_Writer writer{outline, {start.x, start.y}, false, false, {}};
  for (size_t i = 0; i < sequence.size(); ++i) {
    const Source_Point& q = sequence[i];
    writer.ended_with_line = false;
    if (q.kind == Source_Point_Kind::Conic) {
      writer.controls.push_back({q.x, q.y});
    } else if (q.kind == Source_Point_Kind::On) {
      writer.on_curve(q);
    } else {
      // A cubic control must follow the pen directly and come as a pair before an on-curve end.
      if (!writer.controls.empty() || i + 2 >= sequence.size() || sequence[i + 1].kind != Source_Point_Kind::Cubic ||
          sequence[i + 2].kind != Source_Point_Kind::On) {
        outline.points.resize(points_before);
        outline.segments.resize(segments_before);
        return false;
      }
      writer.cubic(q, sequence[i + 1], sequence[i + 2]);
      i += 2;
    }
  }
  writer.close();
  return true;
}

// ---------------------------------------------------------------------------
// Fonts

#ifdef OSTERLIN_HAVE_FREETYPE

struct Glyph_Font {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  int32_t descent = 0;
};

namespace {

// Windows-1252 bytes 0x80-0x9F; the other bytes equal their code points.
constexpr uint16_t cp1252_high[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

uint32_t code_point(uint8_t c) { return c >= 0x80 && c < 0xA0 ? cp1252_high[c - 0x80] : c; }

Glyph_Font* open_face(const char* path, int index, int32_t cell_height) {
  if (path == nullptr || cell_height <= 0) return nullptr;
  auto* font = new Glyph_Font;
  if (FT_Init_FreeType(&font->library) != 0) {
    delete font;
    return nullptr;
  }
  if (FT_New_Face(font->library, path, index, &font->face) != 0 || !FT_IS_SCALABLE(font->face) ||
      font->face->units_per_EM == 0) {
    Glyph_Font_Close(font);
    return nullptr;
  }
  FT_Select_Charmap(font->face, FT_ENCODING_UNICODE);
  // The height is the cell (ascent + descent) as the system's font metrics give
  // it; the em size follows from it.
  int64_t ascent = font->face->ascender, descent = -static_cast<int64_t>(font->face->descender);
  if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(font->face, FT_SFNT_OS2));
      os2 != nullptr && os2->usWinAscent + os2->usWinDescent > 0) {
    ascent = os2->usWinAscent;
    descent = os2->usWinDescent;
  }
  int64_t cell = ascent + descent;
  if (cell <= 0) {
    cell = font->face->units_per_EM;
    descent = 0;
  }
  const int64_t em_26_6 = (int64_t{cell_height} * 64 * font->face->units_per_EM + cell / 2) / cell;
  if (em_26_6 <= 0 || FT_Set_Char_Size(font->face, 0, static_cast<FT_F26Dot6>(em_26_6), 72, 72) != 0) {
    Glyph_Font_Close(font);
    return nullptr;
  }
  font->descent = static_cast<int32_t>((descent * cell_height + cell / 2) / cell);
  return font;
}

int32_t to_fixed(FT_Pos v26_6) {
  // 26.6 to 16.16; a damaged font's far-off points are held inside the range.
  const int64_t v = std::clamp<int64_t>(v26_6, -(int64_t{1} << 21), (int64_t{1} << 21) - 1);
  return static_cast<int32_t>(v * 1024);
}

// The face to use for a substituted pattern (its family list holds the requested
// families and, for a generic name, the configuration's families of that kind):
// among the upright, normal-width, proportional outline faces of those families,
// the one whose weight is nearest the requested weight, the configuration's
// preferred one among equals. Plain best match when none qualifies.
FcPattern* choose_face(FcPattern* pattern, int fc_weight) {
  FcResult result = FcResultNoMatch;
  FcFontSet* sorted = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result);
  FcPattern* best = nullptr;
  int best_distance = INT_MAX;
  for (int i = 0; sorted != nullptr && i < sorted->nfont; ++i) {
    FcPattern* face = sorted->fonts[i];
    FcBool scalable = FcFalse;
    int slant = FC_SLANT_ROMAN, width = FC_WIDTH_NORMAL, spacing = FC_PROPORTIONAL, face_weight = FC_WEIGHT_REGULAR;
    if (FcPatternGetBool(face, FC_SCALABLE, 0, &scalable) != FcResultMatch || !scalable) continue;
    FcPatternGetInteger(face, FC_SLANT, 0, &slant);
    FcPatternGetInteger(face, FC_WIDTH, 0, &width);
    FcPatternGetInteger(face, FC_SPACING, 0, &spacing);
    FcPatternGetInteger(face, FC_WEIGHT, 0, &face_weight);
    if (slant != FC_SLANT_ROMAN || width != FC_WIDTH_NORMAL || spacing != FC_PROPORTIONAL) continue;
    bool wanted_family = false;
    FcChar8* family = nullptr;
    for (int f = 0; !wanted_family && FcPatternGetString(face, FC_FAMILY, f, &family) == FcResultMatch; ++f) {
      FcChar8* requested = nullptr;
      for (int r = 0; !wanted_family && FcPatternGetString(pattern, FC_FAMILY, r, &requested) == FcResultMatch; ++r)
        wanted_family = FcStrCmpIgnoreCase(family, requested) == 0;
    }
    if (!wanted_family) continue;
    const int distance = std::abs(face_weight - fc_weight);
    if (distance < best_distance) {
      best = face;
      best_distance = distance;
    }
  }
  FcPattern* chosen = nullptr;
  if (best != nullptr) {
    FcPatternReference(best);
    chosen = best;
  } else {
    chosen = FcFontMatch(nullptr, pattern, &result);
  }
  if (sorted != nullptr) FcFontSetDestroy(sorted);
  return chosen;
}

int32_t whole_pixels(FT_Pos v26_6) {
  return static_cast<int32_t>(std::clamp<int64_t>((v26_6 + 32) >> 6, -32767, 32767)) * 65536;
}

}  // namespace

Glyph_Font* Glyph_Font_Open(const char* families, int32_t weight, int32_t cell_height) {
  if (families == nullptr || !FcInit()) return nullptr;
  FcPattern* pattern = FcPatternCreate();
  std::string list = families;
  size_t from = 0;
  while (from <= list.size()) {
    size_t comma = list.find(',', from);
    if (comma == std::string::npos) comma = list.size();
    const std::string name = list.substr(from, comma - from);
    if (!name.empty()) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    from = comma + 1;
  }
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
  FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
  FcPatternAddInteger(pattern, FC_WIDTH, FC_WIDTH_NORMAL);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcPattern* chosen = choose_face(pattern, FcWeightFromOpenType(weight));
  FcPatternDestroy(pattern);
  if (chosen == nullptr) return nullptr;
  FcChar8* file = nullptr;
  int index = 0;
  Glyph_Font* font = nullptr;
  if (FcPatternGetString(chosen, FC_FILE, 0, &file) == FcResultMatch) {
    if (FcPatternGetInteger(chosen, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
    font = open_face(reinterpret_cast<const char*>(file), index, cell_height);
  }
  FcPatternDestroy(chosen);
  return font;
}

Glyph_Font* Glyph_Font_Open_File(const char* path, int32_t cell_height) { return open_face(path, 0, cell_height); }

void Glyph_Font_Close(Glyph_Font* font) {
  if (font == nullptr) return;
  if (font->face != nullptr) FT_Done_Face(font->face);
  if (font->library != nullptr) FT_Done_FreeType(font->library);
  delete font;
}

int32_t Glyph_Font_Descent(const Glyph_Font* font) { return font != nullptr ? font->descent : 0; }

int32_t Glyph_Outline_Get(Glyph_Font* font, uint8_t character, Glyph_Outline& outline) {
  outline = Glyph_Outline{};
  if (font == nullptr) return -1;
  const FT_UInt index = FT_Get_Char_Index(font->face, code_point(character));
  if (FT_Load_Glyph(font->face, index, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0 ||
      font->face->glyph->format != FT_GLYPH_FORMAT_OUTLINE)
    return -1;
  const FT_GlyphSlot slot = font->face->glyph;
  const int32_t advance = whole_pixels(slot->metrics.horiAdvance);
  outline.advance = advance;
  outline.abc_a = whole_pixels(slot->metrics.horiBearingX);
  outline.abc_b = whole_pixels(slot->metrics.width);
  outline.abc_c = advance - outline.abc_a - outline.abc_b;

  const FT_Outline& source = slot->outline;
  std::vector<Source_Point> contour;
  int first = 0;
  for (int c = 0; c < source.n_contours; ++c) {
    const int last = source.contours[c];
    if (last < first || last >= source.n_points) {
      outline = Glyph_Outline{};
      return -1;
    }
    contour.clear();
    for (int i = first; i <= last; ++i) {
      const int tag = FT_CURVE_TAG(source.tags[i]);
      const Source_Point_Kind kind = tag == FT_CURVE_TAG_ON      ? Source_Point_Kind::On
                                     : tag == FT_CURVE_TAG_CUBIC ? Source_Point_Kind::Cubic
                                                                 : Source_Point_Kind::Conic;
      contour.push_back({to_fixed(source.points[i].x), to_fixed(source.points[i].y), kind});
    }
    Append_Native_Contour(contour.data(), contour.size(), outline);  // a bad contour is left out
    first = last + 1;
  }
  return 0;
}

#else  // no FreeType: there are no fonts

struct Glyph_Font {};
Glyph_Font* Glyph_Font_Open(const char*, int32_t, int32_t) { return nullptr; }
Glyph_Font* Glyph_Font_Open_File(const char*, int32_t) { return nullptr; }
void Glyph_Font_Close(Glyph_Font*) {}
int32_t Glyph_Font_Descent(const Glyph_Font*) { return 0; }
int32_t Glyph_Outline_Get(Glyph_Font*, uint8_t, Glyph_Outline& outline) {
  outline = Glyph_Outline{};
  return -1;
}

#endif
