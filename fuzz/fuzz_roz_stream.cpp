// Class ROZ decoders on arbitrary streams: pictures, tile runs and 16-bit blocks.
// Byte 0 picks the entry point and size, byte 1 the quality; the rest is the stream.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "roz/roz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int choice = data[0];
  const int quality = data[1] % 101;
  std::vector<unsigned char> stream(data + 2, data + size);
  const int length = static_cast<int>(stream.size());
  const int width = 8 * (1 + (choice >> 3 & 3)), height = 8 * (1 + (choice >> 5 & 3));
  ROZ codec;
  switch (choice & 7) {
    case 0: {
      std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 3);
      codec.Unpack_Picture_Rgb_24(pixels.data(), width, height, stream.data(), length, quality);
      break;
    }
    case 1: {
      std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 4);
      codec.Unpack_Picture_Rgb_32(pixels.data(), width, height, stream.data(), length, quality);
      break;
    }
    case 2: {
      const int count = 1 + (choice >> 3);
      std::vector<unsigned char> tiles(static_cast<size_t>(count) * 192);
      codec.Unpack_Bloc_Rgb_24(tiles.data(), count, stream.data(), length, quality);
      break;
    }
    case 3: {
      const int count = 1 + (choice >> 3);
      std::vector<unsigned char> tiles(static_cast<size_t>(count) * 256);
      codec.Unpack_Bloc_Rgb_32(tiles.data(), count, stream.data(), length, quality);
      break;
    }
    default: {
      // Blocks into a 32 x 32 picture at offsets that keep them inside.
      const int count = 1 + (choice >> 3);
      std::vector<unsigned short> picture(32 * 32);
      std::vector<int> offsets(static_cast<size_t>(count));
      for (int k = 0; k < count; ++k) offsets[static_cast<size_t>(k)] = (k % 25 / 5) * 4 * 32 + (k % 5) * 6;
      codec.Unpack_Bloc_Rgb_16(picture.data(), offsets.data(), count, 32, stream.data(), length, quality,
                               (choice & 1) ? 16 : 15);
      break;
    }
  }
  return 0;
}
