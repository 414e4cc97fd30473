#include "platform/frame_hash.h"

uint64_t Frame_Hash(const uint16_t* pixels, size_t count) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (size_t i = 0; i < count; ++i) {
    hash = (hash ^ (pixels[i] & 0xFFu)) * 0x100000001b3ull;
    hash = (hash ^ (pixels[i] >> 8)) * 0x100000001b3ull;
  }
  return hash;
}
