#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "roz/roz.h"
#include "roz/roz_reference.h"
#include "roz_white_box.h"

namespace {

using Bytes = std::vector<unsigned char>;

// A smooth picture with some texture, B,G,R(,X) bytes.
Bytes Smooth_Picture(int width, int height, int bytes_per_pixel, int seed) {
  Bytes pixels(static_cast<size_t>(width) * height * bytes_per_pixel, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      unsigned char* p = &pixels[(static_cast<size_t>(y) * width + x) * bytes_per_pixel];
      p[0] = static_cast<unsigned char>(128 + 100 * std::sin((x + seed) / 11.0) * std::cos(y / 17.0));
      p[1] = static_cast<unsigned char>((x * 3 + y * 2 + seed) % 256 > 127 ? 255 - (x * 3 + y * 2 + seed) % 128
                                                                           : (x * 3 + y * 2 + seed) % 128 * 2);
      p[2] = static_cast<unsigned char>(128 + 90 * std::cos((y + seed) / 9.0));
    }
  }
  return pixels;
}

Bytes Encode_Picture(int width, int height, int bpp, const Bytes& pixels, int quality) {
  ROZ codec;
  Bytes stream(static_cast<size_t>(Roz_Max_Stream_Size((width / 8) * (height / 8))));
  Bytes copy = pixels;
  int length = 0;
  if (bpp == 24) {
    codec.Pack_Picture_Rgb_24(stream.data(), &length, copy.data(), width, height, quality);
  } else {
    codec.Pack_Picture_Rgb_32(stream.data(), &length, copy.data(), width, height, quality);
  }
  stream.resize(static_cast<size_t>(length));
  return stream;
}

double Mean_Error(const Bytes& a, const Bytes& b, int bytes_per_pixel) {
  double sum = 0;
  size_t n = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    if (i % bytes_per_pixel == 3) continue;
    sum += std::abs(a[i] - b[i]);
    ++n;
  }
  return sum / static_cast<double>(n);
}

using Fixed_Decoder = void (*)(unsigned short*, unsigned char*, int, int);
struct Fixed {
  Fixed_Decoder decode;
  int width, height, variant;
};
const Fixed kFixed[] = {
    {Unpack_Picture_Rgb_15_15_640_480, 640, 480, 0},    {Unpack_Picture_Rgb_15_16_640_480, 640, 480, 1},
    {Unpack_Picture_Rgb_16_16_640_480, 640, 480, 2},    {Unpack_Picture_Rgb_15_15_256_6144, 256, 6144, 0},
    {Unpack_Picture_Rgb_15_16_256_6144, 256, 6144, 1},  {Unpack_Picture_Rgb_16_16_256_6144, 256, 6144, 2},
};

// A stream of random sections behind a frequency table that lists every byte
// value: code bytes of any run and size (sizes up to 15, runs past the plane's
// end), and values far outside what an encoder makes.
Bytes Random_Stream(std::mt19937& random, uint32_t codes, size_t huffman_bytes, size_t ac_bytes, size_t dc_bytes) {
  Bytes table = {0x00, 0xFF};
  for (int i = 0; i < 256; ++i) table.push_back(static_cast<unsigned char>(random() % 4 == 0 ? 0 : random() % 256));
  table.push_back(0);
  Bytes stream(8);
  Set_Stream_U32(stream, 4, codes);
  stream.insert(stream.end(), table.begin(), table.end());
  for (size_t i = 0; i < huffman_bytes; ++i) stream.push_back(static_cast<unsigned char>(random()));
  Set_Stream_U32(stream, 0, static_cast<uint32_t>(stream.size() - 8));
  auto section = [&](size_t bytes) {
    size_t at = stream.size();
    stream.resize(at + 4);
    Set_Stream_U32(stream, at, static_cast<uint32_t>(bytes));
    for (size_t i = 0; i < bytes; ++i) stream.push_back(static_cast<unsigned char>(random()));
  };
  section(ac_bytes);
  section(dc_bytes);
  return stream;
}

std::string g_last_text;
void Record_Message(const char*, const char* text) { g_last_text = text; }

}  // namespace

