// Writes PAK file bytes field by field, so tests can build any header, damaged
// ones included, next to the payload they want.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

struct Pak_Fields {
  std::string magic = "PAKF";
  std::string name;  // up to 16 bytes are written
  uint32_t method = 0;
  uint32_t packed_size = 0;
  uint32_t unpacked_size = 0;
};

inline std::vector<uint8_t> Write_Pak(const Pak_Fields& f, const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> out(36, 0);
  std::memcpy(out.data(), f.magic.data(), f.magic.size() < 4 ? f.magic.size() : 4);
  std::memcpy(out.data() + 8, f.name.data(), f.name.size() < 16 ? f.name.size() : 16);
  const uint32_t fields[3] = {f.method, f.packed_size, f.unpacked_size};
  for (int k = 0; k < 3; ++k) {
    for (int i = 0; i < 4; ++i) out[24 + 4 * k + i] = static_cast<uint8_t>(fields[k] >> (8 * i));
  }
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}
