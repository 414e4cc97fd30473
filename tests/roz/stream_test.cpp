#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "roz/roz.h"
#include "roz_white_box.h"

namespace {

std::vector<signed char> Block(std::initializer_list<std::pair<int, int>> y_coefficients) {
  std::vector<signed char> block(192, 0);
  for (auto [pos, value] : y_coefficients) block[static_cast<size_t>(pos)] = static_cast<signed char>(value);
  return block;
}

// The Huffman section (H bytes after the two length fields).
std::vector<unsigned char> Huffman_Section(const std::vector<unsigned char>& stream) {
  uint32_t h = Stream_U32(stream, 0);
  return std::vector<unsigned char>(stream.begin() + 8, stream.begin() + 8 + h);
}

std::vector<unsigned char> Ac_Section(const std::vector<unsigned char>& stream) {
  uint32_t h = Stream_U32(stream, 0);
  uint32_t a = Stream_U32(stream, 8 + h);
  return std::vector<unsigned char>(stream.begin() + 12 + h, stream.begin() + 12 + h + a);
}

using Bytes = std::vector<unsigned char>;

}  // namespace

TEST(RozStream, CodeBytesOfEmptyAndLastPositionPlanes) {
  ROZ codec;
  ROZ_Inspector in(codec);
  // All AC zero in all three planes: one end code each.
  in.Pack_Coefficients(Block({}));
  EXPECT_EQ(in.Last_Codes(), (Bytes{0x00, 0x00, 0x00}));
  // Only coefficient 63 of Y: three 16-zero codes, then run 14 with size 3, no end code.
  Bytes stream = in.Pack_Coefficients(Block({{63, 5}}));
  EXPECT_EQ(in.Last_Codes(), (Bytes{0xF0, 0xF0, 0xF0, 0xE3, 0x00, 0x00}));
  EXPECT_EQ(Ac_Section(stream), (Bytes{0xA0}));  // 5 = bits 1, 0, 1, least significant first
  // Zeros before a value that need exactly 16 zeros, then more values.
  in.Pack_Coefficients(Block({{17, 1}, {18, -1}}));
  EXPECT_EQ(in.Last_Codes(), (Bytes{0xF0, 0x01, 0x01, 0x00, 0x00, 0x00}));
}

TEST(RozStream, MagnitudeBitsAndSizes) {
  struct Case {
    int value;
    unsigned char code;  // run 0, size
    Bytes ac;
  } cases[] = {
      {-1, 0x01, {0x00}}, {1, 0x01, {0x80}}, {2, 0x02, {0x40}}, {-2, 0x02, {0x80}},
      {-128, 0x08, {0xFE}}, {127, 0x07, {0xFE}}, {-127, 0x07, {0x00}}, {64, 0x07, {0x02}},
  };
  for (const Case& c : cases) {
    ROZ codec;
    ROZ_Inspector in(codec);
    Bytes stream = in.Pack_Coefficients(Block({{1, c.value}}));
    EXPECT_EQ(in.Last_Codes(), (Bytes{c.code, 0x00, 0x00, 0x00})) << c.value;
    EXPECT_EQ(Ac_Section(stream), c.ac) << c.value;
    std::vector<signed char> back = in.Unpack_Coefficients(stream, 1);
    ASSERT_EQ(back.size(), 192u);
    EXPECT_EQ(back[1], c.value);
  }
}

TEST(RozStream, WholeStreamOfAnEmptyBlock) {
  ROZ codec;
  Bytes stream = ROZ_Inspector(codec).Pack_Coefficients(Block({}));
  // H = 5, N = 3; table (0..0: count 3), end; codes 1, 1, 1 then end code 0;
  // no AC bits; three DC bytes.
  EXPECT_EQ(stream, (Bytes{5, 0, 0, 0, 3, 0, 0, 0, 0x00, 0x00, 0x03, 0x00, 0xE0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0}));
}

TEST(RozStream, HuffmanTiesAndTableRuns) {
  ROZ codec;
  ROZ_Inspector in(codec);
  // Codes F0 F0 F0 E1 00 00: weights 0x00:2, 0xE1:1, 0xF0:3, end:1. Ties go to the
  // lower index (0xE1 before the end symbol, symbol 0 before their parent), so the
  // codes are F0 "0", 00 "10", E1 "110", end "111".
  Bytes stream = in.Pack_Coefficients(Block({{63, 1}}));
  EXPECT_EQ(Huffman_Section(stream),
            (Bytes{0x00, 0x00, 0x02, 0xE1, 0xE1, 0x01, 0xF0, 0xF0, 0x03, 0x00, 0x1A, 0xB8}));

  // A run swallows up to two zero counts (1 to 4), not three (1 to 5).
  struct Case {
    std::vector<signed char> block;
    Bytes table;
  } cases[] = {
      {Block({{1, 1}, {2, 8}, {3, 16}}), {0x00, 0x05, 0x03, 0x01, 0x00, 0x00, 0x01, 0x01, 0x00}},
      {Block({{1, 1}, {2, 16}}), {0x00, 0x01, 0x03, 0x01, 0x05, 0x05, 0x01, 0x00}},
  };
  for (const Case& c : cases) {
    Bytes section = Huffman_Section(in.Pack_Coefficients(c.block));
    ASSERT_GE(section.size(), c.table.size());
    EXPECT_EQ(Bytes(section.begin(), section.begin() + static_cast<long>(c.table.size())), c.table);
  }
}

