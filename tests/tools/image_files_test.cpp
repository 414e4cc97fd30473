// PNG writing of the tools: every form read back through libpng as written, and
// inconsistent pictures refused without leaving a file.
#include "image_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/png_reader.h"
#include "support/temp_dir.h"

namespace {

Png_Picture picture_of(Png_Form form, int width, int height, size_t bytes_per_pixel) {
  Png_Picture picture;
  picture.form = form;
  picture.width = width;
  picture.height = height;
  for (size_t i = 0; i < static_cast<size_t>(width) * height * bytes_per_pixel; ++i) {
    picture.pixels.push_back(static_cast<uint8_t>(i * 13 + 7));
  }
  return picture;
}

TEST(Png_Write, EveryFormReadsBackAsWritten) {
  Temp_Dir dir;
  struct Case {
    Png_Form form;
    size_t bytes;
    int colour_type;
  };
  for (const Case& c : {Case{Png_Form::Rgb, 3, 2}, Case{Png_Form::Rgba, 4, 6}, Case{Png_Form::Palette, 1, 3}}) {
    // 1 x 1 is the smallest picture; 333 x 2 has rows of odd length.
    for (auto [width, height] : {std::pair{1, 1}, std::pair{333, 2}}) {
      Png_Picture picture = picture_of(c.form, width, height, c.bytes);
      if (c.form == Png_Form::Palette) {
        for (int i = 0; i < 256 * 3; ++i) picture.palette.push_back(static_cast<uint8_t>(255 - i));
      }
      std::string path = dir.file("p.png");
      std::string error;
      ASSERT_TRUE(Png_Write(path, picture, &error)) << error;
      Png_Read back = Png_Read_File(path);
      ASSERT_TRUE(back.ok);
      EXPECT_EQ(back.width, width);
      EXPECT_EQ(back.height, height);
      EXPECT_EQ(back.colour_type, c.colour_type);
      EXPECT_EQ(back.pixels, picture.pixels);
      EXPECT_EQ(back.palette, picture.palette);
    }
  }
}

TEST(Png_Write, InconsistentPicturesAreRefusedWithoutAFile) {
  Temp_Dir dir;
  Png_Picture short_pixels = picture_of(Png_Form::Rgb, 4, 4, 3);
  short_pixels.pixels.pop_back();
  Png_Picture no_palette = picture_of(Png_Form::Palette, 2, 2, 1);
  Png_Picture small_palette = picture_of(Png_Form::Palette, 2, 2, 1);
  small_palette.palette.assign(3 * 4, 9);  // 4 entries; the pixels use larger indices
  Png_Picture empty = picture_of(Png_Form::Rgb, 0, 5, 3);
  for (const Png_Picture* picture : {&short_pixels, &no_palette, &small_palette, &empty}) {
    std::string error;
    EXPECT_FALSE(Png_Write(dir.file("bad.png"), *picture, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.file("bad.png")));
  }
  std::string error;
  EXPECT_FALSE(Png_Write(dir.file("no/such/folder/p.png"), picture_of(Png_Form::Rgb, 1, 1, 3), &error));
  EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
}

TEST(Png_Write, FiveSixFiveWidensToFullRange) {
  uint8_t rgb[3];
  const struct {
    uint16_t pixel;
    uint8_t r, g, b;
  } cases[] = {{0x0000, 0, 0, 0}, {0xFFFF, 255, 255, 255}, {0xF800, 255, 0, 0}, {0x07E0, 0, 255, 0},
               {0x001F, 0, 0, 255}, {0x8410, 132, 130, 132}};
  for (const auto& c : cases) {
    Rgb_From_565(c.pixel, rgb);
    EXPECT_EQ(rgb[0], c.r) << std::hex << c.pixel;
    EXPECT_EQ(rgb[1], c.g) << std::hex << c.pixel;
    EXPECT_EQ(rgb[2], c.b) << std::hex << c.pixel;
  }
}

}  // namespace
