#include "draw/rows.h"

#include <cstddef>
#include <cstring>

namespace {

// 32-bit loads and stores through memcpy: one move each, and no alignment or
// aliasing assumptions about the caller's buffers.
inline void store32(void* at, uint32_t value) { std::memcpy(at, &value, 4); }
inline uint32_t load32(const void* at) {
  uint32_t value;
  std::memcpy(&value, at, 4);
  return value;
}

inline uint8_t* byte_offset(void* at, int32_t offset) { return static_cast<uint8_t*>(at) + offset; }

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
  uint32_t grey = ((g & 0xF8u) << 8) | ((g & 0xFCu) << 3) | (g >> 3);
  return static_cast<uint16_t>(grey & Pixel_Mask);
}

// --- fast versions ----------------------------------------------------------

void Row_Copy(const void* source, void* destination, uint32_t bytes) {
  std::memcpy(destination, source, bytes);
}

void Row_Fill_16(uint16_t* destination, uint16_t colour, uint32_t count) {
  uint32_t pair = colour | (static_cast<uint32_t>(colour) << 16);
  uint32_t i = 0;
  for (; i + 2 <= count; i += 2) store32(destination + i, pair);
  if (i < count) destination[i] = colour;
}

void Row_Table_16(const uint16_t* source, uint16_t* destination, const uint32_t* table, uint32_t count) {
  uint32_t i = 0;
  for (; i + 2 <= count; i += 2) {
    uint32_t lo = table[source[i]] & 0xFFFFu;
    uint32_t hi = table[source[i + 1]] & 0xFFFFu;
    store32(destination + i, lo | (hi << 16));
  }
  if (i < count) destination[i] = static_cast<uint16_t>(table[source[i]]);
}

void Row_Table_16_Double(const uint16_t* source, uint16_t* destination, const uint32_t* table,
                         int32_t next_row, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t p = table[source[i]] & 0xFFFFu;
    store32(destination + 2 * i, p | (p << 16));
    store32(byte_offset(destination + 2 * i, next_row), 0);
  }
}

void Row_Table_8(const uint16_t* source, uint8_t* destination, const uint32_t* table, uint32_t count) {
  for (uint32_t group = 0; group < count / 4; ++group) {
    const uint16_t* s = source + 4 * group;
    uint32_t word = (table[s[0]] & 0xFFu) | ((table[s[1]] & 0xFFu) << 8) | ((table[s[2]] & 0xFFu) << 16) |
                    ((table[s[3]] & 0xFFu) << 24);
    store32(destination + 4 * group, word);
  }
}

void Row_Table_8_Double(const uint16_t* source, uint8_t* destination, const uint32_t* table,
                        int32_t next_row, uint32_t count) {
  for (uint32_t pair = 0; pair < count / 2; ++pair) {
    uint32_t a = table[source[2 * pair]] & 0xFFu;
    uint32_t b = table[source[2 * pair + 1]] & 0xFFu;
    store32(destination + 4 * pair, a | (a << 8) | (b << 16) | (b << 24));
    store32(byte_offset(destination + 4 * pair, next_row), 0);
  }
}

void Row_Double_16(const uint16_t* source, uint16_t* destination, int32_t next_row, uint32_t count) {
  uint16_t* below = reinterpret_cast<uint16_t*>(byte_offset(destination, next_row));
  uint32_t i = 0;
  // Two source pixels at a time: one 32-bit load, two 32-bit stores per row.
  for (; i + 2 <= count; i += 2) {
    uint32_t two = load32(source + i);
    uint32_t lo = two & 0xFFFFu, hi = two >> 16;
    store32(destination + 2 * i, lo | (lo << 16));
    store32(destination + 2 * i + 2, hi | (hi << 16));
    store32(below + 2 * i, 0);
    store32(below + 2 * i + 2, 0);
  }
  if (i < count) {
    uint32_t p = source[i];
    store32(destination + 2 * i, p | (p << 16));
    store32(below + 2 * i, 0);
  }
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

void Row_Copy(const void* source, void* destination, uint32_t bytes) {
  const uint8_t* s = static_cast<const uint8_t*>(source);
  uint8_t* d = static_cast<uint8_t*>(destination);
  for (uint32_t i = 0; i < bytes; ++i) d[i] = s[i];
}

void Row_Table_16(const uint16_t* source, uint16_t* destination, const uint32_t* table, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) destination[i] = static_cast<uint16_t>(table[source[i]]);
}

void Row_Double_16(const uint16_t* source, uint16_t* destination, int32_t next_row, uint32_t count) {
  uint8_t* below = byte_offset(destination, next_row);
  for (uint32_t i = 0; i < count; ++i) {
    destination[2 * i] = source[i];
    destination[2 * i + 1] = source[i];
    std::memset(below + 4 * i, 0, 4);
  }
}

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
