#include "tessalin/tessalin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// Packs 4-bit units, low nibble of each byte first.
std::vector<unsigned char> Pack_Nibbles(const std::vector<int>& nibbles) {
  std::vector<unsigned char> bytes((nibbles.size() + 1) / 2, 0);
  for (size_t i = 0; i < nibbles.size(); ++i) bytes[i / 2] |= static_cast<unsigned char>((nibbles[i] & 15) << (4 * (i & 1)));
  return bytes;
}

// A record whose every plane is "DC byte dc, then end": a flat panorama.
std::vector<unsigned char> Flat_Record(int dc, int quality) {
  std::vector<unsigned char> record(36, 0);
  std::memcpy(record.data(), TESSALIN_SIGNATURE, sizeof TESSALIN_SIGNATURE);
  record[32] = static_cast<unsigned char>(quality);
  std::vector<int> nibbles;
  for (int block = 0; block < 32 * 768; ++block) {
    nibbles.insert(nibbles.end(), {(dc >> 4) & 15, dc & 15, 0, 0, 0, 0, 0, 0, 0});
  }
  std::vector<unsigned char> body = Pack_Nibbles(nibbles);
  record.insert(record.end(), body.begin(), body.end());
  return record;
}

}  // namespace

TEST(Tessalin, OpcodesPlaceTheirCoefficients) {
  struct Case {
    const char* what;
    std::vector<int> plane0;                    // nibbles of plane 0
    std::vector<std::pair<int, int>> expected;  // zig-zag position, value (others 0)
  } cases[] = {
      {"DC then end", {0x1, 0x2, 0}, {{0, 0x12}}},
      {"negative DC", {0xF, 0xE, 0}, {{0, -2}}},
      {"five zeros then end", {0, 0, 1, 0}, {}},
      {"op 2", {0, 0, 2, 0}, {{2, 1}}},
      {"op 3", {0, 0, 3, 0}, {{2, -1}}},
      {"op 4", {0, 0, 4, 0}, {{3, 1}}},
      {"op 5", {0, 0, 5, 0}, {{3, -1}}},
      {"op 6", {0, 0, 6, 0}, {{4, 1}}},
      {"op 7", {0, 0, 7, 0}, {{4, -1}}},
      {"op 8, o = 6: two zeros, four small values", {0, 0, 8, 6, 0x1, 0xB, 0}, {{3, 1}, {4, 2}, {5, -2}, {6, -1}}},
      {"op 8, o = 1: half of the last pair", {0, 0, 8, 1, 0x1, 0xC, 0}, {{2, 1}, {3, 2}, {4, -1}}},
      {"op 9, o = 6: two zeros, three wide", {0, 0, 9, 6, 0, 15, 7, 0}, {{3, 1}, {4, -1}, {5, 8}}},
      {"op 10", {0, 0, 10, 0x6, 0}, {{1, 2}, {2, -2}}},
      {"op 11 +8", {0, 0, 11, 7, 0}, {{1, 8}}},
      {"op 11 -8", {0, 0, 11, 8, 0}, {{1, -8}}},
      {"op 12", {0, 0, 12, 1, 14, 0}, {{1, 2}, {2, -2}}},
      {"op 13", {0, 0, 13, 3, 4, 9, 0}, {{1, 4}, {2, 5}, {3, -7}}},
      {"op 14 then op 15", {0, 0, 14, 15, 8, 0, 0}, {{2, -128}}},
      {"op 15 positive", {0, 0, 15, 7, 15, 0}, {{1, 127}}},
      // Twelve 5-zero runs reach position 61; op 13 fills 61..63 and ends the plane.
      {"filled to 63 without an end", {0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 13, 0, 1, 2}, {{61, 1}, {62, 2}, {63, 3}}},
  };
  for (const Case& c : cases) {
    std::vector<int> nibbles = c.plane0;
    nibbles.insert(nibbles.end(), {0, 0, 0, 0, 0, 0});  // planes 1 and 2: DC 0, end
    std::vector<unsigned char> bytes = Pack_Nibbles(nibbles);
    short coefficients[192];
    size_t position = 0;
    ASSERT_EQ(Tessalin_Read_Block(bytes.data(), nibbles.size(), &position, coefficients), 1) << c.what;
    EXPECT_EQ(position, nibbles.size()) << c.what;
    short expected[64] = {};
    for (auto [pos, value] : c.expected) expected[pos] = static_cast<short>(value);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(coefficients[i], expected[i]) << c.what << " position " << i;
    for (int i = 64; i < 192; ++i) ASSERT_EQ(coefficients[i], 0) << c.what;
  }
}

