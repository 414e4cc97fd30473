// Display modes and pixel formats: the list of screen modes, choosing one for a
// request, telling a 5-5-5 screen from a 5-6-5 one, the conversion tables for
// screens that are not 5-6-5, and copying a frame onto a locked screen surface.
// Pure functions over their arguments, so they work the same with or without a
// window.
#pragma once
#include <cstdint>
#include <vector>

enum Display_Kind : int32_t {
  Display_Kind_Any = 0,      // only in a request
  Display_Kind_Listed = 4,   // the screen mode as listed
  Display_Kind_Doubled = 5,  // drawn at half the mode's size, shown doubled with black lines
};

struct Display_Mode {
  int32_t index = 0;  // 1-based position in the mode list, 0 = none chosen
  int32_t kind = Display_Kind_Any;
  int32_t bits_per_pixel = 16;  // 8, 15, 16, 24 or 32
  int32_t colours = 0;          // 1 << bits_per_pixel
  int32_t width = 0, height = 0;  // size of the picture the engine draws
  int32_t frame_bytes = 0;        // width * height * 2
  int32_t pitch = 0;              // bytes per screen row
};

using Mode_List = std::vector<Display_Mode>;

// Appends the two entries a screen mode gives: as listed, and doubled (half
// width and height, same depth and pitch).
void Mode_List_Add_Screen_Mode(Mode_List& list, int32_t width, int32_t height, int32_t bits, int32_t pitch);
// The 1-based index of the entry that serves the request: the first listed entry
// of the request's size and depth, else the first doubled one; 0 when none.
int32_t Mode_List_Choose(const Mode_List& list, const Display_Mode& request);
// The mouse centre for a mode: half the size, or the drawing size when doubled.
void Mode_Screen_Centre(const Display_Mode& mode, int32_t* x, int32_t* y);

// 15 for a 16-bit screen whose masks are not exactly 5-6-5, else `bits`.
int32_t Detect_Bits_Per_Pixel(int32_t bits, uint32_t red_mask, uint32_t green_mask, uint32_t blue_mask);

// Fills the 65536-entry table indexed by a 5-6-5 pixel for a screen of `bits`
// bits (15, 8, 24 or 32). Returns false for 16 bits, which need no table.
bool Colour_Table_Build(int32_t bits, uint32_t* table);
// The 255 palette entries of 8-bit screens as red, green, blue, flags.
void Palette_8_Build(uint8_t entries[255][4]);

// Copies a width x height 5-6-5 frame onto a screen surface of the mode's kind
// and depth, `pitch` bytes per screen row. Doubled modes write two screen rows
// per frame row: the pixels twice side by side, then a black row. 24- and 32-bit
// screens get no copy. Returns false when nothing was copied.
bool Present_Copy(const uint16_t* source, const Display_Mode& mode, const uint32_t* colour_table,
                  uint8_t* surface, int32_t pitch);