TEST(RozStream, CoefficientsSurviveTheStream) {
  std::mt19937 random(7);
  for (int round = 0; round < 20; ++round) {
    const int blocks = 1 + static_cast<int>(random() % 40);
    std::vector<signed char> coefficients(static_cast<size_t>(blocks) * 192);
    const int density = 1 + static_cast<int>(random() % 8);
    for (size_t i = 0; i < coefficients.size(); ++i) {
      bool dc = i % 64 == 0;
      coefficients[i] = dc || random() % density == 0 ? static_cast<signed char>(random() % 256) : 0;
    }
    ROZ codec;
    ROZ_Inspector in(codec);
    Bytes stream = in.Pack_Coefficients(coefficients);
    ASSERT_EQ(in.Unpack_Coefficients(stream, blocks), coefficients) << "round " << round;
  }
}

TEST(RozStream, DamagedStreamsAreRefusedOrCut) {
  ROZ codec;
  std::vector<unsigned char> tiles(192 * 4);
  for (size_t i = 0; i < tiles.size(); ++i) tiles[i] = static_cast<unsigned char>(i * 37);
  Bytes stream(static_cast<size_t>(Roz_Max_Stream_Size(4)));
  int length = 0;
  codec.Pack_Bloc_Rgb_24(stream.data(), &length, tiles.data(), 4, 80);
  stream.resize(static_cast<size_t>(length));

  std::vector<unsigned char> out(192 * 4);
  codec.Unpack_Bloc_Rgb_24(out.data(), 4, stream.data(), length, 80);
  EXPECT_EQ(Roz_Last_Status(), 0);

  struct Case {
    const char* what;
    Bytes stream;
    int status;
  };
  std::vector<Case> cases;
  cases.push_back({"too short for H and N", Bytes(stream.begin(), stream.begin() + 7), -1});
  cases.push_back({"cut inside the frequency table", Bytes(stream.begin(), stream.begin() + 10), -1});
  Bytes cut(stream.begin(), stream.end() - 20);
  cases.push_back({"cut inside the bit sections", cut, 0});
  Bytes huge_h = stream;
  Set_Stream_U32(huge_h, 0, 0xFFFFFFF0u);
  cases.push_back({"H beyond the stream", huge_h, 0});
  Bytes huge_n = stream;
  Set_Stream_U32(huge_n, 4, 0xFFFFFFFFu);
  cases.push_back({"N beyond anything", huge_n, 0});
  Bytes reversed_run = stream;
  reversed_run[8] = 0x40;  // start above its end symbol
  reversed_run[9] = 0x10;
  cases.push_back({"run ending before it starts", reversed_run, -1});
  Bytes empty_table = {4, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  cases.push_back({"only the end symbol", empty_table, -1});
  for (const Case& c : cases) {
    std::vector<unsigned char> pixels(192 * 4, 0x55);
    Bytes copy = c.stream;
    codec.Unpack_Bloc_Rgb_24(pixels.data(), 4, copy.data(), static_cast<int>(copy.size()), 80);
    EXPECT_EQ(Roz_Last_Status(), c.status) << c.what;
    if (c.status != 0) {
      EXPECT_EQ(pixels, std::vector<unsigned char>(192 * 4, 0x55)) << c.what << ": refused but written";
      EXPECT_STRNE(Roz_Last_Error(), "") << c.what;
    }
  }
}

TEST(RozStream, CopiesOwnTheirBuffers) {
  std::vector<unsigned char> tiles(192 * 2, 99);
  Bytes stream(static_cast<size_t>(Roz_Max_Stream_Size(2)));
  int length = 0;
  ROZ first;
  first.Pack_Bloc_Rgb_24(stream.data(), &length, tiles.data(), 2, 50);
  ROZ second(first);
  ROZ third;
  third = first;
  third = third;
  Bytes again(stream.size());
  int again_length = 0;
  third.Pack_Bloc_Rgb_24(again.data(), &again_length, tiles.data(), 2, 50);
  EXPECT_EQ(again_length, length);
  EXPECT_EQ(again, stream);
}  // each object frees its own buffers here; ASan reports a shared one
