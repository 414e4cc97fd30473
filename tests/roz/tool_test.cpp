// osterlin-tool roz and tessalin subcommands, run as a user would.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "roz/roz.h"
#include "roz_white_box.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "tessalin/tessalin.h"

namespace {

using Bytes = std::vector<unsigned char>;

Program_Run Tool(const std::string& arguments) { return Run_Program("osterlin-tool", arguments); }

Bytes Gradient(int width, int height, int bytes_per_pixel) {
  Bytes p(static_cast<size_t>(width) * height * bytes_per_pixel, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      unsigned char* q = &p[(static_cast<size_t>(y) * width + x) * bytes_per_pixel];
      q[0] = static_cast<unsigned char>(x * 255 / width);
      q[1] = static_cast<unsigned char>(y * 255 / height);
      q[2] = static_cast<unsigned char>(128 + 60 * std::sin((x + y) / 13.0));
    }
  }
  return p;
}

double Mean_Error_565(const Bytes& bgr, const Bytes& pixels16) {
  double sum = 0;
  const size_t n = pixels16.size() / 2;
  for (size_t i = 0; i < n; ++i) {
    const int p = pixels16[2 * i] | pixels16[2 * i + 1] << 8;
    sum += std::abs(((p >> 11) << 3) - bgr[3 * i + 2]) + std::abs(((p >> 5) & 63) * 4 - bgr[3 * i + 1]) +
           std::abs((p & 31) * 8 - bgr[3 * i]);
  }
  return sum / (3.0 * static_cast<double>(n));
}

}  // namespace

TEST(RozTool, EncodeDecodePicturesAndTiles) {
  Temp_Dir dir;
  for (int bpp : {24, 32}) {
    const std::string b = std::to_string(bpp);
    const std::string in = dir.write("in" + b + ".raw", Gradient(32, 16, bpp / 8));
    ASSERT_EQ(
        Tool("roz encode --quality 90 --bpp " + b + " --width 32 --height 16 " + in + " " + dir.file("s" + b)).status,
        0);
    Program_Run r = Tool("roz decode --quality 90 --bpp " + b + " --width 32 --height 16 " + dir.file("s" + b) + " " +
                         dir.file("out" + b));
    ASSERT_EQ(r.status, 0) << r.errors;
    Bytes out = Read_Whole_File(dir.file("out" + b));
    ASSERT_EQ(out.size(), 32u * 16 * bpp / 8);
    if (bpp == 32) {
      for (size_t i = 3; i < out.size(); i += 4) ASSERT_EQ(out[i], 0);
    }
    // The same bytes as the library gives.
    Bytes stream = Read_Whole_File(dir.file("s" + b));
    Bytes expected(out.size(), 0);
    ROZ codec;
    if (bpp == 24) {
      codec.Unpack_Picture_Rgb_24(expected.data(), 32, 16, stream.data(), static_cast<int>(stream.size()), 90);
    } else {
      codec.Unpack_Picture_Rgb_32(expected.data(), 32, 16, stream.data(), static_cast<int>(stream.size()), 90);
    }
    EXPECT_EQ(out, expected);

    // Tiles: the same pixels seen as 8 tiles of 8 x 8.
    const std::string tiles = dir.write("tiles" + b, Gradient(8, 64, bpp / 8));
    ASSERT_EQ(
        Tool("roz encode-blocks --quality 60 --bpp " + b + " --count 8 " + tiles + " " + dir.file("t" + b)).status, 0);
    ASSERT_EQ(Tool("roz decode-blocks --quality 60 --bpp " + b + " --count 8 " + dir.file("t" + b) + " " +
                   dir.file("tout" + b))
                  .status,
              0);
    EXPECT_EQ(Read_Whole_File(dir.file("tout" + b)).size(), 8u * 64 * bpp / 8);
  }
}

