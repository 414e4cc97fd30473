// Painting for the demo game: rooms seen from their centre, rendered straight
// onto the cube of a panorama by following each pixel's view ray into a box room
// (walls, floor, sky or ceiling, doorways and their labels), and flat canvases for
// the 640 x 480 nodes. Both write labels with a small built-in block font.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "demo.h"
#include "zel_vr/zel_vr.h"

namespace {

// 5 x 7 glyphs, one byte per row, bit 4 the leftmost pixel.
struct Glyph {
  char c;
  uint8_t rows[7];
};
constexpr Glyph glyphs[] = {
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}}, {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}}, {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}}, {'N', {0x11, 0x19, 0x19, 0x15, 0x13, 0x13, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}}, {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}}, {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04}}, {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}}, {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {'>', {0x08, 0x04, 0x02, 0x01, 0x02, 0x04, 0x08}}, {'<', {0x02, 0x04, 0x08, 0x10, 0x08, 0x04, 0x02}},
    {'!', {0x04, 0x04, 0x04, 0x04, 0x04, 0x00, 0x04}}, {'\'', {0x04, 0x04, 0x08, 0x00, 0x00, 0x00, 0x00}},
    {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}}, {'/', {0x01, 0x01, 0x02, 0x04, 0x08, 0x10, 0x10}},
};

constexpr float Eye_Height = Room_Eye_Height;

Rgb mix(Rgb a, Rgb b, float t) {
  t = std::clamp(t, 0.0f, 1.0f);
  auto channel = [t](uint8_t x, uint8_t y) {
    return static_cast<uint8_t>(std::lround(static_cast<float>(x) + (static_cast<float>(y) - x) * t));
  };
  return {channel(a.r, b.r), channel(a.g, b.g), channel(a.b, b.b)};
}

Rgb scale(Rgb c, float f) {
  auto channel = [f](uint8_t x) { return static_cast<uint8_t>(std::clamp(std::lround(x * f), 0L, 255L)); };
  return {channel(c.r), channel(c.g), channel(c.b)};
}

// Label text laid on a wall: `size` wall units per font pixel, centred on u,
// top edge at height `top`. True when (u, h) falls on a set font pixel; *plate
// tells whether it lies on the dark plate behind the text.
bool label_pixel(const std::string& text, float centre, float top, float size, float u, float h, bool* plate) {
  float width = static_cast<float>(Text_Width(text, 1)) * size;
  float left = centre - width / 2.0f;
  float margin = 2.5f * size;
  float bottom = top - Font_Cell_Height * size;
  *plate = u >= left - margin && u <= left + width + margin && h <= top + margin && h >= bottom - margin;
  if (u < left || u >= left + width || h > top || h <= bottom) return false;
  int fx = static_cast<int>((u - left) / size);
  int fy = static_cast<int>((top - h) / size);
  size_t index = static_cast<size_t>(fx / Font_Cell_Width);
  if (index >= text.size()) return false;
  return Font_Pixel(text[index], fx % Font_Cell_Width, fy);
}

Rgb sky(const Room_Style& style, float dx, float dy, float dz) {
  float elevation = std::max(0.0f, dy);
  Rgb colour = mix(style.sky_horizon, style.sky_top, std::pow(elevation, 0.6f));
  // Soft bands of cloud that drift around the horizon.
  float around = std::atan2(dx, dz);
  float cloud = std::sin(around * 5.0f + elevation * 9.0f) * std::sin(around * 3.0f - elevation * 14.0f);
  // Clouds thin out towards the top of the sky instead of stopping at an edge.
  float thinning = std::clamp((0.85f - elevation) * 4.0f, 0.0f, 1.0f);
  if (cloud > 0.55f) colour = mix(colour, {250, 250, 252}, (cloud - 0.55f) * 2.5f * thinning);
  // The sun, ahead and to the right.
  float sun = dx * 0.42f + dy * 0.55f + dz * 0.72f;
  if (sun > 0.995f) colour = {255, 244, 200};
  return colour;
}

