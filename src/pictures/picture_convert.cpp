// Unpacking, repacking, conversion to 5-6-5 and scaling of a picture's pixels.
#include <cstring>
#include <vector>

#include "files/pack_methods.h"
#include "pictures/picture.h"
#include "platform/memory.h"

namespace {
void drop_pixels(Picture* picture) {
  Mem_Free(picture->pixels);
  picture->pixels = nullptr;
  picture->data_size = 0;
  picture->pack_method = 0;
}

// True when a plain picture's block holds all its pixels (records built by hand
// may claim more than they hold).
bool pixels_complete(const Picture* picture) {
  size_t plain = Picture_Plain_Size(picture);
  return plain != 0 && picture->pixels != nullptr && picture->pack_method == 0 &&
         picture->data_size >= plain;
}
}  // namespace

int Picture_Unpack(Picture* picture) {
  if (picture == nullptr) return -1;
  if (picture->pack_method == 0) return 0;
  size_t plain = Picture_Plain_Size(picture);
  if (plain == 0) {
    drop_pixels(picture);
    return -1;
  }
  // Zeroed first: methods 6 and 7 decode against a black reference, and a damaged
  // stream leaves black where it stopped rather than stale memory.
  auto* out = static_cast<uint8_t*>(Mem_Alloc_Zero(static_cast<uint32_t>(plain)));
  int result = -1;
  if (picture->pack_method <= 7 && picture->pixels != nullptr && picture->data_size != 0) {
    result = Pack_Decode(static_cast<int>(picture->pack_method), picture->pixels, picture->data_size, out,
                         plain);
  }
  Mem_Free(picture->pixels);
  picture->pixels = out;
  picture->data_size = static_cast<uint32_t>(plain);
  picture->pack_method = 0;
  return result == 0 ? 0 : -1;
}

int Picture_Repack(Picture* picture, int method) {
  if (picture == nullptr || method < 0 || method > 7) return -1;
  if (picture->pack_method == static_cast<uint32_t>(method)) return 0;
  if (Picture_Unpack(picture) != 0) return -1;
  if (method == 0) return 0;
  if (picture->pixels == nullptr || picture->data_size == 0) return -1;
  std::vector<uint8_t> packed = Pack_Encode(method, picture->pixels, picture->data_size);
  if (packed.empty() || packed.size() > UINT32_MAX) return -1;
  auto* block = static_cast<uint8_t*>(Mem_Alloc(static_cast<uint32_t>(packed.size())));
  std::memcpy(block, packed.data(), packed.size());
  Mem_Free(picture->pixels);
  picture->pixels = block;
  picture->data_size = static_cast<uint32_t>(packed.size());
  picture->pack_method = static_cast<uint32_t>(method);
  return 0;
}

int Picture_To_16(Picture* picture) {
  if (picture == nullptr) return -1;
  int unpacked = Picture_Unpack(picture);
  int bpp = picture->bits_per_pixel;
  if (bpp == 16) return unpacked;
  if (bpp != 8 && bpp != 24 && bpp != 32) return -1;
  if (bpp == 8 && Picture_Palette_To_16(picture) != 0) return -1;
  size_t count = static_cast<size_t>(picture->width) * static_cast<size_t>(picture->height);
  uint16_t* out = nullptr;
  if (pixels_complete(picture)) {
    out = static_cast<uint16_t*>(Mem_Alloc(static_cast<uint32_t>(count * 2)));
    const uint8_t* in = picture->pixels;
    if (bpp == 8) {
      const uint8_t* table = picture->palette + Picture_Palette_Size;
      for (size_t i = 0; i < count; ++i) std::memcpy(out + i, table + 2 * in[i], 2);
    } else {
      size_t step = static_cast<size_t>(bpp / 8);
      for (size_t i = 0; i < count; ++i, in += step) out[i] = Rgb_To_565(in[0], in[1], in[2]);
    }
  }
  Mem_Free(picture->pixels);
  picture->pixels = reinterpret_cast<uint8_t*>(out);
  picture->data_size = out != nullptr ? static_cast<uint32_t>(count * 2) : 0;
  picture->bits_per_pixel = 16;
  return unpacked;
}

int Picture_Scale(Picture* picture, int new_width, int new_height) {
  if (picture == nullptr) return -1;
  if (new_width > Picture_Max_Side || new_height > Picture_Max_Side) return -1;
  int bpp = picture->bits_per_pixel;
  if (bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return -1;
  int unpacked = Picture_Unpack(picture);
  size_t pixel_bytes = static_cast<size_t>(bpp / 8);
  int old_width = picture->width;
  int old_height = picture->height;
  const uint8_t* source = picture->pixels;
  bool complete = pixels_complete(picture);

  // A side below 1 gives an empty picture; the steps would divide by it.
  uint8_t* out = nullptr;
  size_t out_size = 0;
  if (new_width >= 1 && new_height >= 1) {
    out_size = static_cast<size_t>(new_width) * static_cast<size_t>(new_height) * pixel_bytes;
    out = static_cast<uint8_t*>(Mem_Alloc_Zero(static_cast<uint32_t>(out_size)));
    if (complete) {
      // 8 fraction bits; the source coordinate stays below the old side because
      // step <= old * 256 / new.
      int64_t x_step = (static_cast<int64_t>(old_width) * 256) / new_width;
      int64_t y_step = (static_cast<int64_t>(old_height) * 256) / new_height;
      uint8_t* dst = out;
      for (int y = 0; y < new_height; ++y) {
        size_t sy = static_cast<size_t>((y * y_step) >> 8);
        const uint8_t* row = source + sy * static_cast<size_t>(old_width) * pixel_bytes;
        for (int x = 0; x < new_width; ++x, dst += pixel_bytes) {
          size_t sx = static_cast<size_t>((x * x_step) >> 8);
          std::memcpy(dst, row + sx * pixel_bytes, pixel_bytes);
        }
      }
    }
  }
  Mem_Free(picture->pixels);
  picture->pixels = out;
  picture->data_size = static_cast<uint32_t>(out_size);
  picture->width = new_width > 0 ? new_width : 0;
  picture->height = new_height > 0 ? new_height : 0;
  return unpacked;
}
