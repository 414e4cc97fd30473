// Small helpers shared by the picture readers (not part of the public interface).
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "files/text.h"
#include "pictures/picture.h"
#include "platform/byte_order.h"

namespace picture_reader {

inline uint32_t be32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

// Four tag characters compared without regard to ASCII case.
inline bool tag_equal(const uint8_t* p, const char* tag) {
  for (int i = 0; i < 4; ++i) {
    if (Ascii_Lower(p[i]) != Ascii_Lower(static_cast<unsigned char>(tag[i]))) return false;
  }
  return true;
}

inline bool side_ok(int64_t side) { return side >= 1 && side <= Picture_Max_Side; }

// A zeroed picture for a reader, or null when a side is 0, negative or too large.
inline Picture* new_picture(const char* name, int64_t width, int64_t height, int bits_per_pixel) {
  if (!side_ok(width) || !side_ok(height)) return nullptr;
  return Picture_Create(name, static_cast<int>(width), static_cast<int>(height), bits_per_pixel);
}

// True when `packed` bytes of a run-length stream can possibly fill `out` bytes,
// given the largest expansion of the scheme: checked before the output block is
// allocated, so a tiny file cannot make us allocate what it merely claims.
inline bool can_expand_to(size_t packed, size_t out, size_t max_ratio) {
  return static_cast<uint64_t>(packed) * max_ratio >= out;
}

}  // namespace picture_reader
