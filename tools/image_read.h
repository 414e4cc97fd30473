// Reading PNG and JPEG pictures into plain 8-bit R, G, B pixels, for the import
// commands. Every kind of PNG (palette, grey, alpha, 16 bits, interlaced) and
// every JPEG libjpeg decodes (grey, colour, CMYK) comes out the same way; alpha
// is composited over black, and samples are taken as stored (no gamma change).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Rgb_Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // width * height * 3 bytes, rows top to bottom
};

// The largest picture accepted (either side, and in all): a claimed size above
// these is refused before anything is allocated.
constexpr int Image_Max_Side = 32768;
constexpr long long Image_Max_Pixels = 1LL << 28;

// Reads a PNG or JPEG file (told apart by their first bytes, whatever the name).
// False with a one-line reason when the file cannot be read or is neither.
bool Image_Read(const std::string& path, Rgb_Image& out, std::string* error);
// The same from bytes in memory.
bool Image_Read_Memory(const uint8_t* data, size_t size, Rgb_Image& out, std::string* error);
