// A small PNG writer for screenshots taken by tests: 5-6-5 pixels to 8-bit RGB
// in stored (uncompressed) deflate blocks.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace test_png {

inline void put_be32(std::vector<uint8_t>& out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
}

inline void put_chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  put_be32(out, static_cast<uint32_t>(data.size()));
  const size_t body = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  uint32_t crc = ~0u;
  for (size_t i = body; i < out.size(); ++i) {
    crc ^= out[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  put_be32(out, ~crc);
}

inline bool write_rgb565(const std::string& path, const uint16_t* pixels, int width, int height) {
  std::vector<uint8_t> raw;
  for (int i = 0; i < width * height; ++i) {
    if (i % width == 0) raw.push_back(0);  // row filter: none
    const uint16_t p = pixels[i];
    raw.insert(raw.end(), {static_cast<uint8_t>((p >> 11) * 255 / 31), static_cast<uint8_t>(((p >> 5) & 63) * 255 / 63),
                           static_cast<uint8_t>((p & 31) * 255 / 31)});
  }
  std::vector<uint8_t> z = {0x78, 0x01};
  uint32_t a = 1, b = 0;
  for (size_t at = 0; at < raw.size();) {
    const size_t n = std::min<size_t>(65535, raw.size() - at);
    z.insert(z.end(), {static_cast<uint8_t>(at + n == raw.size()), static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8),
                       static_cast<uint8_t>(~n), static_cast<uint8_t>(~n >> 8)});
    for (size_t i = at; i < at + n; ++i) {
      a = (a + raw[i]) % 65521;
      b = (b + a) % 65521;
      z.push_back(raw[i]);
    }
    at += n;
  }
  put_be32(z, (b << 16) | a);
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, header;
  put_be32(header, static_cast<uint32_t>(width));
  put_be32(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});
  put_chunk(png, "IHDR", header);
  put_chunk(png, "IDAT", z);
  put_chunk(png, "IEND", {});
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool written = std::fwrite(png.data(), 1, png.size(), f) == png.size();
  return std::fclose(f) == 0 && written;
}

}  // namespace test_png
