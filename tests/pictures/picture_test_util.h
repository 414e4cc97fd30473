// Helpers shared by the picture tests.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "pictures/picture.h"
#include "pictures/picture_load.h"
#include "support/picture_writers.h"

struct Picture_Deleter {
  void operator()(Picture* picture) const { Picture_Free(picture); }
};
using Picture_Ptr = std::unique_ptr<Picture, Picture_Deleter>;

using Picture_Parser = Picture* (*)(const uint8_t*, size_t, const char*);

inline Picture_Ptr Parse(Picture_Parser parser, const std::vector<uint8_t>& bytes, const char* name = "test") {
  return Picture_Ptr(parser(bytes.data(), bytes.size(), name));
}

inline std::vector<uint8_t> Pixels_Of(const Picture* picture) {
  return std::vector<uint8_t>(picture->pixels, picture->pixels + picture->data_size);
}
inline std::vector<uint8_t> Palette_Of(const Picture* picture) {
  return std::vector<uint8_t>(picture->palette, picture->palette + Picture_Palette_Size);
}

// The pixels a reader must produce from a test image: 16-bit x-5-5-5 words become
// 5-6-5, 32-bit pixels lose their fourth byte.
inline std::vector<uint8_t> Expected_Pixels(const Picture_Image& image) {
  std::vector<uint8_t> out;
  size_t count = static_cast<size_t>(image.width) * image.height;
  for (size_t i = 0; i < count; ++i) {
    switch (image.bits) {
      case 8: out.push_back(image.pixels[i]); break;
      case 16: {
        uint16_t v = Rgb555_To_565(static_cast<uint16_t>(image.pixels[2 * i] | (image.pixels[2 * i + 1] << 8)));
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
        break;
      }
      case 24: out.insert(out.end(), &image.pixels[3 * i], &image.pixels[3 * i] + 3); break;
      case 32: out.insert(out.end(), &image.pixels[4 * i], &image.pixels[4 * i] + 3); break;
    }
  }
  return out;
}
