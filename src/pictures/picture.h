// The picture record: every still picture of the engine, whatever file it came
// from, and the operations on it (create, clone, free, unpack, repack, convert to
// 16 bits per pixel, scale).
#pragma once
#include <cstddef>
#include <cstdint>

// Larger pictures are refused by every reader and by Picture_Create.
constexpr int Picture_Max_Side = 16384;
// Version every reader except MTRD stores.
constexpr uint32_t Picture_Current_Version = 1284;
constexpr int Picture_Palette_Size = 768;        // 256 entries of R, G, B
constexpr int Picture_Palette_16_Size = 1280;    // the above, then 256 5-6-5 values

struct Picture {
  char name[256];          // NUL-terminated
  uint32_t version;        // 1280 to 1284
  int32_t width;
  int32_t height;
  int32_t bits_per_pixel;  // 8 (palette indices), 16 (5-6-5), 24 (R, G, B), 32 (R, G, B, unused)
  uint32_t pack_method;    // 0 plain, else the pack method of the pixel block
  uint32_t data_size;      // bytes in the pixel block as held
  uint8_t* palette;        // 768 bytes (1280 after Picture_Palette_To_16); always allocated
  uint8_t* pixels;         // rows top to bottom, no padding; null only when data_size is 0
  int32_t frame_count;     // animation frames (MTRD only)
  uint32_t unused[2];      // zero
  uint8_t* frames;         // concatenated animation frame payloads, or null
};

// 5-6-5 pixel from 8-bit components.
inline uint16_t Rgb_To_565(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<uint16_t>(((r & 0xF8) << 8) | ((g & 0xFC) << 3) | (b >> 3));
}
// x-5-5-5 pixel from 8-bit components (the top bit stays 0).
inline uint16_t Rgb_To_555(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<uint16_t>(((r & 0xF8) << 7) | ((g & 0xF8) << 2) | (b >> 3));
}
// 5-6-5 from x-5-5-5: red and green move up one bit, the low green bit is 0.
inline uint16_t Rgb555_To_565(uint16_t v) {
  return static_cast<uint16_t>(((v & 0x7C00) << 1) | ((v & 0x03E0) << 1) | (v & 0x001F));
}

// Bytes of the plain pixel block: width x height x (bits_per_pixel / 8), 0 for an
// empty or malformed record.
size_t Picture_Plain_Size(const Picture* picture);

// A zeroed picture with a zeroed palette, version 1284. depth up to 8 gives 8 bits
// per pixel, 9-16 gives 16, 17-24 gives 24, above gives 32. A width or height below
// 1 gives an empty picture (no pixel block, data_size 0); a side above
// Picture_Max_Side gives none.
Picture* Picture_Create(const char* name, int width, int height, int depth);
// A copy with its own palette (768 bytes) and pixel block (packed or not), no frames.
Picture* Picture_Clone(const Picture* picture);
// Frees frames, pixels, palette and the record; null is accepted.
void Picture_Free(Picture* picture);
// Replaces a packed pixel block by its plain form. -1 when the packed data is
// damaged: the picture is then plain all the same, with what could be decoded.
int Picture_Unpack(Picture* picture);
// Method 0 unpacks; 1 to 7 packs with that method. A picture already packed with
// the requested method is left alone. -1 on failure (picture unchanged or plain).
int Picture_Repack(Picture* picture, int method);
// 8-bit pictures: grows the palette to 1280 bytes and stores at byte 768 + 2 i the
// 5-6-5 value of entry i. -1 for other depths.
int Picture_Palette_To_16(Picture* picture);
// Unpacks, then converts 8-, 24- and 32-bit pixels to 5-6-5. 16-bit pictures are
// left unchanged. -1 for other depths.
int Picture_To_16(Picture* picture);
// Unpacks, then resamples to the new size by nearest neighbour (8.8 fixed-point
// steps). A new width or height below 1 gives an empty picture; a side above
// Picture_Max_Side is refused (-1, picture unchanged).
int Picture_Scale(Picture* picture, int new_width, int new_height);
// Copies name into picture->name, cut to 255 characters.
void Picture_Set_Name(Picture* picture, const char* name);

// Error-diffuses a true-colour picture (4 bytes a pixel: blue, green, red, unused;
// width x height, no padding) into 5-6-5 pixels (rows pitch pixels apart).
void Targa_To_565(const uint8_t* bgrx, int width, int height, uint16_t* out, int pitch);
