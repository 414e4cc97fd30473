// Pixel-row routines that copy a 5-6-5 frame onto a screen surface: as it is,
// through a colour table for 15- and 8-bit screens, and doubled with black lines.
// They take raw pointers and counts, check nothing and allocate nothing. Offsets
// to the next row are in bytes; counts are in pixels unless said otherwise.
#pragma once
#include <cstdint>

// Copies `bytes` bytes (whole 32-bit words, then the 0 to 3 left).
void Row_Copy(const void* source, void* destination, uint32_t bytes);
// Each pixel becomes the low 16 bits of table[pixel] (65536 entries).
void Row_Table_16(const uint16_t* source, uint16_t* destination, const uint32_t* table, uint32_t count);
// As Row_Table_16, every result written twice side by side; the same four bytes
// one row down (at next_row bytes) are set to 0.
void Row_Table_16_Double(const uint16_t* source, uint16_t* destination, const uint32_t* table,
                         int32_t next_row, uint32_t count);
// Each pixel becomes the low 8 bits of table[pixel]. Works in groups of four
// pixels: a remainder of 1 to 3 pixels is left unconverted.
void Row_Table_8(const uint16_t* source, uint8_t* destination, const uint32_t* table, uint32_t count);
// As Row_Table_8, each result byte written twice and the four bytes one row down
// set to 0. Works in pairs of source pixels: an odd last pixel is not converted.
void Row_Table_8_Double(const uint16_t* source, uint8_t* destination, const uint32_t* table,
                        int32_t next_row, uint32_t count);
// Each pixel written twice side by side; the four bytes one row down set to 0.
void Row_Double_16(const uint16_t* source, uint16_t* destination, int32_t next_row, uint32_t count);

// Plain transcriptions of the routines above that have a faster version; the
// tests hold the two equal on random inputs.
namespace row_reference {
void Row_Copy(const void* source, void* destination, uint32_t bytes);
void Row_Table_16(const uint16_t* source, uint16_t* destination, const uint32_t* table, uint32_t count);
void Row_Double_16(const uint16_t* source, uint16_t* destination, int32_t next_row, uint32_t count);
}  // namespace row_reference
