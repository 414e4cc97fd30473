// Saved-game cards and their projection into the panorama.
#include "shell/save_cards.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "shell/saved_games.h"
#include "video/node_picture.h"

#ifdef OSTERLIN_HAVE_FREETYPE
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#endif

namespace {

constexpr int Face_Size = 512;
constexpr uint16_t White = 0xFFFF;
constexpr uint16_t Black = 0x0000;

#ifdef OSTERLIN_HAVE_FREETYPE
// Windows-1252 bytes 0x80-0x9F; the other bytes equal their code points.
constexpr uint16_t cp1252_high[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

uint32_t code_point(uint8_t c) { return c >= 0x80 && c < 0xA0 ? cp1252_high[c - 0x80] : c; }

// One caption font for the program's life: "Arial" bold at an em of 17 pixels.
struct Caption_Font {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  bool tried = false;

  FT_Face get() {
    if (tried) return face;
    tried = true;
    if (!FcInit() || FT_Init_FreeType(&library) != 0) return nullptr;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("Arial"));
    FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_BOLD);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr) return nullptr;
    FcChar8* file = nullptr;
    int index = 0;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
      FcPatternGetInteger(match, FC_INDEX, 0, &index);
      if (FT_New_Face(library, reinterpret_cast<const char*>(file), index, &face) != 0) face = nullptr;
    }
    FcPatternDestroy(match);
    if (face != nullptr) {
      FT_Select_Charmap(face, FT_ENCODING_UNICODE);
      if (FT_Set_Pixel_Sizes(face, 0, 17) != 0) {
        FT_Done_Face(face);
        face = nullptr;
      }
    }
    return face;
  }
  ~Caption_Font() {
    if (face != nullptr) FT_Done_Face(face);
    if (library != nullptr) FT_Done_FreeType(library);
    if (tried) FcFini();
  }
};

Caption_Font caption_font;
#endif

void fill_rect(uint16_t* pixels, int width, int x0, int y0, int x1, int y1, uint16_t colour) {
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) pixels[y * width + x] = colour;
}

struct Vertex {
  double x, y;     // face pixels
  double w;        // 1 / depth
  double u_w, v_w; // texture coordinates divided by depth
};

double edge(const Vertex& a, const Vertex& b, double px, double py) {
  return (b.x - a.x) * (py - a.y) - (b.y - a.y) * (px - a.x);
}

// Fills the triangle's pixels (centres inside, either winding) with the card's
// nearest texel at the perspective-correct texture coordinate.
void draw_triangle(uint16_t* face, const uint16_t* card, int width, int height, const Vertex& a, const Vertex& b,
                   const Vertex& c) {
  double area = edge(a, b, c.x, c.y);
  if (area == 0.0) return;
  int x0 = std::max(0, static_cast<int>(std::floor(std::min({a.x, b.x, c.x}))));
  int x1 = std::min(Face_Size - 1, static_cast<int>(std::ceil(std::max({a.x, b.x, c.x}))));
  int y0 = std::max(0, static_cast<int>(std::floor(std::min({a.y, b.y, c.y}))));
  int y1 = std::min(Face_Size - 1, static_cast<int>(std::ceil(std::max({a.y, b.y, c.y}))));
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      double px = x + 0.5, py = y + 0.5;
      double wa = edge(b, c, px, py) / area, wb = edge(c, a, px, py) / area, wc = edge(a, b, px, py) / area;
      if (wa < 0 || wb < 0 || wc < 0) continue;
      double w = wa * a.w + wb * b.w + wc * c.w;
      double u = (wa * a.u_w + wb * b.u_w + wc * c.u_w) / w;
      double v = (wa * a.v_w + wb * b.v_w + wc * c.v_w) / w;
      int tx = std::clamp(static_cast<int>(u), 0, width - 1);
      int ty = std::clamp(static_cast<int>(v), 0, height - 1);
      face[y * Face_Size + x] = card[ty * width + tx];
    }
  }
}

}  // namespace

