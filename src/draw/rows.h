// Pixel-row routines: the inner loops of drawing pictures and animations, and
// of presenting a frame. Pixels are 16-bit 5-6-5 unless said otherwise. They
// take raw pointers and counts, check nothing and allocate nothing. Offsets to
// the next row are in bytes; counts are in pixels unless said otherwise.
#pragma once
#include <cstdint>

// The routines that copy a frame onto a screen surface (Row_Copy, Row_Table_16,
// Row_Double_16 and their kin) sit with the display code below this layer.
#include "platform/screen_rows.h"

// Writes `count` pixels of `colour`.
void Row_Fill_16(uint16_t* destination, uint16_t colour, uint32_t count);
// Each 8-bit index becomes table[index] (256 entries).
void Row_Palette_16(const uint8_t* source, uint16_t* destination, const uint16_t* table, uint32_t count);
// A width x height block becomes 2 width x 2 height, new pixels being half-sums
// of their neighbours.
void Block_Zoom_2(const uint16_t* source, uint16_t* destination, uint32_t width, uint32_t height);
// Nearest-neighbour resize with 16.16 fixed-point steps, no rounding.
void Block_Scale(const uint16_t* source, uint32_t source_width, uint32_t source_height,
                 uint16_t* destination, uint32_t destination_width, uint32_t destination_height);
// Adds (level >= 0) or subtracts (level < 0) the grey of |level| from every pixel,
// clamping each component.
void Row_Brightness(const uint16_t* source, uint16_t* destination, uint32_t count, int32_t level);
// destination = clamped sum of a and b, pixel by pixel.
void Row_Add(const uint16_t* a, const uint16_t* b, uint16_t* destination, uint32_t count);

// The 5-6-5 arithmetic the routines above share. Pixel_Mask clears the lowest bit
// of red and of green, which then serve as carry and borrow guards.
constexpr uint32_t Pixel_Mask = 0xF7DF;
uint16_t Pixel_Add_Clamped(uint16_t a, uint16_t b);
uint16_t Pixel_Sub_Clamped(uint16_t a, uint16_t b_masked);  // b already masked
uint16_t Pixel_Half_Sum(uint16_t a, uint16_t b);
uint16_t Grey_Pixel(int32_t level);  // the grey of |level| AND 255, masked

// Plain transcriptions of the routines that have a faster version above; the
// tests hold the two equal on random inputs.
namespace row_reference {
void Row_Brightness(const uint16_t* source, uint16_t* destination, uint32_t count, int32_t level);
void Row_Add(const uint16_t* a, const uint16_t* b, uint16_t* destination, uint32_t count);
void Block_Scale(const uint16_t* source, uint32_t source_width, uint32_t source_height,
                 uint16_t* destination, uint32_t destination_width, uint32_t destination_height);
}  // namespace row_reference
