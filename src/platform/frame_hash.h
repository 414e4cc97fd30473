// A 64-bit hash of a frame, for comparing runs frame by frame: FNV-1a over the
// pixels as little-endian 16-bit values.
#pragma once
#include <cstddef>
#include <cstdint>

uint64_t Frame_Hash(const uint16_t* pixels, size_t count);