bool Card_Text_Draw(uint16_t* pixels, int width, int height, int centre_x, int top, const char* text,
                    uint16_t colour) {
#ifdef OSTERLIN_HAVE_FREETYPE
  FT_Face face = caption_font.get();
  if (face == nullptr || text == nullptr) return false;
  // The line's advance width, to centre it.
  int64_t advance = 0;
  for (const char* c = text; *c; ++c) {
    if (FT_Load_Char(face, code_point(static_cast<uint8_t>(*c)), FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO) == 0)
      advance += face->glyph->advance.x;
  }
  int pen = centre_x - static_cast<int>((advance / 64) / 2);
  int baseline = top + static_cast<int>((face->size->metrics.ascender + 32) / 64);
  for (const char* c = text; *c; ++c) {
    if (FT_Load_Char(face, code_point(static_cast<uint8_t>(*c)), FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0)
      continue;
    const FT_GlyphSlot glyph = face->glyph;
    const FT_Bitmap& bitmap = glyph->bitmap;
    for (unsigned row = 0; row < bitmap.rows; ++row) {
      int y = baseline - glyph->bitmap_top + static_cast<int>(row);
      if (y < 0 || y >= height) continue;
      const uint8_t* bits = bitmap.buffer + static_cast<ptrdiff_t>(row) * bitmap.pitch;
      for (unsigned col = 0; col < bitmap.width; ++col) {
        bool on = bitmap.pixel_mode == FT_PIXEL_MODE_MONO ? ((bits[col >> 3] >> (7 - (col & 7))) & 1) != 0
                                                           : bits[col] >= 128;
        int x = pen + glyph->bitmap_left + static_cast<int>(col);
        if (on && x >= 0 && x < width) pixels[y * width + x] = colour;
      }
    }
    pen += static_cast<int>(glyph->advance.x / 64);
  }
  return true;
#else
  (void)pixels, (void)width, (void)height, (void)centre_x, (void)top, (void)text, (void)colour;
  return false;
#endif
}

std::vector<uint16_t> Card_Build(const Save_Slot& slot, int* width_out, int* height_out) {
  const int thumb_w = slot.thumbnail_width, thumb_h = slot.thumbnail_height;
  const int width = thumb_w + 6, height = thumb_w + 30;
  std::vector<uint16_t> card(static_cast<size_t>(width) * height, Black);
  fill_rect(card.data(), width, 1, 1, width - 1, height - 1, White);
  for (int y = 0; y < thumb_h && 6 + y < height; ++y)
    for (int x = 0; x < thumb_w; ++x)
      card[static_cast<size_t>(6 + y) * width + 3 + x] = slot.thumbnail[static_cast<size_t>(y) * thumb_w + x];
  // The three caption texts: date, time, level name.
  size_t at = 0;
  for (int line = 0; line < 3 && at < slot.caption.size(); ++line) {
    const char* start = reinterpret_cast<const char*>(slot.caption.data()) + at;
    size_t length = strnlen(start, slot.caption.size() - at);
    std::string text(start, length);
    Card_Text_Draw(card.data(), width, height, width / 2, thumb_h + 18 + 20 * line, text.c_str(), Black);
    at += length + 1;
  }
  *width_out = width;
  *height_out = height;
  return card;
}

void Card_Project(uint16_t* face, const uint16_t* card, int width, int height, float tilt) {
  const double w = width, h = height;
  const double distance = 1.3982568 * w;
  // The card's centre direction is turned by the tilt; the card itself stays
  // parallel to the face, so it reads upright and undistorted.
  const double depth = distance * std::cos(tilt);
  const double side = -distance * std::sin(tilt);
  // Corners 1 to 4: top left, top right, bottom right, bottom left of the card.
  // Sideways coordinates grow to the viewer's left, heights upwards.
  const double xs[4] = {w / 2, -w / 2, -w / 2, w / 2};
  const double zs[4] = {32 + h / 2, 32 + h / 2, 32 - h / 2, 32 - h / 2};
  const double us[4] = {0, w, w, 0};
  const double vs[4] = {0, 0, h, h};
  Vertex corner[4];
  for (int i = 0; i < 4; ++i) {
    double x = xs[i] + side;
    corner[i].x = 256.0 - 256.0 * x / depth;
    corner[i].y = 256.0 - 256.0 * zs[i] / depth;
    corner[i].w = 1.0 / depth;
    corner[i].u_w = us[i] / depth;
    corner[i].v_w = vs[i] / depth;
  }
  draw_triangle(face, card, width, height, corner[0], corner[1], corner[2]);
  draw_triangle(face, card, width, height, corner[2], corner[3], corner[0]);
}

int Card_Face(uint32_t slot_index) {
  static constexpr int faces[4] = {4, 3, 5, 1};
  return faces[(slot_index / 2) & 3];
}

void Card_Draw_Into_Panorama(const Save_Slot& slot) {
  if (slot.caption.empty() || slot.thumbnail_width <= 0 || slot.thumbnail_height <= 0) return;
  int width = 0, height = 0;
  std::vector<uint16_t> card = Card_Build(slot, &width, &height);
  std::vector<uint16_t> face(static_cast<size_t>(Face_Size) * Face_Size);
  int index = Card_Face(slot.index);
  Panorama_Face_Get(face.data(), index);
  Card_Project(face.data(), card.data(), width, height, slot.tilt);
  Panorama_Face_Put(index, face.data());
}