TEST(RozPictures, RoundTripsStayWithinTheExpectedError) {
  struct Case {
    int quality;
    double mean_limit;
  } cases[] = {{100, 3.0}, {90, 3.5}, {50, 5.0}, {10, 9.0}};
  for (const Case& c : cases) {
    Bytes pixels = Smooth_Picture(64, 48, 3, c.quality);
    Bytes stream = Encode_Picture(64, 48, 24, pixels, c.quality);
    ASSERT_GT(stream.size(), 16u);
    Bytes out(pixels.size(), 0);
    ROZ codec;
    codec.Unpack_Picture_Rgb_24(out.data(), 64, 48, stream.data(), static_cast<int>(stream.size()), c.quality);
    ASSERT_EQ(Roz_Last_Status(), 0);
    const double error = Mean_Error(pixels, out, 3);
    EXPECT_LT(error, c.mean_limit) << "quality " << c.quality;
    EXPECT_GT(error, 0.0) << "quality " << c.quality;
  }
}

TEST(RozPictures, FlatColoursThroughEachEncoder) {
  // At quality 100 a flat block keeps its DC values exactly, so the result is the
  // encoder's colour transform followed by the decoders' inverse. The 32-bit
  // encoder's transform differs from the 24-bit one (red comes back stronger).
  struct Case {
    int bpp;
    unsigned char b, g, r;
    unsigned char out_b, out_g, out_r;
  } cases[] = {
      {24, 40, 100, 200, 40, 101, 199}, {32, 40, 100, 200, 43, 83, 230},
      {24, 128, 128, 128, 128, 128, 128}, {32, 128, 128, 128, 128, 128, 128},
  };
  for (const Case& c : cases) {
    const int bytes = c.bpp / 8;
    Bytes pixels(16 * 8 * static_cast<size_t>(bytes), 0);
    for (size_t i = 0; i < pixels.size(); i += static_cast<size_t>(bytes)) {
      pixels[i] = c.b;
      pixels[i + 1] = c.g;
      pixels[i + 2] = c.r;
    }
    Bytes stream = Encode_Picture(16, 8, c.bpp, pixels, 100);
    Bytes out(pixels.size(), 0x77);
    ROZ codec;
    if (c.bpp == 24) {
      codec.Unpack_Picture_Rgb_24(out.data(), 16, 8, stream.data(), static_cast<int>(stream.size()), 100);
    } else {
      codec.Unpack_Picture_Rgb_32(out.data(), 16, 8, stream.data(), static_cast<int>(stream.size()), 100);
    }
    for (size_t i = 0; i < out.size(); i += static_cast<size_t>(bytes)) {
      ASSERT_EQ(out[i], c.out_b) << c.bpp;
      ASSERT_EQ(out[i + 1], c.out_g) << c.bpp;
      ASSERT_EQ(out[i + 2], c.out_r) << c.bpp;
      if (c.bpp == 32) {
        ASSERT_EQ(out[i + 3], 0x77) << "fourth byte written";
      }
    }
  }
}

TEST(RozPictures, TileRunsRoundTrip) {
  Bytes tiles = Smooth_Picture(8, 8 * 30, 3, 5);  // 30 tiles one after the other
  Bytes grey_tiles(30 * 256);
  for (size_t i = 0; i < grey_tiles.size(); ++i) grey_tiles[i] = i % 4 == 3 ? 0 : static_cast<unsigned char>(i / 40);
  for (int bpp : {24, 32}) {
    const Bytes& source = bpp == 24 ? tiles : grey_tiles;
    ROZ codec;
    Bytes stream(static_cast<size_t>(Roz_Max_Stream_Size(30)));
    int length = 0;
    Bytes copy = source;
    if (bpp == 24) {
      codec.Pack_Bloc_Rgb_24(stream.data(), &length, copy.data(), 30, 90);
    } else {
      codec.Pack_Bloc_Rgb_32(stream.data(), &length, copy.data(), 30, 90);
    }
    Bytes out(source.size(), 0);
    if (bpp == 24) {
      codec.Unpack_Bloc_Rgb_24(out.data(), 30, stream.data(), length, 90);
    } else {
      codec.Unpack_Bloc_Rgb_32(out.data(), 30, stream.data(), length, 90);
    }
    ASSERT_EQ(Roz_Last_Status(), 0);
    EXPECT_LT(Mean_Error(source, out, bpp / 8), 3.0) << bpp;
  }
}

