#include <gtest/gtest.h>

#include <vector>

#include "roz/roz.h"
#include "roz_white_box.h"

TEST(RozCore, QualityTablesAtTheLimitsAndTheMiddle) {
  static const int kLuminance50[8] = {16, 11, 10, 16, 24, 40, 51, 61};
  static const int kChrominance50[8] = {17, 18, 24, 47, 99, 99, 99, 99};
  struct Case {
    int quality;
    int expect_all;  // 0: the base tables
  } cases[] = {{1, 255}, {-7, 255}, {50, 0}, {100, 8}, {250, 8}};
  for (const Case& c : cases) {
    ROZ codec;
    ROZ_Inspector in(codec);
    in.Set_Quality(c.quality);
    in.Tables();
    for (int i = 0; i < 64; ++i) {
      if (c.expect_all != 0) {
        ASSERT_EQ(in.Luminance()[i], c.expect_all) << "quality " << c.quality << " entry " << i;
        ASSERT_EQ(in.Chrominance()[i], c.expect_all) << "quality " << c.quality << " entry " << i;
      }
    }
    if (c.expect_all == 0) {
      for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(in.Luminance()[i], kLuminance50[i]);
        EXPECT_EQ(in.Chrominance()[i], kChrominance50[i]);
      }
      EXPECT_EQ(in.Luminance()[63], 99);
    }
  }
  // A scaled entry below 8 is raised to 8: quality 90 scales 10 to 2.
  ROZ codec;
  ROZ_Inspector in(codec);
  in.Set_Quality(90);
  in.Tables();
  EXPECT_EQ(in.Luminance()[2], 8);
  EXPECT_EQ(in.Luminance()[63], 20);  // (20 * 99 + 50) / 100

  // Combined with the scale table: divisors round, multipliers truncate.
  in.Forward_Init(50);
  EXPECT_EQ(in.Luminance()[0], (16384 * 16 + 1024) >> 11);
  EXPECT_EQ(in.Luminance()[63], (1247 * 99 + 1024) >> 11);
  in.Inverse_Init(50);
  EXPECT_EQ(in.Luminance()[0], 32);
  EXPECT_EQ(in.Luminance()[1], (22725 * 11) >> 13);
  EXPECT_EQ(in.Chrominance()[63], (1247 * 99) >> 13);
}

TEST(RozCore, DcOnlyBlocksDecodeToFlatColours) {
  struct Case {
    int quality, y_dc, cb_dc, cr_dc;
    int b, g, r;
  } cases[] = {
      {100, 8, 0, 0, 136, 136, 136},   // Y DC 8 * multiplier 16 = 128, / 16 = 8
      {100, 0, 0, 0, 128, 128, 128},   // all-zero block
      {100, -8, 0, 0, 120, 120, 120},
      {100, 0, 4, 0, 136, 127, 128},   // Cb 4: B + 8, G - trunc(4 / 3)
      {100, 0, 0, 5, 128, 124, 136},   // Cr 5: G - trunc(40 / 10), R + trunc(80 / 10)
      {100, 127, 0, 0, 255, 255, 255}, // 127 * 16 / 16 = 127 -> 255
      {1, 127, 0, 0, 255, 255, 255},   // saturates at the range ends
      {1, -128, 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    ROZ codec;
    ROZ_Inspector in(codec);
    in.Inverse_Init(c.quality);
    in.Clear_Planes();
    in.Y()[0] = c.y_dc;
    in.Cb()[0] = c.cb_dc;
    in.Cr()[0] = c.cr_dc;
    in.Inverse_Quantification();
    in.Inverse_YCbCr();
    unsigned char pixels[8 * 24];
    in.Put_Bloc_Rgb_24(pixels, 24);
    for (int i = 0; i < 64; ++i) {
      ASSERT_EQ(pixels[3 * i], c.b) << "Y " << c.y_dc << " pixel " << i;
      ASSERT_EQ(pixels[3 * i + 1], c.g) << "Y " << c.y_dc << " pixel " << i;
      ASSERT_EQ(pixels[3 * i + 2], c.r) << "Y " << c.y_dc << " pixel " << i;
    }
  }
}

TEST(RozCore, SixteenBitOutputClampsBeforePackingAndDiffusing) {
  struct Case {
    int value;
    bool six_bit_green;
    unsigned short expect;
  } cases[] = {
      {0xFF0000, true, 0xFFFF}, {0xFF0000, false, 0x7FFF},  {0x2000000, true, 0xFFFF},
      {0x1234567, false, 0x7FFF}, {-5, true, 0x0000},       {-0x7FFFFFFF, false, 0x0000},
      {0x080000, true, 0x0841},   {0x080000, false, 0x0421},  // exact 5-bit steps carry no error
  };
  for (const Case& c : cases) {
    int blue[72], green[72], red[72];
    for (int i = 0; i < 72; ++i) blue[i] = green[i] = red[i] = c.value;
    unsigned short out[8 * 10];
    ROZ codec;
    ROZ_Inspector(codec).Put_16(blue, green, red, out, 10, c.six_bit_green);
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) ASSERT_EQ(out[y * 10 + x], c.expect) << std::hex << c.value << " at " << x << "," << y;
    }
  }
}

TEST(RozCore, ErrorDiffusionFollowsTheSerpentineAndItsRowEnds) {
  // One pixel 0x040000 in blue at the top left: its error goes 7/16 right,
  // 3/16 to offset +7 (the same row's last pixel: no edge test), 5/16 below,
  // 1/16 below right. Everything else is zero, so only blue can turn on.
  int blue[72] = {}, green[72] = {}, red[72] = {};
  blue[0] = 0x070000;
  blue[7] = 0x078000;  // with the 3/16 share (0x15000) this reaches one 5-bit step
  unsigned short out[64];
  ROZ codec;
  ROZ_Inspector(codec).Put_16(blue, green, red, out, 8, true);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[7], 1) << "the row's last pixel received the 3/16 share";
}
