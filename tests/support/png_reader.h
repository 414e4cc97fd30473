// Reads PNG files back in tests (through libpng), keeping the stored form: the
// colour type, the palette of palette pictures, and the pixels as stored.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Png_Read {
  bool ok = false;
  int width = 0;
  int height = 0;
  int colour_type = -1;           // PNG colour type: 2 RGB, 3 palette, 6 RGBA, ...
  int channels = 0;               // bytes a pixel as stored (1 for palette pictures)
  std::vector<uint8_t> pixels;    // rows top to bottom, no padding
  std::vector<uint8_t> palette;   // R, G, B per entry (palette pictures)

  // R, G, B of pixel (x, y), through the palette for palette pictures.
  void rgb(int x, int y, uint8_t* out) const;
};

Png_Read Png_Read_File(const std::string& path);
