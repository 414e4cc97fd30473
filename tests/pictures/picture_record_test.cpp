// The picture record's operations: create, clone, conversion to 5-6-5, scaling,
// unpacking and repacking.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "files/pack_methods.h"
#include "picture_test_util.h"

namespace {

Picture_Ptr Make(int width, int height, int depth, const std::vector<uint8_t>& pixels = {}) {
  Picture_Ptr picture(Picture_Create("p", width, height, depth));
  if (picture && !pixels.empty()) {
    EXPECT_EQ(pixels.size(), picture->data_size);
    std::memcpy(picture->pixels, pixels.data(), pixels.size());
  }
  return picture;
}

std::vector<uint16_t> Pixels_16(const Picture* picture) {
  std::vector<uint16_t> out(picture->data_size / 2);
  std::memcpy(out.data(), picture->pixels, out.size() * 2);
  return out;
}

TEST(PictureRecord, CreateChoosesTheDepthAndZeroesEverything) {
  struct Case {
    int depth, bits;
  } cases[] = {{0, 8}, {1, 8}, {8, 8}, {9, 16}, {15, 16}, {16, 16}, {17, 24}, {24, 24}, {25, 32}, {99, 32}};
  for (const Case& c : cases) {
    SCOPED_TRACE("depth " + std::to_string(c.depth));
    Picture_Ptr picture = Make(3, 2, c.depth);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->bits_per_pixel, c.bits);
    EXPECT_EQ(picture->version, 1284u);
    EXPECT_EQ(picture->data_size, 3u * 2 * (c.bits / 8));
    EXPECT_EQ(Pixels_Of(picture.get()), std::vector<uint8_t>(picture->data_size, 0));
    EXPECT_EQ(Palette_Of(picture.get()), std::vector<uint8_t>(768, 0));
    EXPECT_EQ(picture->frame_count, 0);
    EXPECT_EQ(picture->frames, nullptr);
  }
}

TEST(PictureRecord, CreateGivesEmptyPicturesForZeroSidesAndNoneForHugeOnes) {
  for (auto [w, h] : {std::pair{0, 5}, {5, 0}, {-3, 4}, {0, 0}}) {
    Picture_Ptr picture = Make(w, h, 8);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->data_size, 0u);
    EXPECT_EQ(picture->pixels, nullptr);
    EXPECT_GE(picture->width, 0);
    EXPECT_NE(picture->palette, nullptr);
  }
  EXPECT_TRUE(Make(16384, 1, 8));
  EXPECT_FALSE(Make(16385, 1, 8));
  EXPECT_FALSE(Make(1, 16385, 8));
}

