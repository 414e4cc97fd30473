#include "platform/png.h"

#include <cstddef>
#include <cstdio>

namespace {

void put_u32_big(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 24));
  out.push_back(static_cast<uint8_t>(v >> 16));
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

void put_chunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data) {
  put_u32_big(out, static_cast<uint32_t>(data.size()));
  size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  put_u32_big(out, Png_Crc32(out.data() + start, out.size() - start));
}

}  // namespace

uint32_t Png_Crc32(const uint8_t* bytes, size_t size) {
  static uint32_t table[256];
  static bool ready = false;
  if (!ready) {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
    ready = true;
  }
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

uint32_t Png_Adler32(const uint8_t* bytes, size_t size) {
  uint32_t a = 1, b = 0;
  for (size_t i = 0; i < size; ++i) {
    a = (a + bytes[i]) % 65521u;
    b = (b + a) % 65521u;
  }
  return (b << 16) | a;
}

std::vector<uint8_t> Png_Encode_565(const uint16_t* pixels, uint32_t width, uint32_t height) {
  // Raw scan lines: a filter byte 0, then red, green, blue per pixel.
  std::vector<uint8_t> raw;
  raw.reserve(static_cast<size_t>(height) * (1 + 3 * static_cast<size_t>(width)));
  for (uint32_t y = 0; y < height; ++y) {
    raw.push_back(0);
    for (uint32_t x = 0; x < width; ++x) {
      uint16_t p = pixels[static_cast<size_t>(y) * width + x];
      uint8_t r = static_cast<uint8_t>(p >> 11), g = static_cast<uint8_t>((p >> 5) & 0x3F), b = static_cast<uint8_t>(p & 0x1F);
      raw.push_back(static_cast<uint8_t>((r << 3) | (r >> 2)));
      raw.push_back(static_cast<uint8_t>((g << 2) | (g >> 4)));
      raw.push_back(static_cast<uint8_t>((b << 3) | (b >> 2)));
    }
  }
  // A zlib stream of stored deflate blocks of at most 65535 bytes each.
  std::vector<uint8_t> z = {0x78, 0x01};
  size_t at = 0;
  do {
    size_t n = raw.size() - at < 65535 ? raw.size() - at : 65535;
    bool last = at + n == raw.size();
    z.push_back(last ? 1 : 0);
    z.push_back(static_cast<uint8_t>(n));
    z.push_back(static_cast<uint8_t>(n >> 8));
    z.push_back(static_cast<uint8_t>(~n));
    z.push_back(static_cast<uint8_t>(~n >> 8));
    z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at), raw.begin() + static_cast<std::ptrdiff_t>(at + n));
    at += n;
  } while (at < raw.size());
  put_u32_big(z, Png_Adler32(raw.data(), raw.size()));

  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  put_u32_big(header, width);
  put_u32_big(header, height);
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter choice, no interlace
  put_chunk(png, "IHDR", header);
  put_chunk(png, "IDAT", z);
  put_chunk(png, "IEND", {});
  return png;
}

bool Png_Write_565(const std::string& path, const uint16_t* pixels, uint32_t width, uint32_t height) {
  std::vector<uint8_t> png = Png_Encode_565(pixels, width, height);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(png.data(), 1, png.size(), file) == png.size();
  ok = std::fclose(file) == 0 && ok;
  return ok;
}
