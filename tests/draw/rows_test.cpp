#include "draw/rows.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {
std::vector<uint16_t> random_pixels(std::mt19937& rng, size_t count) {
  std::vector<uint16_t> pixels(count);
  for (auto& p : pixels) p = static_cast<uint16_t>(rng());
  return pixels;
}
}  // namespace

TEST(PixelArithmetic, ClampedSumSaturatesEachComponent) {
  struct Case {
    uint16_t a, b, want;
  } cases[] = {
      {0x0000, 0x0000, 0x0000},
      {0x1082, 0x1082, 0x2104},  // no carries: a plain sum of the masked values
      // Red overflows into bit 16: the top four red bits are set, the masked low
      // red bit stays clear.
      {0xF800, 0xF800, 0xF000},
      // Blue overflows into bit 5 (green's lowest bit): blue saturates and the
      // carry bit stays in the result.
      {0x001F, 0x0001, 0x003F},
      {0x07E0, 0x07E0, 0x0FC0},  // green overflow into bit 11, bits 6-10 set
      {0xFFFF, 0xFFFF, 0xFFFF},
      {0x0821, 0x0821, 0x0002},  // the low bits of red and green are masked off first
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Pixel_Add_Clamped(c.a, c.b), c.want) << std::hex << c.a << " + " << c.b;
  }
}

TEST(PixelArithmetic, ClampedDifferenceStopsAtZeroPerComponent) {
  struct Case {
    uint16_t a, b, want;
  } cases[] = {
      {0xFFFF, 0xF7DF, 0x0000},  // everything down to black
      {0x0000, 0x1082, 0x0000},  // nothing below zero
      {0xF800, 0x0001, 0xF000},  // blue borrows: blue 0, red keeps its top bits
      {0x8410, 0x1002, 0x740E},  // red 16 - 2, green kept, blue 16 - 2
      {0x0010, 0x1000, 0x0010},  // red underflows alone: blue kept
      {0x001F, 0x0000, 0x001F},
      {0x0400, 0x0020 & 0xF7DF, 0x0400},  // b masked: nothing to take away
      {0x0020, 0x0040, 0x0000},  // green underflows (bit 11 borrowed): green 0
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Pixel_Sub_Clamped(c.a, c.b), c.want) << std::hex << c.a << " - " << c.b;
  }
}

TEST(PixelArithmetic, BrightnessLevels) {
  const uint16_t pixels[] = {0x0000, 0xFFFF, 0x1234, 0x8410, 0xF81F};
  const uint32_t n = 5;
  uint16_t out[n];
  Row_Brightness(pixels, out, n, 0);
  for (uint32_t i = 0; i < n; ++i) EXPECT_EQ(out[i], pixels[i] & 0xF7DF);
  Row_Brightness(pixels, out, n, 255);
  for (uint32_t i = 0; i < n; ++i) EXPECT_EQ(out[i] & 0xF7DF, 0xF7DF) << i;
  Row_Brightness(pixels, out, n, -255);
  for (uint32_t i = 0; i < n; ++i) EXPECT_EQ(out[i], 0) << i;
  EXPECT_EQ(Grey_Pixel(-8), Grey_Pixel(8));
  EXPECT_EQ(Grey_Pixel(256 + 8), Grey_Pixel(8));
  EXPECT_EQ(Grey_Pixel(255), 0xF7DF);
  EXPECT_EQ(Pixel_Half_Sum(0xFFFF, 0x0000), 0x7BEF);
}

TEST(RowRoutines, FastVersionsEqualTheReferenceOnRandomRows) {
  std::mt19937 rng(1234);
  std::vector<uint32_t> table(65536);
  for (auto& t : table) t = rng();
  for (uint32_t count : {0u, 1u, 2u, 3u, 5u, 640u, 641u}) {
    auto a = random_pixels(rng, count + 1);
    auto b = random_pixels(rng, count + 1);
    std::vector<uint16_t> fast(2 * count + 8, 0x5555), ref(2 * count + 8, 0x5555);
    Row_Add(a.data(), b.data(), fast.data(), count);
    row_reference::Row_Add(a.data(), b.data(), ref.data(), count);
    ASSERT_EQ(fast, ref) << "Row_Add " << count;
    for (int32_t level : {-256, -255, -100, -1, 0, 1, 77, 255, 300}) {
      Row_Brightness(a.data(), fast.data(), count, level);
      row_reference::Row_Brightness(a.data(), ref.data(), count, level);
      ASSERT_EQ(fast, ref) << "Row_Brightness " << count << " level " << level;
    }
    Row_Table_16(a.data(), fast.data(), table.data(), count);
    row_reference::Row_Table_16(a.data(), ref.data(), table.data(), count);
    ASSERT_EQ(fast, ref) << "Row_Table_16 " << count;
    Row_Copy(a.data(), fast.data() + 1, count * 2 + 1);  // odd byte counts too
    row_reference::Row_Copy(a.data(), ref.data() + 1, count * 2 + 1);
    ASSERT_EQ(fast, ref) << "Row_Copy " << count;
    // Doubling: two rows of the destination, the second one below at 2*count+? bytes.
    std::vector<uint16_t> fast2(4 * count + 4, 0x5555), ref2(4 * count + 4, 0x5555);
    int32_t next_row = static_cast<int32_t>(2 * count + 2) * 2;
    Row_Double_16(a.data(), fast2.data(), next_row, count);
    row_reference::Row_Double_16(a.data(), ref2.data(), next_row, count);
    ASSERT_EQ(fast2, ref2) << "Row_Double_16 " << count;
  }
  // Every brightness level, and many random pairs for the sum.
  auto row = random_pixels(rng, 4096);
  auto other = random_pixels(rng, 4096);
  std::vector<uint16_t> fast(4096), ref(4096);
  for (int32_t level = -300; level <= 300; ++level) {
    Row_Brightness(row.data(), fast.data(), 4096, level);
    row_reference::Row_Brightness(row.data(), ref.data(), 4096, level);
    ASSERT_EQ(fast, ref) << "Row_Brightness level " << level;
  }
  for (int round = 0; round < 50; ++round) {
    row = random_pixels(rng, 4096);
    Row_Add(row.data(), other.data(), fast.data(), 4096);
    row_reference::Row_Add(row.data(), other.data(), ref.data(), 4096);
    ASSERT_EQ(fast, ref) << "Row_Add round " << round;
  }
  for (int round = 0; round < 20; ++round) {
    uint32_t sw = 1 + rng() % 50, sh = 1 + rng() % 50, dw = 1 + rng() % 120, dh = 1 + rng() % 120;
    auto source = random_pixels(rng, sw * sh);
    std::vector<uint16_t> fast(dw * dh), ref(dw * dh);
    Block_Scale(source.data(), sw, sh, fast.data(), dw, dh);
    row_reference::Block_Scale(source.data(), sw, sh, ref.data(), dw, dh);
    ASSERT_EQ(fast, ref) << sw << "x" << sh << " to " << dw << "x" << dh;
  }
}