TEST(RozPictures, SixteenBitBlocksLandAtTheirOffsets) {
  // Three flat tiles (grey 200, pure-ish red, black) placed in a 40 x 24 picture.
  Bytes tiles(3 * 192);
  for (int i = 0; i < 64; ++i) {
    tiles[3 * i] = tiles[3 * i + 1] = tiles[3 * i + 2] = 200;
    tiles[192 + 3 * i + 2] = 240;
  }
  ROZ codec;
  Bytes stream(static_cast<size_t>(Roz_Max_Stream_Size(3)));
  int length = 0;
  codec.Pack_Bloc_Rgb_24(stream.data(), &length, tiles.data(), 3, 100);
  for (int bits : {16, 15}) {
    std::vector<unsigned short> picture(40 * 24, 0x1234);
    int offsets[3] = {0, 40 * 8 + 16, 40 * 16 + 32};
    codec.Unpack_Bloc_Rgb_16(picture.data(), offsets, 3, 40, stream.data(), length, 100, bits);
    ASSERT_EQ(Roz_Last_Status(), 0);
    auto red_of = [&](unsigned short p) { return bits == 16 ? (p >> 11) << 3 : ((p >> 10) & 31) << 3; };
    auto blue_of = [&](unsigned short p) { return (p & 31) << 3; };
    for (int y = 0; y < 24; ++y) {
      for (int x = 0; x < 40; ++x) {
        const unsigned short p = picture[static_cast<size_t>(y) * 40 + x];
        const int block = y / 8 == x / 16 && x % 16 < 8 ? y / 8 : -1;
        if (block < 0) {
          ASSERT_EQ(p, 0x1234) << "written outside the blocks at " << x << "," << y;
        } else if (block == 0) {
          EXPECT_NEAR(red_of(p), 200, 8);
          EXPECT_NEAR(blue_of(p), 200, 8);
        } else if (block == 1) {
          EXPECT_GT(red_of(p), 150);
          EXPECT_LT(blue_of(p), 60);
        } else {
          EXPECT_EQ(p, 0);
        }
      }
    }
  }
}

TEST(RozFixed, FastDecodersMatchThePlainOne) {
  std::mt19937 random(11);
  for (const Fixed& f : kFixed) {
    const size_t pixels = static_cast<size_t>(f.width) * f.height;
    std::vector<Bytes> streams;
    const int quality = 20 + static_cast<int>(random() % 80);
    // One encoded picture per size, shared by the three variants.
    static Bytes encoded[2];
    static int encoded_quality[2];
    Bytes& picture = encoded[f.height == 480 ? 0 : 1];
    if (picture.empty()) {
      encoded_quality[f.height == 480 ? 0 : 1] = quality;
      picture = Encode_Picture(f.width, f.height, 24, Smooth_Picture(f.width, f.height, 3, f.variant), quality);
    }
    streams.push_back(picture);
    // Cut and random streams on the small size only: the panorama size runs the
    // same code with another width, and its plain decoding is slow.
    if (f.height == 480) {
      Bytes cut = streams[0];
      cut.resize(cut.size() * 2 / 3);
      streams.push_back(cut);
    }
    for (int r = 0; r < (f.height == 480 ? 3 : 0); ++r) {
      streams.push_back(Random_Stream(random, static_cast<uint32_t>(random() % 400000), random() % 200000,
                                      random() % 300000, random() % 300000));
    }
    for (size_t s = 0; s < streams.size(); ++s) {
      const int q = s == 0 ? encoded_quality[f.height == 480 ? 0 : 1] : 1 + static_cast<int>(random() % 100);
      std::vector<unsigned short> plain(pixels, 2);
      Roz_Reference_Unpack_Fixed(plain.data(), streams[s].data(), static_cast<int>(streams[s].size()), q, f.width,
                                 f.height, f.variant);
      ASSERT_EQ(Roz_Last_Status(), 0);
      // The vector path (where the machine has one) and the scalar fallback.
      for (int simd : {1, 0}) {
        std::vector<unsigned short> fast(pixels, 1);
        Roz_Use_Simd(simd);
        f.decode(fast.data(), streams[s].data(), static_cast<int>(streams[s].size()), q);
        Roz_Use_Simd(1);
        ASSERT_EQ(Roz_Last_Status(), 0);
        ASSERT_TRUE(fast == plain) << f.width << "x" << f.height << " variant " << f.variant << " stream " << s
                                   << (simd ? " vector" : " scalar");
      }
    }
  }
}

