#include "draw/font.h"

#include <cstring>

#include "draw/draw_state.h"
#include "draw/frame_buffer.h"
#include "files/text.h"
#include "platform/memory.h"

namespace {

struct Font_Entry {
  char* name;
  uint8_t* pixels;
  int32_t width, height;
  uint16_t palette[256];
  int32_t glyph_width, glyph_height;
};

struct Font_State {
  Font_Entry* fonts = nullptr;
  uint32_t font_count = 0;
};

Font_State state;

Font_Entry* find_font(const char* name) {
  if (name == nullptr) return nullptr;
  for (uint32_t i = 0; i < state.font_count; ++i) {
    if (Str_Compare_No_Case(state.fonts[i].name, name) == 0) return &state.fonts[i];
  }
  return nullptr;
}

void draw_text(const char* text, int32_t x, int32_t y, const char* font_name, bool use_colour, uint16_t colour) {
  const Font_Entry* font = find_font(font_name);
  if (font == nullptr || text == nullptr) return;
  const int32_t columns = font->width / font->glyph_width;
  for (const char* p = text; *p != '\0'; ++p) {
    // Taken as signed: every byte from 128 up is below 32 and draws ".".
    int c = static_cast<signed char>(*p);
    if (c < 32 || c > 127) c = '.';
    const int32_t glyph = c - 32;
    const int32_t top = glyph / columns * font->glyph_height;
    const int32_t left = glyph % columns * font->glyph_width;
    for (int32_t j = 0; j < font->glyph_height; ++j) {
      // A picture too small for all the glyphs: the missing rows draw nothing.
      if (top + j >= font->height) break;
      const uint8_t* row = font->pixels + static_cast<size_t>(top + j) * font->width + left;
      for (int32_t i = 0; i < font->glyph_width; ++i) {
        uint8_t index = row[i];
        if (index != 0) Pixel_Put(x + i, y + j, use_colour ? colour : font->palette[index]);
      }
    }
    x += font->glyph_width;
  }
}

}  // namespace

int Font_Add(const char* name, const uint8_t* pixels, int32_t width, int32_t height, const uint16_t palette[256],
             int32_t glyph_width, int32_t glyph_height) {
  if (name == nullptr || pixels == nullptr || palette == nullptr || glyph_width <= 0 || glyph_height <= 0 ||
      glyph_width > width || glyph_height > height) {
    return -1;
  }
  state.fonts = static_cast<Font_Entry*>(Mem_Resize(state.fonts, (state.font_count + 1) * sizeof(Font_Entry)));
  if (state.fonts == nullptr) Fatal_Memory_Error("Not enough memory!");
  Font_Entry& entry = state.fonts[state.font_count++];
  size_t name_size = std::strlen(name) + 1;
  entry.name = static_cast<char*>(Mem_Alloc(static_cast<uint32_t>(name_size)));
  std::memcpy(entry.name, name, name_size);
  uint32_t picture_bytes = static_cast<uint32_t>(width) * static_cast<uint32_t>(height);
  entry.pixels = static_cast<uint8_t*>(Mem_Alloc(picture_bytes));
  std::memcpy(entry.pixels, pixels, picture_bytes);
  entry.width = width;
  entry.height = height;
  std::memcpy(entry.palette, palette, sizeof entry.palette);
  entry.glyph_width = glyph_width;
  entry.glyph_height = glyph_height;
  return 0;
}

void Font_Remove(const char* name) {
  Font_Entry* entry = find_font(name);
  if (entry == nullptr) return;
  Mem_Free(entry->name);
  Mem_Free(entry->pixels);
  uint32_t index = static_cast<uint32_t>(entry - state.fonts);
  std::memmove(state.fonts + index, state.fonts + index + 1, (state.font_count - index - 1) * sizeof(Font_Entry));
  --state.font_count;
  if (state.font_count == 0) {
    Mem_Free(state.fonts);
    state.fonts = nullptr;
  }
}

int32_t Font_Width(const char* name) {
  const Font_Entry* font = find_font(name);
  return font != nullptr ? font->glyph_width : 0;
}

int32_t Font_Height(const char* name) {
  const Font_Entry* font = find_font(name);
  return font != nullptr ? font->glyph_height : 0;
}

void Text_Draw(const char* text, int32_t x, int32_t y, const char* font) { draw_text(text, x, y, font, false, 0); }

void Text_Draw_Colour(const char* text, int32_t x, int32_t y, const char* font, uint16_t colour) {
  draw_text(text, x, y, font, true, colour);
}

void draw_state::Reset_Fonts() {
  // Font_Remove frees the table with its last entry.
  while (state.font_count > 0) Font_Remove(state.fonts[0].name);
  state = Font_State{};
}