TEST(RozTool, FixedSizeDecoders) {
  Temp_Dir dir;
  const Bytes source = Gradient(640, 480, 3);
  const std::string in = dir.write("in.raw", source);
  ASSERT_EQ(Tool("roz encode --quality 80 --bpp 24 --width 640 --height 480 " + in + " " + dir.file("s")).status, 0);
  for (const char* variant : {"16_16", "15_16", "15_15"}) {
    Program_Run r = Tool(std::string("roz decode16 --quality 80 --variant ") + variant + " --size 640x480 " +
                         dir.file("s") + " " + dir.file("o"));
    ASSERT_EQ(r.status, 0) << r.errors;
    Bytes out = Read_Whole_File(dir.file("o"));
    ASSERT_EQ(out.size(), 640u * 480 * 2);
    if (std::string(variant) == "16_16") {
      EXPECT_LT(Mean_Error_565(source, out), 8.0);
    }
  }
  // More code bytes than the decoders hold: refused with the library's message.
  Bytes stream = Read_Whole_File(dir.file("s"));
  Set_Stream_U32(stream, 4, 1250001);
  dir.write("big", stream);
  Program_Run r =
      Tool("roz decode16 --quality 80 --variant 16_16 --size 256x6144 " + dir.file("big") + " " + dir.file("o2"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.errors.find("need 1250001 bytes"), std::string::npos) << r.errors;
  EXPECT_EQ(std::count(r.errors.begin(), r.errors.end(), '\n'), 1) << r.errors;
}

TEST(RozTool, BlocksIntoA16BitPicture) {
  Temp_Dir dir;
  const std::string tiles = dir.write("tiles", Gradient(8, 16, 3));
  ASSERT_EQ(Tool("roz encode-blocks --quality 70 --bpp 24 --count 2 " + tiles + " " + dir.file("s")).status, 0);
  dir.write("offsets", std::string("0\n 40\n"));  // pitch 24: (0,0) and (16,1)
  Program_Run r = Tool("roz decode-blocks16 --quality 70 --bits 16 --count 2 --pitch 24 --height 9 --offsets " +
                       dir.file("offsets") + " " + dir.file("s") + " " + dir.file("o"));
  ASSERT_EQ(r.status, 0) << r.errors;
  Bytes out = Read_Whole_File(dir.file("o"));
  ASSERT_EQ(out.size(), 24u * 9 * 2);
  EXPECT_EQ(out[2 * 8], 0);  // (8, 0) lies between the blocks
  EXPECT_EQ(out[2 * 8 + 1], 0);

  struct Case {
    const char* offsets;
    int status;
  } cases[] = {
      {"0 17", 1},       // block would cross the right edge
      {"0 24", 0},       // (0,1): rows 1..8 fit a height of 9
      {"0 48", 1},       // (0,2): rows 2..9 exceed height 9
      {"0 -1", 1},
      {"0", 1},          // fewer offsets than blocks
      {"0 x", 1},
  };
  for (const Case& c : cases) {
    dir.write("bad", std::string(c.offsets));
    r = Tool("roz decode-blocks16 --quality 70 --bits 15 --count 2 --pitch 24 --height 9 --offsets " + dir.file("bad") +
             " " + dir.file("s") + " " + dir.file("o"));
    EXPECT_EQ(r.status, c.status) << c.offsets << ": " << r.errors;
  }
}

TEST(RozTool, RefusalsAndUsage) {
  Temp_Dir dir;
  const std::string in = dir.write("in", Gradient(16, 16, 3));
  struct Case {
    std::string arguments;
    int status;
  } cases[] = {
      {"roz encode --quality 50 --bpp 24 --width 16 --height 8 " + in + " " + dir.file("o"), 1},  // size mismatch
      {"roz encode --quality 50 --bpp 16 --width 16 --height 16 " + in + " " + dir.file("o"), 2},
      {"roz encode --quality 50 --bpp 24 --width 12 --height 16 " + in + " " + dir.file("o"), 2},
      {"roz encode --bpp 24 --width 16 --height 16 " + in + " " + dir.file("o"), 2},
      {"roz decode --quality 50 --bpp 24 --width 16 --height 16 " + in, 2},
      {"roz decode16 --quality 50 --variant 16_15 --size 640x480 " + in + " " + dir.file("o"), 2},
      {"roz decode16 --quality 50 --variant 16_16 --size 320x200 " + in + " " + dir.file("o"), 2},
      {"roz decode --quality 50 --bpp 24 --width 16 --height 16 " + dir.file("missing") + " " + dir.file("o"), 1},
      {"roz transcode", 2},
      {"tessalin unpack --bits 15 " + in + " " + dir.file("o"), 1},  // not a record
      {"tessalin unpack --bits 12 " + in + " " + dir.file("o"), 2},
      {"tessalin pack --quality 50 " + in + " " + dir.file("o"), 1},  // not 256 x 6144
  };
  for (const Case& c : cases) {
    Program_Run r = Tool(c.arguments);
    EXPECT_EQ(r.status, c.status) << c.arguments << "\n" << r.errors;
    EXPECT_FALSE(r.errors.empty()) << c.arguments;
  }
  // A stream whose frequency table is damaged.
  dir.write("bad", Bytes{6, 0, 0, 0, 1, 0, 0, 0, 9, 2, 0, 0, 0, 0});
  Program_Run r =
      Tool("roz decode --quality 50 --bpp 24 --width 16 --height 16 " + dir.file("bad") + " " + dir.file("o"));
  EXPECT_EQ(r.status, 1) << r.errors;
}

TEST(TessalinTool, PackThenUnpack) {
  Temp_Dir dir;
  const Bytes source = Gradient(256, 6144, 3);
  const std::string in = dir.write("pano.raw", source);
  for (int quality : {30, 90}) {
    const std::string q = std::to_string(quality);
    ASSERT_EQ(Tool("tessalin pack --quality " + q + " " + in + " " + dir.file("rec" + q)).status, 0);
    Bytes record = Read_Whole_File(dir.file("rec" + q));
    ASSERT_GT(record.size(), 36u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.data())), TESSALIN_SIGNATURE);
    EXPECT_EQ(record[32], quality);
    Program_Run r = Tool("tessalin unpack --bits 16 " + dir.file("rec" + q) + " " + dir.file("o"));
    ASSERT_EQ(r.status, 0) << r.errors;
    Bytes out = Read_Whole_File(dir.file("o"));
    ASSERT_EQ(out.size(), 256u * 6144 * 2);
    EXPECT_LT(Mean_Error_565(source, out), quality == 90 ? 4.0 : 8.0) << quality;
  }
  // A record cut short is refused.
  Bytes record = Read_Whole_File(dir.file("rec90"));
  record.resize(record.size() / 2);
  dir.write("cut", record);
  Program_Run r = Tool("tessalin unpack --bits 15 " + dir.file("cut") + " " + dir.file("o"));
  EXPECT_EQ(r.status, 1);
}