Rgb wall_colour(const Room_Style& style, int wall, float u, float h, float distance) {
  // Doorways first: their opening, frame and leaf.
  for (const Room_Door& door : style.doors) {
    if (door.wall != wall) continue;
    float du = u - door.centre;
    float frame = 0.035f;
    if (std::fabs(du) < door.half_width + frame && h < door.height + frame) {
      if (std::fabs(du) >= door.half_width || h >= door.height) return scale(style.door_leaf, 0.55f);
      // The leaf swings open towards the room's edge: its visible width shrinks.
      float leaf_right = -door.half_width + 2.0f * door.half_width * (1.0f - door.open);
      if (du < leaf_right) {
        float panel = std::fmod(std::fabs(h) * 6.0f, 1.0f);
        Rgb leaf = panel < 0.08f ? scale(style.door_leaf, 0.7f) : style.door_leaf;
        if (std::fabs(du - (leaf_right - 0.06f)) < 0.015f && std::fabs(h - 0.55f) < 0.03f) leaf = {220, 190, 60};
        return leaf;
      }
      // Through the opening: a darker space with a lit floor.
      float depth = h / door.height;
      return mix(door.beyond, scale(door.beyond, 1.8f), h < 0.12f ? 1.0f : depth * 0.3f);
    }
    bool plate = false;
    if (!door.label.empty()) {
      if (label_pixel(door.label, door.centre, door.height + 0.17f, 0.018f, u, h, &plate)) return style.label;
      if (plate) return {40, 34, 30};
    }
  }
  for (const Room_Style::Wall_Label& label : style.wall_labels) {
    if (label.wall != wall) continue;
    bool plate = false;
    if (label_pixel(label.text, label.centre, Eye_Height + 0.12f, 0.02f, u, h, &plate)) return style.label;
    if (plate) return {40, 34, 30};
  }
  // Bricks: rows 0.1 high, each row offset by half a brick.
  float row = std::floor(h / 0.1f);
  float along = u + 2.0f * static_cast<float>(wall) + (static_cast<int>(row) % 2 != 0 ? 0.125f : 0.0f);
  float in_row = h - row * 0.1f;
  float in_brick = along / 0.25f - std::floor(along / 0.25f);
  Rgb colour = style.wall;
  if (in_row < 0.012f || in_brick < 0.04f) colour = style.wall_line;
  if (h < 0.18f) colour = scale(style.wall, 0.7f);  // skirting
  // A little light falloff with distance keeps the corners readable.
  return scale(colour, 1.15f - 0.18f * distance);
}

Rgb shade(const Room_Style& style, float dx, float dy, float dz) {
  float ax = std::fabs(dx), az = std::fabs(dz);
  float t_wall = 1.0f / std::max(ax, az);
  float hy = dy * t_wall;
  if (hy < -Eye_Height) {
    float t = -Eye_Height / dy;
    float fx = dx * t, fz = dz * t;
    int checker = static_cast<int>(std::floor(fx / 0.3f) + std::floor(fz / 0.3f)) & 1;
    Rgb colour = checker ? style.floor_a : style.floor_b;
    return scale(colour, 1.1f - 0.15f * std::sqrt(fx * fx + fz * fz));
  }
  if (hy > style.wall_top) {
    if (style.open_roof) return sky(style, dx, dy, dz);
    float t = style.wall_top / dy;
    float fx = dx * t;
    bool beam = std::fabs(std::fmod(std::fabs(fx) + 0.1f, 0.5f)) < 0.05f;
    return beam ? scale(style.ceiling, 0.65f) : style.ceiling;
  }
  float px = dx * t_wall, pz = dz * t_wall;
  int wall;
  float u;
  if (az >= ax) {
    wall = dz > 0 ? 0 : 2;
    u = dz > 0 ? px : -px;
  } else {
    wall = dx > 0 ? 1 : 3;
    u = dx > 0 ? -pz : pz;
  }
  float distance = std::sqrt(px * px + pz * pz);
  return wall_colour(style, wall, u, hy + Eye_Height, distance);
}

// Four rays per pixel, averaged: edges of bricks and letters stay smooth.
Rgb shade_pixel(const Room_Style& style, int face, int x, int y) {
  static constexpr float offsets[4][2] = {{0.25f, 0.25f}, {0.75f, 0.25f}, {0.25f, 0.75f}, {0.75f, 0.75f}};
  int r = 0, g = 0, b = 0;
  for (const auto& offset : offsets) {
    float dx, dy, dz;
    zel_vr::Face_Point_Direction(face, static_cast<float>(x) + offset[0], static_cast<float>(y) + offset[1], &dx,
                                 &dy, &dz);
    Rgb c = shade(style, dx, dy, dz);
    r += c.r;
    g += c.g;
    b += c.b;
  }
  return {static_cast<uint8_t>((r + 2) / 4), static_cast<uint8_t>((g + 2) / 4), static_cast<uint8_t>((b + 2) / 4)};
}

}  // namespace

