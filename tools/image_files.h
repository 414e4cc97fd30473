// Picture files in the formats everyone reads: PNG writing through libpng (true
// colour, true colour with alpha, and palette pictures), and the conversions
// from the engine's 5-6-5 pixels.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The three PNG forms the tools write.
enum class Png_Form {
  Rgb,      // 3 bytes a pixel: red, green, blue
  Rgba,     // 4 bytes a pixel: red, green, blue, alpha
  Palette,  // 1 byte a pixel: an index into the palette
};

struct Png_Picture {
  int width = 0;
  int height = 0;
  Png_Form form = Png_Form::Rgb;
  std::vector<uint8_t> pixels;   // rows top to bottom, no padding
  std::vector<uint8_t> palette;  // Palette form: 3 bytes (R, G, B) an entry, 1 to 256 entries
};

// Writes the picture as a PNG file. False with a short reason in *error when the
// picture is inconsistent (sizes, palette) or the file cannot be written; a file
// that could not be completed is removed.
bool Png_Write(const std::string& path, const Png_Picture& picture, std::string* error = nullptr);

// 5-6-5 to 8-bit components, each widened by repeating its top bits (0xFFFF is
// pure white, 0 pure black): the same rule as the engine's screenshots.
void Rgb_From_565(uint16_t pixel, uint8_t* rgb);
// A true-colour picture of width x height 5-6-5 pixels, rows `pitch` pixels apart.
Png_Picture Png_From_565(const uint16_t* pixels, int width, int height, int pitch);
