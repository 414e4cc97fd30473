// Panorama records of any length and content, and single blocks of nibbles.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "tessalin/tessalin.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // Single blocks straight from the input.
  size_t position = 0;
  short coefficients[192];
  for (int i = 0; i < 64 && position < (size - 1) * 2; ++i) {
    if (!Tessalin_Read_Block(data + 1, (size - 1) * 2, &position, coefficients)) break;
  }
  // A whole record: the input after a valid signature (so decoding is reached).
  std::vector<unsigned char> record(32, 0);
  std::memcpy(record.data(), TESSALIN_SIGNATURE, sizeof TESSALIN_SIGNATURE);
  record.insert(record.end(), data + 1, data + size);
  std::vector<unsigned short> out(static_cast<size_t>(TESSALIN_WIDTH) * TESSALIN_HEIGHT);
  if (data[0] & 1) {
    Tessalin_Unpack_16_Sized(record.data(), record.size(), out.data());
  } else {
    Tessalin_Unpack_15_Sized(record.data(), record.size(), out.data());
  }
  return 0;
}
