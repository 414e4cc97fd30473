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

// --- Error diffusion of true-colour pictures to 5-6-5 -------------------------

namespace {

int32_t clamp_16_16(int32_t v) { return v < 0 ? 0 : (v > 0xFF0000 ? 0xFF0000 : v); }

// The nearest 5-bit (blue, red) or 6-bit (green) level of a 16.16 value, as the
// 8-bit value of that level.
uint8_t level_5(int32_t v) {
  int32_t i = v >> 16;
  int32_t q = (i >> 3) + ((i & 7) >= 4 ? 1 : 0);
  return static_cast<uint8_t>((q > 31 ? 31 : q) * 8);
}
uint8_t level_6(int32_t v) {
  int32_t i = v >> 16;
  int32_t q = (i >> 2) + ((i & 3) >= 2 ? 1 : 0);
  return static_cast<uint8_t>((q > 63 ? 63 : q) * 4);
}

// The three channels as 16.16 planes. Diffusion addresses neighbours as linear
// offsets without edge tests, so each plane has a margin of one row and one
// pixel on both sides.
struct Diffusion_Planes {
  int width;
  size_t margin;
  std::vector<int32_t> planes[3];

  Diffusion_Planes(const uint8_t* bgrx, int w, int h) : width(w), margin(static_cast<size_t>(w) + 1) {
    size_t count = static_cast<size_t>(w) * h;
    for (int c = 0; c < 3; ++c) {
      planes[c].assign(count + 2 * margin, 0);
      for (size_t i = 0; i < count; ++i) planes[c][margin + i] = static_cast<int32_t>(bgrx[i * 4 + c]) << 16;
    }
  }
  int32_t at(int c, size_t index) const { return planes[c][margin + index]; }

  // Quantises pixel `index` and spreads its error: 7/16 to the next pixel in scan
  // order, 5/16 below, 3/16 below-behind, 1/16 below-ahead.
  void diffuse(size_t index, int direction) {
    for (int c = 0; c < 3; ++c) {
      int32_t* p = planes[c].data() + margin;
      int32_t value = clamp_16_16(p[index]);
      p[index] = value;
      int32_t level = c == 1 ? level_6(value) : level_5(value);
      int32_t error = value - (level << 16);
      int64_t ahead = static_cast<int64_t>(index) + direction;
      int64_t below = static_cast<int64_t>(index) + width;
      p[ahead] += (error * 7) >> 4;
      p[below] += (error * 5) >> 4;
      p[below - direction] += (error * 3) >> 4;
      p[below + direction] += error >> 4;
    }
  }
};

}  // namespace

void Targa_To_565(const uint8_t* bgrx, int width, int height, uint16_t* out, int pitch) {
  if (width <= 0 || height <= 0) return;
  Diffusion_Planes planes(bgrx, width, height);
  // Serpentine order over every row but the last, skipping the last column both
  // ways: even rows left to right, odd rows right to left.
  for (int y = 0; y + 1 < height; ++y) {
    size_t row = static_cast<size_t>(y) * width;
    if ((y & 1) == 0) {
      for (int x = 0; x < width - 1; ++x) planes.diffuse(row + x, 1);
    } else {
      for (int x = width - 2; x >= 0; --x) planes.diffuse(row + x, -1);
    }
  }
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      size_t i = static_cast<size_t>(y) * width + x;
      uint8_t red = level_5(clamp_16_16(planes.at(2, i)));
      uint8_t green = level_6(clamp_16_16(planes.at(1, i)));
      uint8_t blue = level_5(clamp_16_16(planes.at(0, i)));
      out[static_cast<size_t>(y) * pitch + x] = Rgb_To_565(red, green, blue);
    }
  }
}