TEST(RozFixed, PanoramaDecodesCloseToItsSource) {
  Bytes source = Smooth_Picture(256, 6144, 3, 3);
  Bytes stream = Encode_Picture(256, 6144, 24, source, 90);
  std::vector<unsigned short> out(256 * 6144);
  Unpack_Picture_Rgb_16_16_256_6144(out.data(), stream.data(), static_cast<int>(stream.size()), 90);
  ASSERT_EQ(Roz_Last_Status(), 0);
  double sum = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    sum += std::abs(((out[i] >> 11) << 3) - source[3 * i + 2]) + std::abs(((out[i] & 31) << 3) - source[3 * i]);
  }
  EXPECT_LT(sum / (2.0 * out.size()), 9.0);
}

TEST(RozFixed, CodeCountLimit) {
  Bytes stream = Encode_Picture(640, 480, 24, Smooth_Picture(640, 480, 3, 1), 75);
  Roz_Set_Message_Handler(Record_Message);
  struct Case {
    uint32_t n;
    bool decoded;
  } cases[] = {{1250000, true}, {1250001, false}, {0xFFFFFFFFu, false}};
  for (const Case& c : cases) {
    Set_Stream_U32(stream, 4, c.n);
    std::vector<unsigned short> out(640 * 480, 0xABCD);
    g_last_text.clear();
    Unpack_Picture_Rgb_16_16_640_480(out.data(), stream.data(), static_cast<int>(stream.size()), 75);
    if (c.decoded) {
      EXPECT_EQ(Roz_Last_Status(), 0);
      EXPECT_EQ(g_last_text, "");
      EXPECT_NE(out[0], 0xABCD);
    } else {
      EXPECT_EQ(Roz_Last_Status(), -1);
      EXPECT_EQ(g_last_text, "The module roz.dll need " + std::to_string(c.n) +
                                 " bytes to continue. Contact Korvane to correct the problem...");
      EXPECT_TRUE(out == std::vector<unsigned short>(640 * 480, 0xABCD)) << "refused but written";
    }
  }
  Roz_Set_Message_Handler(nullptr);
}

TEST(RozStatus, EachThreadReadsTheOutcomeOfItsOwnLastCall) {
  Bytes pixels = Smooth_Picture(16, 8, 3, 5);
  Bytes good = Encode_Picture(16, 8, 24, pixels, 75);
  Bytes damaged = {6, 0, 0, 0, 10, 0, 0, 0, 0x20, 0x10, 0, 0, 0, 0};  // run 0x20..0x10
  auto decode = [&pixels](Bytes& stream) {
    Bytes out(pixels.size(), 0);
    ROZ codec;
    codec.Unpack_Picture_Rgb_24(out.data(), 16, 8, stream.data(), static_cast<int>(stream.size()), 75);
  };
  decode(good);
  ASSERT_EQ(Roz_Last_Status(), 0);
  int other_fresh = 99, other_after = 99;
  std::string other_error;
  std::thread([&] {
    other_fresh = Roz_Last_Status();
    decode(damaged);
    other_after = Roz_Last_Status();
    other_error = Roz_Last_Error();
  }).join();
  EXPECT_EQ(other_fresh, 0) << "a new thread starts with no outcome of its own";
  EXPECT_EQ(other_after, -1);
  EXPECT_NE(other_error, "");
  EXPECT_EQ(Roz_Last_Status(), 0) << "the other thread's refusal shows here";
  EXPECT_STREQ(Roz_Last_Error(), "");
  // And the other way round: a refusal here is not seen by a thread that decoded well.
  decode(damaged);
  int good_thread = 99;
  std::thread([&] {
    decode(good);
    good_thread = Roz_Last_Status();
  }).join();
  EXPECT_EQ(good_thread, 0);
  EXPECT_EQ(Roz_Last_Status(), -1);
}

TEST(RozFixed, DamagedTableLeavesTheOutputUntouched) {
  Bytes stream = {6, 0, 0, 0, 10, 0, 0, 0, 0x20, 0x10, 0, 0, 0, 0};  // run 0x20..0x10
  std::vector<unsigned short> out(640 * 480, 0x5555);
  Unpack_Picture_Rgb_15_15_640_480(out.data(), stream.data(), static_cast<int>(stream.size()), 50);
  EXPECT_EQ(Roz_Last_Status(), -1);
  EXPECT_TRUE(out == std::vector<unsigned short>(640 * 480, 0x5555));
}
