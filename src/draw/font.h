// Bitmap fonts: a table of named fonts, each an 8-bit picture of glyphs laid out
// left to right, top to bottom from the character 32, with a 16-bit palette.
// Glyph pixel 0 is transparent. Names compare without regard to ASCII case.
//
// The engine itself adds no font, so in a normal run every name is unknown: the
// widths are 0 and text draws nothing. Font_Add exists for tests and tools.
#pragma once
#include <cstdint>

// Adds a font, copying the picture (width x height indices) and its palette.
// Returns 0, or -1 when the glyph size does not fit the picture.
int Font_Add(const char* name, const uint8_t* pixels, int32_t width, int32_t height, const uint16_t palette[256],
             int32_t glyph_width, int32_t glyph_height);
void Font_Remove(const char* name);  // frees the entry
int32_t Font_Width(const char* name);   // glyph width, 0 for an unknown font
int32_t Font_Height(const char* name);  // glyph height, 0 for an unknown font
// Draws text at (x, y) in the font's own colours; bytes outside 32..127 draw ".".
void Text_Draw(const char* text, int32_t x, int32_t y, const char* font);
// As Text_Draw, every visible glyph pixel in `colour`.
void Text_Draw_Colour(const char* text, int32_t x, int32_t y, const char* font, uint16_t colour);
