#include "draw/rows.h"

#include <cstddef>
#include <cstring>

#include "pictures/picture.h"
#include "platform/byte_order.h"

namespace {

// Branch-free forms of the clamped sum and difference in 16-bit arithmetic, so
// that the compiler can work on eight pixels per vector. The carry out of red
// (bit 16 of the wide sum) is found by comparison instead; the guard bits that
// the mask leaves free receive the other carries (sum) or lose the borrows
// (difference), and each one widens into a whole-component mask.
inline uint16_t add_branch_free(uint16_t a, uint16_t b) {
  const uint16_t am = static_cast<uint16_t>(a & Pixel_Mask);
  uint16_t s = static_cast<uint16_t>(am + (b & Pixel_Mask));
  s = static_cast<uint16_t>(s | (s < am ? 0xF000u : 0u));
  s = static_cast<uint16_t>(s | (((s >> 11) & 1u) * 0x07C0u));
  s = static_cast<uint16_t>(s | (((s >> 5) & 1u) * 0x001Fu));
  return s;
}

inline uint16_t sub_branch_free(uint16_t a, uint16_t b_masked) {
  const uint16_t guarded = static_cast<uint16_t>(a | 0x0820u);
  const uint16_t t = static_cast<uint16_t>(guarded - b_masked);
  const uint16_t keep_red = guarded < b_masked ? 0x07FFu : 0xFFFFu;
  const uint16_t keep_green = (t & 0x0800u) ? 0xFFFFu : 0xF81Fu;
  const uint16_t keep_blue = (t & 0x0020u) ? 0xFFFFu : 0xFFE0u;
  return static_cast<uint16_t>(t & keep_red & keep_green & keep_blue & Pixel_Mask);
}

}  // namespace

uint16_t Pixel_Add_Clamped(uint16_t a, uint16_t b) {
  uint32_t s = (a & Pixel_Mask) + (b & Pixel_Mask);
  if (s & 0x10000u) s |= 0xF000u;
  if (s & 0x00800u) s |= 0x07C0u;
  if (s & 0x00020u) s |= 0x001Fu;
  return static_cast<uint16_t>(s);
}

uint16_t Pixel_Sub_Clamped(uint16_t a, uint16_t b_masked) {
  uint32_t t = (a | 0x10820u) - b_masked;
  // The three guard bits are read before any of the masks is applied: a mask
  // clears guard bits of its own.
  const bool red_borrowed = !(t & 0x10000u);
  const bool green_borrowed = !(t & 0x00800u);
  const bool blue_borrowed = !(t & 0x00020u);
  if (red_borrowed) t &= 0x07FFu;
  if (green_borrowed) t &= 0xF81Fu;
  if (blue_borrowed) t &= 0xFFE0u;
  t &= Pixel_Mask;
  return static_cast<uint16_t>(t);
}

uint16_t Pixel_Half_Sum(uint16_t a, uint16_t b) {
  return static_cast<uint16_t>(((a & Pixel_Mask) + (b & Pixel_Mask)) >> 1);
}

uint16_t Grey_Pixel(int32_t level) {
  uint32_t g = static_cast<uint32_t>(level < 0 ? -static_cast<int64_t>(level) : level) & 255u;
  const uint8_t g8 = static_cast<uint8_t>(g);
  return static_cast<uint16_t>(Rgb_To_565(g8, g8, g8) & Pixel_Mask);
}

// --- fast versions ----------------------------------------------------------

void Row_Fill_16(uint16_t* destination, uint16_t colour, uint32_t count) {
  uint32_t pair = colour | (static_cast<uint32_t>(colour) << 16);
  uint32_t i = 0;
  for (; i + 2 <= count; i += 2) Store_Host32(destination + i, pair);
  if (i < count) destination[i] = colour;
}

void Row_Palette_16(const uint8_t* source, uint16_t* destination, const uint16_t* table, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) destination[i] = table[source[i]];
}

