// Panorama record unpacker: decodes one packed 256 x 6144 panorama (six cube
// faces of four 256 x 256 tiles) into 16-bit pixels, pitch 256.
//
// Record: a 32-byte signature field holding TESSALIN_SIGNATURE and a NUL
// (bytes after the NUL are not compared), the quality as a little-endian signed
// 32-bit integer, then 24,576 blocks coded as 4-bit units.
#pragma once
#include <stddef.h>

#if defined(__GNUC__)
#define TESSALIN_API __attribute__((visibility("default")))
#else
#define TESSALIN_API
#endif

#define TESSALIN_SIGNATURE "TESSALIN 1.0"
#define TESSALIN_WIDTH 256
#define TESSALIN_HEIGHT 6144

#ifdef __cplusplus
extern "C" {
#endif

// Return 0 without writing when the signature differs, else decode the whole
// panorama into out (5-5-5 or 5-6-5 pixels) and return 1. These trust the
// record to be complete: prefer the _Sized forms.
TESSALIN_API int Tessalin_Unpack_15(const unsigned char* record, unsigned short* out);
TESSALIN_API int Tessalin_Unpack_16(const unsigned char* record, unsigned short* out);

// The same for a record of `size` bytes: return 0 without writing anything when
// the signature differs or the blocks would need bytes past the record's end.
TESSALIN_API int Tessalin_Unpack_15_Sized(const unsigned char* record, size_t size, unsigned short* out);
TESSALIN_API int Tessalin_Unpack_16_Sized(const unsigned char* record, size_t size, unsigned short* out);

// Reads one block's three coefficient planes (zig-zag order, 64 values each,
// before dequantisation) from a nibble stream of `nibble_count` units starting
// at *position, and advances *position. Returns 0 when the block needs units
// past the end (the missing ones read as 0), else 1. For record producers and
// tests.
TESSALIN_API int Tessalin_Read_Block(const unsigned char* nibbles, size_t nibble_count, size_t* position,
                                     short coefficients[192]);

#ifdef __cplusplus
}
#endif