TEST(RowRoutines, TableRoutinesLeaveTheirStatedRemainders) {
  std::vector<uint32_t> table(65536);
  for (uint32_t p = 0; p < 65536; ++p) table[p] = 0xAB000000u | (p * 7u);
  const uint16_t source[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  struct Case {
    uint32_t count, converted;
  } eight[] = {{6, 4}, {3, 0}, {4, 4}, {7, 4}, {8, 8}};
  for (const Case& c : eight) {
    uint8_t out[8];
    std::fill(out, out + 8, 0xEE);
    Row_Table_8(source, out, table.data(), c.count);
    for (uint32_t i = 0; i < 8; ++i) {
      uint8_t want = i < c.converted ? static_cast<uint8_t>(source[i] * 7) : 0xEE;
      EXPECT_EQ(out[i], want) << "Row_Table_8 count " << c.count << " byte " << i;
    }
  }
  // Doubled: pairs of source pixels; an odd last pixel is not converted and its
  // bytes below are not cleared.
  uint8_t rows[2][16];
  std::fill(&rows[0][0], &rows[0][0] + 32, 0xEE);
  Row_Table_8_Double(source, rows[0], table.data(), 16, 5);
  const uint8_t top[16] = {7, 7, 14, 14, 21, 21, 28, 28, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
  const uint8_t below[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
  EXPECT_EQ(std::vector<uint8_t>(rows[0], rows[0] + 16), std::vector<uint8_t>(top, top + 16));
  EXPECT_EQ(std::vector<uint8_t>(rows[1], rows[1] + 16), std::vector<uint8_t>(below, below + 16));

  uint16_t wide[2][6];
  std::fill(&wide[0][0], &wide[0][0] + 12, 0xEEEE);
  Row_Table_16_Double(source, wide[0], table.data(), 12, 3);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(wide[0][i], static_cast<uint16_t>(table[source[i / 2]]));
    EXPECT_EQ(wide[1][i], 0);
  }
}

TEST(BlockRoutines, ZoomByTwoInterpolatesBetweenNeighbours) {
  uint16_t one = 0x1234, four[4];
  Block_Zoom_2(&one, four, 1, 1);
  for (uint16_t p : four) EXPECT_EQ(p, 0x1234);

  const uint16_t a = 0x0000, b = 0x8410, c = 0xF7DE, d = 0x1082;
  const uint16_t source[4] = {a, b, c, d};  // 2 x 2
  uint16_t out[16];
  Block_Zoom_2(source, out, 2, 2);
  const uint16_t ab = Pixel_Half_Sum(a, b), cd = Pixel_Half_Sum(c, d);
  const uint16_t row0[4] = {a, ab, b, b}, row2[4] = {c, cd, d, d};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(out[i], row0[i]);
    EXPECT_EQ(out[8 + i], row2[i]);
    EXPECT_EQ(out[4 + i], Pixel_Half_Sum(row0[i], row2[i]));
    EXPECT_EQ(out[12 + i], row2[i]);  // the last row repeats the one above
  }
}

TEST(BlockRoutines, ScaleUsesFixedPointStepsWithoutRounding) {
  const uint16_t source[3] = {10, 20, 30};
  uint16_t out[4];
  // x step = 3 * 65536 / 4 = 49152: pixels 0, 0.75, 1.5, 2.25 -> 0, 0, 1, 2
  Block_Scale(source, 3, 1, out, 4, 1);
  const uint16_t want[4] = {10, 10, 20, 30};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(out[i], want[i]);
  // Shrinking 3 to 2: step 98304, pixels 0 and 1.5 -> 0, 1
  Block_Scale(source, 3, 1, out, 2, 1);
  EXPECT_EQ(out[0], 10);
  EXPECT_EQ(out[1], 20);
}