void Block_Zoom_2(const uint16_t* source, uint16_t* destination, uint32_t width, uint32_t height) {
  if (width == 0 || height == 0) return;
  const uint32_t out_width = 2 * width;
  // Even output rows: each source pixel followed by the half-sum with its right
  // neighbour; the last pixel of a row is repeated.
  for (uint32_t r = 0; r < height; ++r) {
    const uint16_t* s = source + static_cast<std::size_t>(r) * width;
    uint16_t* d = destination + static_cast<std::size_t>(2 * r) * out_width;
    for (uint32_t i = 0; i + 1 < width; ++i) {
      d[2 * i] = s[i];
      d[2 * i + 1] = Pixel_Half_Sum(s[i], s[i + 1]);
    }
    d[2 * width - 2] = s[width - 1];
    d[2 * width - 1] = s[width - 1];
  }
  // Odd output rows: half-sums of the rows above and below; the last row copies
  // the one above it.
  for (uint32_t r = 0; r + 1 < height; ++r) {
    const uint16_t* above = destination + static_cast<std::size_t>(2 * r) * out_width;
    const uint16_t* below = above + 2 * static_cast<std::size_t>(out_width);
    uint16_t* d = destination + static_cast<std::size_t>(2 * r + 1) * out_width;
    for (uint32_t i = 0; i < out_width; ++i) d[i] = Pixel_Half_Sum(above[i], below[i]);
  }
  uint16_t* last = destination + static_cast<std::size_t>(2 * height - 1) * out_width;
  std::memcpy(last, last - out_width, out_width * 2u);
}

void Block_Scale(const uint16_t* source, uint32_t source_width, uint32_t source_height,
                 uint16_t* destination, uint32_t destination_width, uint32_t destination_height) {
  if (destination_width == 0 || destination_height == 0) return;
  const uint64_t x_step = (static_cast<uint64_t>(source_width) << 16) / destination_width;
  const uint64_t y_step = (static_cast<uint64_t>(source_height) << 16) / destination_height;
  uint64_t y = 0;
  uint64_t previous_row = UINT64_MAX;
  for (uint32_t j = 0; j < destination_height; ++j, y += y_step) {
    uint16_t* d = destination + static_cast<std::size_t>(j) * destination_width;
    uint64_t row = y >> 16;
    if (row == previous_row) {
      // Enlarging repeats source rows: copy the row already made.
      std::memcpy(d, d - destination_width, static_cast<std::size_t>(destination_width) * 2);
      continue;
    }
    previous_row = row;
    const uint16_t* s = source + row * source_width;
    uint64_t x = 0;
    for (uint32_t i = 0; i < destination_width; ++i, x += x_step) d[i] = s[x >> 16];
  }
}

void Row_Brightness(const uint16_t* source, uint16_t* destination, uint32_t count, int32_t level) {
  const uint16_t grey = Grey_Pixel(level);
  if (level >= 0) {
    for (uint32_t i = 0; i < count; ++i) destination[i] = add_branch_free(source[i], grey);
  } else {
    for (uint32_t i = 0; i < count; ++i) destination[i] = sub_branch_free(source[i], grey);
  }
}

void Row_Add(const uint16_t* a, const uint16_t* b, uint16_t* destination, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) destination[i] = add_branch_free(a[i], b[i]);
}

// --- reference versions -------------------------------------------------------

namespace row_reference {

void Row_Brightness(const uint16_t* source, uint16_t* destination, uint32_t count, int32_t level) {
  const uint16_t grey = Grey_Pixel(level);
  for (uint32_t i = 0; i < count; ++i) {
    destination[i] = level >= 0 ? Pixel_Add_Clamped(source[i], grey) : Pixel_Sub_Clamped(source[i], grey);
  }
}

void Row_Add(const uint16_t* a, const uint16_t* b, uint16_t* destination, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) destination[i] = Pixel_Add_Clamped(a[i], b[i]);
}

void Block_Scale(const uint16_t* source, uint32_t source_width, uint32_t source_height,
                 uint16_t* destination, uint32_t destination_width, uint32_t destination_height) {
  if (destination_width == 0 || destination_height == 0) return;
  const uint64_t x_step = (static_cast<uint64_t>(source_width) << 16) / destination_width;
  const uint64_t y_step = (static_cast<uint64_t>(source_height) << 16) / destination_height;
  for (uint32_t j = 0; j < destination_height; ++j) {
    const uint16_t* s = source + ((j * y_step) >> 16) * source_width;
    for (uint32_t i = 0; i < destination_width; ++i) {
      destination[static_cast<std::size_t>(j) * destination_width + i] = s[(i * x_step) >> 16];
    }
  }
}

}  // namespace row_reference
