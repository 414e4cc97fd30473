// Little-endian loads and stores: the game's files store every number low byte
// first, whatever the host's order.
#pragma once
#include <cstdint>
#include <cstring>

inline uint16_t Load_Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

inline uint32_t Load_Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

inline void Store_Le16(uint8_t* p, uint16_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
}

inline void Store_Le32(uint8_t* p, uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

// 32-bit loads and stores in the host's order through memcpy: one move each, and
// no alignment or aliasing assumptions about the caller's buffers (the pixel-row
// routines write two 16-bit pixels at a time).
inline uint32_t Load_Host32(const void* at) {
  uint32_t value;
  std::memcpy(&value, at, 4);
  return value;
}

inline void Store_Host32(void* at, uint32_t value) { std::memcpy(at, &value, 4); }