TEST(PictureRecord, CloneCopiesPixelsAndPaletteButNotFrames) {
  Picture_Ptr picture = Make(2, 2, 24, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
  picture->palette[5] = 77;
  picture->pack_method = 3;  // a packed block is copied as it is held
  picture->frame_count = 2;
  picture->frames = static_cast<uint8_t*>(std::malloc(4));
  Picture_Ptr copy(Picture_Clone(picture.get()));
  ASSERT_TRUE(copy);
  EXPECT_NE(copy->pixels, picture->pixels);
  EXPECT_NE(copy->palette, picture->palette);
  EXPECT_EQ(Pixels_Of(copy.get()), Pixels_Of(picture.get()));
  EXPECT_EQ(copy->palette[5], 77);
  EXPECT_EQ(copy->pack_method, 3u);
  EXPECT_EQ(copy->frame_count, 0);
  EXPECT_EQ(copy->frames, nullptr);
  EXPECT_STREQ(copy->name, "p");
  picture->pack_method = 0;
  Picture_Free(nullptr);  // accepted
}

TEST(PictureRecord, PaletteTo16StoresTheConvertedEntriesAfterTheTriples) {
  Picture_Ptr picture = Make(1, 1, 8);
  const uint8_t entries[][3] = {{0, 0, 0}, {255, 255, 255}, {0xF8, 0, 0}, {0, 0xFC, 0}, {0, 0, 0xF8}, {7, 3, 7}};
  for (int i = 0; i < 6; ++i) std::memcpy(picture->palette + 3 * i, entries[i], 3);
  ASSERT_EQ(Picture_Palette_To_16(picture.get()), 0);
  const uint16_t expected[] = {0x0000, 0xFFFF, 0xF800, 0x07E0, 0x001F, 0x0000};
  for (int i = 0; i < 6; ++i) {
    uint16_t value;
    std::memcpy(&value, picture->palette + 768 + 2 * i, 2);
    EXPECT_EQ(value, expected[i]) << "entry " << i;
  }
  Picture_Ptr true_colour = Make(1, 1, 24);
  EXPECT_EQ(Picture_Palette_To_16(true_colour.get()), -1);
}

TEST(PictureRecord, To16ConvertsEveryDepthToFiveSixFive) {
  Picture_Ptr indexed = Make(3, 1, 8, {0, 1, 2});
  const uint8_t rgb[] = {255, 0, 0, 0, 255, 0, 0x08, 0x04, 0xFF};
  std::memcpy(indexed->palette, rgb, sizeof rgb);
  Picture_Ptr true_colour = Make(3, 1, 24, std::vector<uint8_t>(rgb, rgb + 9));
  Picture_Ptr with_unused = Make(3, 1, 32, {255, 0, 0, 9, 0, 255, 0, 9, 0x08, 0x04, 0xFF, 9});
  const std::vector<uint16_t> expected = {0xF800, 0x07E0, 0x0820 | 0x001F};
  for (Picture* picture : {indexed.get(), true_colour.get(), with_unused.get()}) {
    SCOPED_TRACE(picture->bits_per_pixel);
    ASSERT_EQ(Picture_To_16(picture), 0);
    EXPECT_EQ(picture->bits_per_pixel, 16);
    EXPECT_EQ(picture->data_size, 6u);
    EXPECT_EQ(Pixels_16(picture), expected);
  }
  // 16-bit pictures are left as they are.
  Picture_Ptr already = Make(2, 1, 16, {1, 2, 3, 4});
  ASSERT_EQ(Picture_To_16(already.get()), 0);
  EXPECT_EQ(Pixels_Of(already.get()), (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST(PictureRecord, ScaleSamplesNearestNeighbourWithFixedPointSteps) {
  // 4 x 2 picture of 8-bit values 10 * row + column.
  std::vector<uint8_t> source = {0, 1, 2, 3, 10, 11, 12, 13};
  struct Case {
    int width, height;
    std::vector<uint8_t> expected;
  } cases[] = {{4, 2, source},
               {2, 1, {0, 2}},
               {8, 2, {0, 0, 1, 1, 2, 2, 3, 3, 10, 10, 11, 11, 12, 12, 13, 13}},
               {3, 3, {0, 1, 2, 0, 1, 2, 10, 11, 12}},  // steps 341 and 170
               {1, 4, {0, 0, 10, 10}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    Picture_Ptr picture = Make(4, 2, 8, source);
    ASSERT_EQ(Picture_Scale(picture.get(), c.width, c.height), 0);
    EXPECT_EQ(picture->width, c.width);
    EXPECT_EQ(picture->height, c.height);
    EXPECT_EQ(Pixels_Of(picture.get()), c.expected);
  }
  // Whole pixels move together at every depth.
  Picture_Ptr wide = Make(2, 1, 24, {1, 2, 3, 4, 5, 6});
  ASSERT_EQ(Picture_Scale(wide.get(), 4, 1), 0);
  EXPECT_EQ(Pixels_Of(wide.get()), (std::vector<uint8_t>{1, 2, 3, 1, 2, 3, 4, 5, 6, 4, 5, 6}));
}

TEST(PictureRecord, ScaleToZeroGivesAnEmptyPictureAndHugeSizesAreRefused) {
  for (auto [w, h] : {std::pair{0, 3}, {3, 0}, {-1, -1}}) {
    Picture_Ptr picture = Make(4, 2, 16);
    Picture_Scale(picture.get(), w, h);
    EXPECT_EQ(picture->data_size, 0u);
    EXPECT_EQ(picture->pixels, nullptr);
    // An empty picture can be scaled up again (black) and converted.
    ASSERT_EQ(Picture_Scale(picture.get(), 2, 2), 0);
    EXPECT_EQ(Pixels_Of(picture.get()), std::vector<uint8_t>(8, 0));
  }
  Picture_Ptr picture = Make(4, 2, 8);
  EXPECT_EQ(Picture_Scale(picture.get(), 16385, 1), -1);
  EXPECT_EQ(picture->width, 4);
}

TEST(PictureRecord, UnpackAndRepackRoundTripEveryMethod) {
  Picture_Image image = Test_Image(17, 9, 24);
  for (int method = 1; method <= 7; ++method) {
    SCOPED_TRACE("method " + std::to_string(method));
    Picture_Ptr picture = Make(17, 9, 24, image.pixels);
    ASSERT_EQ(Picture_Repack(picture.get(), method), 0);
    EXPECT_EQ(picture->pack_method, static_cast<uint32_t>(method));
    std::vector<uint8_t> packed = Pixels_Of(picture.get());
    // Repacking with the method already used does nothing.
    ASSERT_EQ(Picture_Repack(picture.get(), method), 0);
    EXPECT_EQ(Pixels_Of(picture.get()), packed);
    ASSERT_EQ(Picture_Unpack(picture.get()), 0);
    EXPECT_EQ(picture->pack_method, 0u);
    EXPECT_EQ(Pixels_Of(picture.get()), image.pixels);
  }
  Picture_Ptr picture = Make(17, 9, 24, image.pixels);
  ASSERT_EQ(Picture_Repack(picture.get(), 2), 0);
  ASSERT_EQ(Picture_Repack(picture.get(), 0), 0);
  EXPECT_EQ(Pixels_Of(picture.get()), image.pixels);
  EXPECT_EQ(Picture_Repack(picture.get(), 8), -1);
}

TEST(PictureRecord, DamagedPackedDataUnpacksToAPlainBlockOfTheRightSize) {
  Picture_Image image = Test_Image(17, 9, 8);
  for (int method = 1; method <= 7; ++method) {
    SCOPED_TRACE("method " + std::to_string(method));
    Picture_Ptr picture = Make(17, 9, 8, image.pixels);
    ASSERT_EQ(Picture_Repack(picture.get(), method), 0);
    picture->data_size = picture->data_size / 2;  // cut the stream
    Picture_Unpack(picture.get());
    EXPECT_EQ(picture->pack_method, 0u);
    EXPECT_EQ(picture->data_size, 17u * 9);
  }
  // A pack method no decoder knows gives a black picture.
  Picture_Ptr unknown = Make(2, 2, 8, {1, 2, 3, 4});
  unknown->pack_method = 9;
  EXPECT_EQ(Picture_Unpack(unknown.get()), -1);
  EXPECT_EQ(Pixels_Of(unknown.get()), std::vector<uint8_t>(4, 0));
}

}  // namespace
