#include "platform/png.h"

#include <gtest/gtest.h>

#include <string>


namespace {
uint32_t big32(const std::vector<uint8_t>& b, size_t at) {
  return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | b[at + 3];
}

// Reads back a zlib stream made only of stored blocks, which ends in the given
// Adler-32.
std::vector<uint8_t> unstore(const std::vector<uint8_t>& z, uint32_t adler) {
  std::vector<uint8_t> out;
  size_t at = 2;
  for (;;) {
    uint8_t head = z.at(at);
    size_t len = z.at(at + 1) | z.at(at + 2) << 8;
    size_t nlen = z.at(at + 3) | z.at(at + 4) << 8;
    EXPECT_EQ(len ^ 0xFFFF, nlen);
    out.insert(out.end(), z.begin() + static_cast<long>(at + 5), z.begin() + static_cast<long>(at + 5 + len));
    at += 5 + len;
    if (head & 1) break;
  }
  EXPECT_EQ(big32(z, at), adler);
  return out;
}
}  // namespace

TEST(PngWriter, FramesRoundTripThroughStoredBlocks) {
  // 200 x 120 needs more than one 65535-byte block.
  const uint32_t w = 200, h = 120;
  std::vector<uint16_t> pixels(w * h);
  for (uint32_t i = 0; i < w * h; ++i) pixels[i] = static_cast<uint16_t>(i * 2654435761u >> 7);
  pixels[0] = 0xFFFF;
  pixels[1] = 0xF800;
  pixels[2] = 0x07E0;
  pixels[3] = 0x001F;
  std::vector<uint8_t> png = Png_Encode_565(pixels.data(), w, h);
  ASSERT_GT(png.size(), 33u);
  EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
  EXPECT_EQ(big32(png, 8), 13u);
  EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
  EXPECT_EQ(big32(png, 16), w);
  EXPECT_EQ(big32(png, 20), h);
  EXPECT_EQ(png[24], 8);
  EXPECT_EQ(png[25], 2);
  EXPECT_EQ(big32(png, 29), Png_Crc32(png.data() + 12, 17));
  size_t idat_size = big32(png, 33);
  ASSERT_EQ(std::string(png.begin() + 37, png.begin() + 41), "IDAT");
  std::vector<uint8_t> z(png.begin() + 41, png.begin() + 41 + static_cast<long>(idat_size));
  // The rows' checksum, computed apart from the engine (zlib's adler32 over the
  // rows widened as described for Png_Encode_565).
  std::vector<uint8_t> raw = unstore(z, 0xDF161B5Fu);
  ASSERT_EQ(raw.size(), h * (1 + 3 * w));
  const uint8_t first[13] = {0, 255, 255, 255, 255, 0, 0, 0, 255, 0, 0, 0, 255};
  EXPECT_EQ(std::vector<uint8_t>(raw.begin(), raw.begin() + 13), std::vector<uint8_t>(first, first + 13));
  EXPECT_EQ(std::string(png.end() - 8, png.end() - 4), "IEND");
  EXPECT_EQ(big32(png, png.size() - 4), 0xAE426082u);  // the well-known CRC of an empty IEND
}

// Check values computed apart from the engine (zlib's adler32 and crc32). The
// long run passes 5552 bytes, where a sum kept without reduction would overflow.
TEST(PngWriter, ChecksumsMatchIndependentValues) {
  const std::string check = "123456789", word = "Wikipedia";
  const std::vector<uint8_t> run(100000, 0xFF);
  const auto bytes = [](const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); };
  EXPECT_EQ(Png_Adler32(nullptr, 0), 1u);
  EXPECT_EQ(Png_Adler32(bytes(word), word.size()), 0x11E60398u);
  EXPECT_EQ(Png_Adler32(run.data(), run.size()), 0x149A302Cu);
  EXPECT_EQ(Png_Crc32(nullptr, 0), 0u);
  EXPECT_EQ(Png_Crc32(bytes(check), check.size()), 0xCBF43926u);
  EXPECT_EQ(Png_Crc32(run.data(), run.size()), 0x68C6CEC4u);
}
