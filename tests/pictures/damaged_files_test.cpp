// Truncated and corrupted files of every format: truncations are refused, and no
// damage makes a reader read or write out of bounds (the sanitizers watch) or
// return a picture whose pixel block is smaller than its size says.
#include <gtest/gtest.h>

#include <string>

#include "picture_test_util.h"

namespace {

Picture* Parse_Mtrd_Named(const uint8_t* data, size_t size, const char*) { return Picture_Parse_Mtrd(data, size); }

struct Sample {
  const char* what;
  Picture_Parser parser;
  std::vector<uint8_t> file;
  size_t slack;  // trailing bytes whose loss the format cannot notice
};

std::vector<Sample> Samples() {
  std::vector<Sample> samples;
  Picture_Image image8 = Test_Image(10, 7, 8);
  Picture_Image image24 = Test_Image(5, 4, 24);
  Tga_Options rle;
  rle.type = 10;
  rle.top_first = false;
  Tga_Options mapped_rle;
  mapped_rle.type = 9;
  mapped_rle.map_bits = 16;
  samples.push_back({"TGA type 2", Picture_Parse_Tga, Write_Tga(image24), 0});
  samples.push_back({"TGA type 10", Picture_Parse_Tga, Write_Tga(Test_Image(9, 5, 32), rle), 0});
  samples.push_back({"TGA type 9", Picture_Parse_Tga, Write_Tga(image8, mapped_rle), 0});
  Gif_Options interlaced;
  interlaced.interlaced = true;
  interlaced.comment = true;
  samples.push_back({"GIF", Picture_Parse_Gif, Write_Gif(image8, interlaced), 1});
  samples.push_back({"BMP 8", Picture_Parse_Bmp, Write_Bmp(Test_Image(8, 3, 8)), 0});
  samples.push_back({"BMP 24, padded rows", Picture_Parse_Bmp, Write_Bmp(image24), 1});
  // PCX pixels avoid the value 12, so a cut file cannot show a palette marker by chance.
  Picture_Image pcx = Test_Image(30, 20, 8);
  for (uint8_t& p : pcx.pixels) p = static_cast<uint8_t>(20 + p % 80);
  samples.push_back({"PCX", Picture_Parse_Pcx, Write_Pcx(pcx), 0});
  Iff_Options byte_run;
  byte_run.byte_run = true;
  samples.push_back({"IFF byte-run", Picture_Parse_Iff, Write_Iff(Test_Image(11, 6, 8), byte_run), 0});
  samples.push_back({"IFF plain", Picture_Parse_Iff, Write_Iff(image8), 0});
  samples.push_back({"MDRAW", Picture_Parse_Mtr, Write_Mdraw(10, 7, image8.palette, image8.pixels), 0});
  Mtrd_Picture mtrd;
  mtrd.version = 1282;
  mtrd.name = "x";
  mtrd.width = 5;
  mtrd.height = 4;
  mtrd.bits = 24;
  mtrd.data = image24.pixels;
  mtrd.frames = {{1, 2}, {3}};
  samples.push_back({"MTRD 1282", Parse_Mtrd_Named, Write_Mtrd(mtrd), 0});
  mtrd.version = 1281;
  samples.push_back({"MTRD 1281", Parse_Mtrd_Named, Write_Mtrd(mtrd), 0});
  return samples;
}

// A returned picture must hold at least the pixels its size and depth promise.
void Expect_Consistent(const Picture* picture) {
  if (picture == nullptr) return;
  ASSERT_NE(picture->palette, nullptr);
  ASSERT_GT(picture->data_size, 0u);
  ASSERT_NE(picture->pixels, nullptr);
  if (picture->pack_method == 0) {
    EXPECT_GE(picture->data_size, Picture_Plain_Size(picture));
  }
  EXPECT_GE(picture->width, 1);
  EXPECT_LE(picture->width, Picture_Max_Side);
  EXPECT_GE(picture->height, 1);
  EXPECT_LE(picture->height, Picture_Max_Side);
}

TEST(DamagedFiles, TruncatedFilesOfEveryFormatGiveNoPicture) {
  for (const Sample& sample : Samples()) {
    SCOPED_TRACE(sample.what);
    ASSERT_TRUE(Parse(sample.parser, sample.file)) << "the undamaged file must load";
    for (size_t length = 0; length + sample.slack < sample.file.size(); ++length) {
      std::vector<uint8_t> cut(sample.file.begin(), sample.file.begin() + static_cast<long>(length));
      EXPECT_FALSE(Parse(sample.parser, cut)) << "cut to " << length << " bytes";
    }
  }
}

TEST(DamagedFiles, CorruptedBytesNeverBreakTheReaders) {
  for (const Sample& sample : Samples()) {
    SCOPED_TRACE(sample.what);
    for (size_t at = 0; at < sample.file.size(); ++at) {
      for (int change = 0; change < 4; ++change) {
        std::vector<uint8_t> file = sample.file;
        uint8_t& b = file[at];
        b = change == 0 ? 0x00 : change == 1 ? 0xFF : change == 2 ? static_cast<uint8_t>(b ^ 0x55) : 0x80;
        Picture_Ptr picture = Parse(sample.parser, file);
        Expect_Consistent(picture.get());
        if (::testing::Test::HasFailure()) FAIL() << "byte " << at << " change " << change;
      }
    }
  }
}

}  // namespace