TEST(Tessalin, OverfullOpcodesStopAtTheLastCoefficient) {
  // Op 13 at position 62 places two values; its third nibble is read and dropped.
  std::vector<int> nibbles = {0, 0};
  for (int i = 0; i < 12; ++i) nibbles.push_back(1);  // to position 61
  nibbles.insert(nibbles.end(), {14, 13, 0, 1, 2});  // one zero, then three values
  nibbles.insert(nibbles.end(), {0, 5, 0, 0, 0, 0});  // plane 1 DC 5, plane 2 empty
  std::vector<unsigned char> bytes = Pack_Nibbles(nibbles);
  short coefficients[192];
  size_t position = 0;
  ASSERT_EQ(Tessalin_Read_Block(bytes.data(), nibbles.size(), &position, coefficients), 1);
  EXPECT_EQ(coefficients[62], 1);
  EXPECT_EQ(coefficients[63], 2);
  EXPECT_EQ(coefficients[64], 5);
  EXPECT_EQ(position, nibbles.size());
  // A block that runs out of units is reported.
  position = 0;
  EXPECT_EQ(Tessalin_Read_Block(bytes.data(), 10, &position, coefficients), 0);
}

TEST(Tessalin, SignatureRuleAndRecordEnd) {
  const std::vector<unsigned char> good = Flat_Record(0, 50);
  struct Case {
    const char* what;
    std::vector<unsigned char> record;
    bool sized_only;
    int expect;
  };
  std::vector<Case> cases;
  cases.push_back({"exact signature", good, false, 1});
  std::vector<unsigned char> tail = good;
  std::memset(tail.data() + sizeof TESSALIN_SIGNATURE, 'x', 32 - sizeof TESSALIN_SIGNATURE);
  cases.push_back({"different bytes after the NUL", tail, false, 1});
  std::vector<unsigned char> other = good;
  other[11] = '1';
  cases.push_back({"different version", other, false, 0});
  std::vector<unsigned char> longer = good;
  longer[12] = 'X';
  cases.push_back({"text continues past the signature", longer, false, 0});
  std::vector<unsigned char> cut(good.begin(), good.end() - 1);
  cases.push_back({"record one byte short", cut, true, 0});
  cases.push_back({"header only", std::vector<unsigned char>(good.begin(), good.begin() + 36), true, 0});
  cases.push_back({"shorter than the header", std::vector<unsigned char>(good.begin(), good.begin() + 20), true, 0});
  for (const Case& c : cases) {
    for (int bits : {15, 16}) {
      std::vector<unsigned short> out(256 * 6144, 0xBEEF);
      int done = bits == 16 ? Tessalin_Unpack_16_Sized(c.record.data(), c.record.size(), out.data())
                            : Tessalin_Unpack_15_Sized(c.record.data(), c.record.size(), out.data());
      EXPECT_EQ(done, c.expect) << c.what;
      if (!c.sized_only) {
        std::vector<unsigned short> unsized(256 * 6144, 0xBEEF);
        int unsized_done = bits == 16 ? Tessalin_Unpack_16(c.record.data(), unsized.data())
                                      : Tessalin_Unpack_15(c.record.data(), unsized.data());
        EXPECT_EQ(unsized_done, c.expect) << c.what;
        EXPECT_TRUE(unsized == out) << c.what;
      }
      if (c.expect == 0) {
        EXPECT_TRUE(out == std::vector<unsigned short>(256 * 6144, 0xBEEF)) << c.what << ": refused but written";
      } else {
        // DC 0 everywhere: grey 128.
        const unsigned short grey = bits == 16 ? 0x8410 : 0x4210;
        EXPECT_EQ(out[0], grey);
        EXPECT_EQ(out[256 * 6144 - 1], grey);
      }
    }
  }
}

TEST(Tessalin, FlatPlanesGiveFlatColours) {
  // At quality 100 a luminance DC of d decodes to 128 + d (multiplier 16, / 16).
  struct Case {
    int dc;
    unsigned short pixel16;
  } cases[] = {{0, 0x8410}, {16, 0x9492}, {-128, 0x0000}, {127, 0xFFFF}};
  for (const Case& c : cases) {
    std::vector<unsigned char> record(36, 0);
    std::memcpy(record.data(), TESSALIN_SIGNATURE, sizeof TESSALIN_SIGNATURE);
    record[32] = 100;
    std::vector<int> nibbles;
    for (int block = 0; block < 32 * 768; ++block) {
      nibbles.insert(nibbles.end(), {(c.dc >> 4) & 15, c.dc & 15, 0, 0, 0, 0, 0, 0, 0});
    }
    std::vector<unsigned char> body = Pack_Nibbles(nibbles);
    record.insert(record.end(), body.begin(), body.end());
    std::vector<unsigned short> out(256 * 6144);
    ASSERT_EQ(Tessalin_Unpack_16_Sized(record.data(), record.size(), out.data()), 1);
    EXPECT_EQ(out[12345], c.pixel16) << c.dc;
  }
}
