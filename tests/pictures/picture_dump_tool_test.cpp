// osterlin-tool picture dump: output files, printed fields and exit statuses.
#include <gtest/gtest.h>

#include <string>

#include "picture_test_util.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

Program_Run Run_In(const Temp_Dir& dir, const std::string& arguments) {
  return Run_Program("osterlin-tool", arguments, dir.path());
}

class PictureDumpTool : public ::testing::Test {
 protected:
  Temp_Dir dir_;
};

TEST_F(PictureDumpTool, DumpsPixelsAndPaletteAsLoaded) {
  Picture_Image image = Test_Image(5, 3, 8);
  dir_.write("room.pcx", Write_Pcx(image));
  Program_Run run = Run_In(dir_, "picture dump room.bmp out");  // found through the fallbacks
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, "name=room.bmp width=5 height=3 bpp=8 frames=0\n");
  std::vector<uint8_t> pixels = Read_Whole_File(dir_.file("out.pixels"));
  EXPECT_EQ(pixels, image.pixels);
  EXPECT_EQ(Read_Whole_File(dir_.file("out.palette")), image.palette);

  // --to16: 5-6-5 words, little-endian, through the palette.
  run = Run_In(dir_, "picture dump room.pcx out16 --to16");
  EXPECT_EQ(run.status, 0);
  std::vector<uint8_t> wide = Read_Whole_File(dir_.file("out16.pixels"));
  ASSERT_EQ(wide.size(), 30u);
  for (size_t i = 0; i < 15; ++i) {
    const uint8_t* rgb = &image.palette[3 * image.pixels[i]];
    uint16_t expected = Rgb_To_565(rgb[0], rgb[1], rgb[2]);
    EXPECT_EQ(wide[2 * i] | (wide[2 * i + 1] << 8), expected) << "pixel " << i;
  }
}

TEST_F(PictureDumpTool, ExitStatusesForMissingPicturesAndBadUsage) {
  dir_.write("broken.tga", std::vector<uint8_t>{0, 0, 2, 0});
  EXPECT_EQ(Run_In(dir_, "picture dump broken.tga out").status, 1);
  EXPECT_EQ(Run_In(dir_, "picture dump nothing.gif out").status, 1);
  EXPECT_EQ(Run_In(dir_, "picture dump onlyname").status, 2);
  EXPECT_EQ(Run_In(dir_, "picture frob a b").status, 2);
}

}  // namespace