bool Font_Pixel(char c, int x, int y) {
  if (x < 0 || x >= 5 || y < 0 || y >= 7) return false;
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  for (const Glyph& glyph : glyphs) {
    if (glyph.c == c) return (glyph.rows[y] >> (4 - x)) & 1;
  }
  return false;
}

int Text_Width(const std::string& text, int scale) {
  if (text.empty()) return 0;
  return (static_cast<int>(text.size()) * Font_Cell_Width - 1) * scale;
}

std::vector<uint8_t> Paint_Room_Face(const Room_Style& style, int face) {
  std::vector<uint8_t> out(static_cast<size_t>(zel_vr::Face_Pixels) * 3);
  for (int y = 0; y < zel_vr::Face_Size; ++y) {
    for (int x = 0; x < zel_vr::Face_Size; ++x) {
      Rgb c = shade_pixel(style, face, x, y);
      uint8_t* p = &out[(static_cast<size_t>(y) * zel_vr::Face_Size + x) * 3];
      p[0] = c.b;
      p[1] = c.g;
      p[2] = c.r;
    }
  }
  return out;
}

std::vector<uint8_t> Paint_Room(const Room_Style& style) {
  std::vector<uint8_t> out(static_cast<size_t>(zel_vr::Buffer_Pixels) * 3);
  for (int face = 0; face < zel_vr::Face_Count; ++face) {
    std::vector<uint8_t> pixels = Paint_Room_Face(style, face);
    for (int y = 0; y < zel_vr::Face_Size; ++y) {
      for (int x = 0; x < zel_vr::Face_Size; ++x) {
        size_t to = static_cast<size_t>(zel_vr::Face_Pixel_Index(face, x, y)) * 3;
        std::memcpy(&out[to], &pixels[(static_cast<size_t>(y) * zel_vr::Face_Size + x) * 3], 3);
      }
    }
  }
  return out;
}

Canvas::Canvas(int w, int h) : width(w), height(h), rgb(static_cast<size_t>(w) * h * 3, 0) {}

void Canvas::fill(Rgb colour) { rect(0, 0, width - 1, height - 1, colour); }

void Canvas::gradient(Rgb top, Rgb bottom) {
  for (int y = 0; y < height; ++y) {
    rect(0, y, width - 1, y, mix(top, bottom, static_cast<float>(y) / static_cast<float>(height - 1)));
  }
}

void Canvas::rect(int x1, int y1, int x2, int y2, Rgb colour) {
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min(x2, width - 1);
  y2 = std::min(y2, height - 1);
  for (int y = y1; y <= y2; ++y) {
    for (int x = x1; x <= x2; ++x) {
      uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
      p[0] = colour.r;
      p[1] = colour.g;
      p[2] = colour.b;
    }
  }
}

void Canvas::frame(int x1, int y1, int x2, int y2, int thickness, Rgb colour) {
  rect(x1, y1, x2, y1 + thickness - 1, colour);
  rect(x1, y2 - thickness + 1, x2, y2, colour);
  rect(x1, y1, x1 + thickness - 1, y2, colour);
  rect(x2 - thickness + 1, y1, x2, y2, colour);
}

void Canvas::centred_text(int y, const std::string& label, int scale, Rgb colour) {
  text(width / 2 - Text_Width(label, scale) / 2, y, label, scale, colour);
}

void Canvas::button(int x1, int y1, int x2, int y2, const std::string& label, Rgb face) {
  rect(x1, y1, x2, y2, face);
  frame(x1, y1, x2, y2, 3, {250, 240, 210});
  int scale = 3;
  text((x1 + x2) / 2 - Text_Width(label, scale) / 2, (y1 + y2) / 2 - 10, label, scale, {255, 255, 255});
}

void Canvas::text(int x, int y, const std::string& text, int scale, Rgb colour) {
  for (size_t i = 0; i < text.size(); ++i) {
    for (int fy = 0; fy < Font_Cell_Height; ++fy) {
      for (int fx = 0; fx < 5; ++fx) {
        if (!Font_Pixel(text[i], fx, fy)) continue;
        int px = x + (static_cast<int>(i) * Font_Cell_Width + fx) * scale;
        rect(px, y + fy * scale, px + scale - 1, y + fy * scale + scale - 1, colour);
      }
    }
  }
}

std::vector<uint8_t> Canvas::bgr() const {
  std::vector<uint8_t> out(rgb.size());
  for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
    out[i] = rgb[i + 2];
    out[i + 1] = rgb[i + 1];
    out[i + 2] = rgb[i];
  }
  return out;
}
