// The picture readers over files made by the test writers: every accepted variant
// reads back the written pixels and palette; unaccepted variants are refused.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "picture_test_util.h"

namespace {

std::vector<uint8_t> Palette_565_Rounded(const std::vector<uint8_t>& palette, int first, int length) {
  // A 15/16-bit colour map keeps 5 bits per component, widened back to 8.
  std::vector<uint8_t> out(768, 0);
  for (int i = first; i < first + length && i < 256; ++i) {
    for (int c = 0; c < 3; ++c) {
      unsigned v = palette[3 * i + c] >> 3;
      out[3 * i + c] = static_cast<uint8_t>((v << 3) | (v >> 2));
    }
  }
  return out;
}

// ---- TGA -------------------------------------------------------------------

TEST(TgaReader, EveryTypeDepthAndRowOrderReadsBack) {
  for (int type : {1, 2, 9, 10}) {
    for (int bits : {8, 16, 24, 32}) {
      for (bool top_first : {true, false}) {
        SCOPED_TRACE("type " + std::to_string(type) + " bits " + std::to_string(bits) +
                     (top_first ? " top first" : " bottom first"));
        Picture_Image image = Test_Image(13, 7, bits, static_cast<unsigned>(type * 100 + bits));
        Tga_Options options;
        options.type = type;
        options.top_first = top_first;
        options.id = "id";
        Picture_Ptr picture = Parse(Picture_Parse_Tga, Write_Tga(image, options), "pic.tga");
        ASSERT_TRUE(picture);
        EXPECT_STREQ(picture->name, "pic.tga");
        EXPECT_EQ(picture->version, 1284u);
        EXPECT_EQ(picture->width, 13);
        EXPECT_EQ(picture->height, 7);
        EXPECT_EQ(picture->bits_per_pixel, bits == 32 ? 24 : bits);
        EXPECT_EQ(picture->pack_method, 0u);
        EXPECT_EQ(Pixels_Of(picture.get()), Expected_Pixels(image));
        if (bits == 8) {
          EXPECT_EQ(Palette_Of(picture.get()), image.palette);
        }
      }
    }
  }
}

TEST(TgaReader, ColourMapEntriesOfEverySizeBecomeRgb) {
  Picture_Image image = Test_Image(8, 4, 8);
  struct Case {
    int map_bits, first, length;
  } cases[] = {{24, 0, 256}, {32, 0, 256}, {16, 0, 256}, {15, 0, 256}, {24, 16, 32}, {32, 250, 6}};
  for (const Case& c : cases) {
    SCOPED_TRACE("map bits " + std::to_string(c.map_bits) + " first " + std::to_string(c.first));
    Tga_Options options;
    options.type = 1;
    options.map_bits = c.map_bits;
    options.map_first = c.first;
    options.map_length = c.length;
    Picture_Ptr picture = Parse(Picture_Parse_Tga, Write_Tga(image, options));
    ASSERT_TRUE(picture);
    std::vector<uint8_t> expected(768, 0);
    if (c.map_bits <= 16) {
      expected = Palette_565_Rounded(image.palette, c.first, c.length);
    } else {
      std::copy(image.palette.begin() + 3 * c.first, image.palette.begin() + 3 * (c.first + c.length),
                expected.begin() + 3 * c.first);
    }
    EXPECT_EQ(Palette_Of(picture.get()), expected);
  }
}

TEST(TgaReader, RunPacketReachingPastThePictureStopsAtItsEnd) {
  // A 3 x 1 picture of type 10, 24 bits, whose only packet claims 128 pixels.
  std::vector<uint8_t> file = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 1, 0, 24, 0x20};
  file.insert(file.end(), {0xFF, 1, 2, 3});
  Picture_Ptr picture = Parse(Picture_Parse_Tga, file);
  ASSERT_TRUE(picture);
  EXPECT_EQ(Pixels_Of(picture.get()), (std::vector<uint8_t>{3, 2, 1, 3, 2, 1, 3, 2, 1}));
  // A literal packet claiming more pixels than the picture holds is cut the same way.
  file.resize(18);
  file.insert(file.end(), {0x7F, 1, 2, 3, 4, 5, 6, 7, 8, 9});
  file.resize(file.size() + 128 * 3 - 9, 0);
  picture = Parse(Picture_Parse_Tga, file);
  ASSERT_TRUE(picture);
  EXPECT_EQ(Pixels_Of(picture.get()), (std::vector<uint8_t>{3, 2, 1, 6, 5, 4, 9, 8, 7}));
}

TEST(TgaReader, DescriptorBitsFourAndFiveGiveTheStoredOrder) {
  // A 3 x 2 picture of type 2, 24 bits, built byte by byte. Pixel k is stored
  // B, G, R = k, k + 10, k + 20; the picture reads pixels 1 to 6 left to right,
  // top to bottom, whatever order the descriptor says they are stored in.
  struct Case {
    uint8_t descriptor;
    std::vector<uint8_t> stored;
  } cases[] = {{0x20, {1, 2, 3, 4, 5, 6}},   // top first, left to right
               {0x00, {4, 5, 6, 1, 2, 3}},   // bottom first
               {0x30, {3, 2, 1, 6, 5, 4}},   // top first, right to left
               {0x10, {6, 5, 4, 3, 2, 1}}};  // bottom first, right to left
  std::vector<uint8_t> expected;
  for (uint8_t k = 1; k <= 6; ++k) expected.insert(expected.end(), {static_cast<uint8_t>(k + 20), static_cast<uint8_t>(k + 10), k});
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.descriptor));
    std::vector<uint8_t> file = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 2, 0, 24, c.descriptor};
    for (uint8_t k : c.stored) file.insert(file.end(), {k, static_cast<uint8_t>(k + 10), static_cast<uint8_t>(k + 20)});
    Picture_Ptr picture = Parse(Picture_Parse_Tga, file);
    ASSERT_TRUE(picture);
    EXPECT_EQ(Pixels_Of(picture.get()), expected);
  }
  // Run-length rows are mirrored after decoding: type 9, 8 bits, right to left,
  // top first; row 0 a literal packet (3, 2, 1), row 1 a run of 7 then 8.
  std::vector<uint8_t> file = {0, 1, 9, 0, 0, 0, 0, 24, 0, 0, 0, 0, 3, 0, 2, 0, 8, 0x30};
  file.insert(file.end(), {2, 3, 2, 1, 0x81, 7, 0, 8});
  Picture_Ptr picture = Parse(Picture_Parse_Tga, file);
  ASSERT_TRUE(picture);
  EXPECT_EQ(Pixels_Of(picture.get()), (std::vector<uint8_t>{1, 2, 3, 8, 7, 7}));
}

TEST(TgaReader, RefusesUnacceptedVariants) {
  Picture_Image image = Test_Image(4, 4, 24);
  std::vector<uint8_t> good = Write_Tga(image);
  struct Case {
    const char* what;
    size_t offset;
    uint8_t value;
  } cases[] = {{"type 3 (grey)", 2, 3}, {"type 11", 2, 11}, {"type 0", 2, 0}, {"15 bits per pixel", 16, 15},
               {"width 0", 12, 0},      {"height 0", 14, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> file = good;
    file[c.offset] = c.value;
    if (c.offset == 12 || c.offset == 14) file[c.offset + 1] = 0;
    EXPECT_FALSE(Parse(Picture_Parse_Tga, file));
  }
  // A side above 16384 is refused even when the data would be there.
  std::vector<uint8_t> wide = {0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x40, 1, 0, 8, 0x20};
  for (int i = 0; i < 200; ++i) wide.insert(wide.end(), {0xFF, 0});
  EXPECT_TRUE(Parse(Picture_Parse_Tga, wide));  // 16384 wide: accepted
  wide[12] = 0x01;                              // 16385 wide
  EXPECT_FALSE(Parse(Picture_Parse_Tga, wide));
}

// ---- GIF -------------------------------------------------------------------

TEST(GifReader, VersionsInterlacingTablesAndCodeSizesReadBack) {
  struct Case {
    const char* what;
    Gif_Options options;
    int width, height;
  };
  Gif_Options v87;
  v87.version_89a = false;
  Gif_Options interlaced;
  interlaced.interlaced = true;
  Gif_Options local;
  local.local_table = true;
  Gif_Options lower;
  lower.signature = "gif89a";
  Gif_Options comment;
  comment.comment = true;
  Gif_Options small_codes;
  small_codes.min_code_size = 2;
  Gif_Options clears;
  clears.clear_every = 100;
  Case cases[] = {{"87a", v87, 31, 17},
                  {"89a interlaced", interlaced, 23, 19},
                  {"interlaced, 1 row", interlaced, 5, 1},
                  {"local colour table", local, 16, 16},
                  {"lower-case signature", lower, 9, 9},
                  {"extension holding 0x2C before the image", comment, 12, 10},
                  {"2-bit codes", small_codes, 40, 30},
                  {"clear codes in the stream", clears, 40, 30},
                  {"table fills up (deferred clear)", {}, 200, 150}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Picture_Image image = Test_Image(c.width, c.height, 8, static_cast<unsigned>(c.width));
    if (c.options.min_code_size < 8) {
      for (uint8_t& p : image.pixels) p &= static_cast<uint8_t>((1 << c.options.min_code_size) - 1);
    }
    Picture_Ptr picture = Parse(Picture_Parse_Gif, Write_Gif(image, c.options), "pic.gif");
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, c.width);
    EXPECT_EQ(picture->height, c.height);
    EXPECT_EQ(picture->bits_per_pixel, 8);
    EXPECT_EQ(Pixels_Of(picture.get()), image.pixels);
    size_t table = 3u << c.options.min_code_size;
    std::vector<uint8_t> palette(image.palette.begin(), image.palette.begin() + table);
    palette.resize(768, 0);
    EXPECT_EQ(Palette_Of(picture.get()), palette);
  }
}

TEST(GifReader, RefusesBadSignaturesCodeSizesAndMissingImages) {
  Picture_Image image = Test_Image(8, 8, 8);
  std::vector<uint8_t> good = Write_Gif(image);
  ASSERT_TRUE(Parse(Picture_Parse_Gif, good));
  size_t image_at = 13 + 768;  // after the header and the global table
  ASSERT_EQ(good[image_at], 0x2C);
  struct Case {
    const char* what;
    size_t offset;
    uint8_t value;
  } cases[] = {{"GIF88a", 4, '8'},
               {"PIF89a", 0, 'P'},
               {"minimum code size 1", image_at + 10, 1},
               {"minimum code size 9", image_at + 10, 9},
               {"trailer before the image", image_at, 0x3B},
               {"unknown block", image_at, 0x2D}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> file = good;
    file[c.offset] = c.value;
    EXPECT_FALSE(Parse(Picture_Parse_Gif, file));
  }
  // Image data that ends (end code) before the picture is full.
  Picture_Image tall = image;
  tall.height = 4;
  tall.pixels.resize(32);
  std::vector<uint8_t> short_data = Write_Gif(tall);
  short_data[image_at + 7] = 8;  // the descriptor now claims 8 rows
  EXPECT_FALSE(Parse(Picture_Parse_Gif, short_data));
}

// ---- BMP -------------------------------------------------------------------

TEST(BmpReader, DepthsWidthsAndRowOrdersReadBack) {
  for (int bits : {8, 16, 24}) {
    for (int width : {1, 2, 3, 4, 5, 13}) {
      for (bool top_first : {false, true}) {
        SCOPED_TRACE("bits " + std::to_string(bits) + " width " + std::to_string(width) +
                     (top_first ? " top first" : ""));
        Picture_Image image = Test_Image(width, 6, bits, static_cast<unsigned>(width + bits));
        Bmp_Options options;
        options.top_first = top_first;
        Picture_Ptr picture = Parse(Picture_Parse_Bmp, Write_Bmp(image, options), "pic.bmp");
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->bits_per_pixel, bits);
        EXPECT_EQ(Pixels_Of(picture.get()), Expected_Pixels(image));
        if (bits == 8) {
          EXPECT_EQ(Palette_Of(picture.get()), image.palette);
        }
      }
    }
  }
}

TEST(BmpReader, ShortColourTableUsesTheDataOffset) {
  Picture_Image image = Test_Image(7, 3, 8);
  for (uint8_t& p : image.pixels) p &= 15;
  Bmp_Options options;
  options.colours_used = 16;
  Picture_Ptr picture = Parse(Picture_Parse_Bmp, Write_Bmp(image, options));
  ASSERT_TRUE(picture);
  EXPECT_EQ(Pixels_Of(picture.get()), image.pixels);
  std::vector<uint8_t> palette(image.palette.begin(), image.palette.begin() + 48);
  palette.resize(768, 0);
  EXPECT_EQ(Palette_Of(picture.get()), palette);
}

TEST(BmpReader, RefusesCompressionOtherDepthsAndBadSignatures) {
  std::vector<uint8_t> good = Write_Bmp(Test_Image(4, 4, 24));
  struct Case {
    const char* what;
    size_t offset;
    uint8_t value;
  } cases[] = {{"run-length (compression 1)", 30, 1}, {"32 bits", 28, 32}, {"4 bits", 28, 4},
               {"signature", 1, 'A'},                {"width 0", 18, 0},  {"header size 12", 14, 12}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> file = good;
    file[c.offset] = c.value;
    EXPECT_FALSE(Parse(Picture_Parse_Bmp, file));
  }
}

// ---- PCX -------------------------------------------------------------------

TEST(PcxReader, PlainRunLengthPaddedAndOffsetVariantsReadBack) {
  struct Case {
    const char* what;
    Pcx_Options options;
    int width;
  } cases[] = {{"run-length, even width", {true, 0, 0, 0}, 20},
               {"run-length, odd width padded", {true, 0, 0, 0}, 21},
               {"plain", {false, 0, 0, 0}, 21},
               {"bytes per line well past the width", {true, 32, 0, 0}, 21},
               {"plain, bytes per line past the width", {false, 32, 0, 0}, 21},
               {"xmin and ymin not 0", {true, 0, 10, 5}, 8}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Picture_Image image = Test_Image(c.width, 9, 8, static_cast<unsigned>(c.width));
    Picture_Ptr picture = Parse(Picture_Parse_Pcx, Write_Pcx(image, c.options), "pic.pcx");
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, c.width);
    EXPECT_EQ(picture->height, 9);
    EXPECT_EQ(Pixels_Of(picture.get()), image.pixels);
    EXPECT_EQ(Palette_Of(picture.get()), image.palette);
  }
}

TEST(PcxReader, RefusesOtherVersionsDepthsPlanesAndAMissingPaletteMarker) {
  std::vector<uint8_t> good = Write_Pcx(Test_Image(6, 6, 8));
  struct Case {
    const char* what;
    size_t offset;
    uint8_t value;
  } cases[] = {{"version 3", 1, 3}, {"4 bits", 3, 4}, {"3 planes", 65, 3}, {"xmax below xmin", 8, 0},
               {"palette marker", good.size() - 769, 11}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> file = good;
    file[c.offset] = c.value;
    if (c.offset == 8) file[4] = 5;
    EXPECT_FALSE(Parse(Picture_Parse_Pcx, file));
  }
}

// ---- IFF -------------------------------------------------------------------

TEST(IffReader, PlainAndByteRunPbmReadBack) {
  struct Case {
    const char* what;
    bool byte_run;
    int width, colours;
  } cases[] = {{"plain, even width", false, 20, 256},  {"plain, odd width", false, 21, 256},
               {"byte-run, even width", true, 20, 256}, {"byte-run, odd width", true, 21, 256},
               {"16-colour map", true, 9, 16}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Picture_Image image = Test_Image(c.width, 11, 8, static_cast<unsigned>(c.width));
    Iff_Options options;
    options.byte_run = c.byte_run;
    options.colours = c.colours;
    Picture_Ptr picture = Parse(Picture_Parse_Iff, Write_Iff(image, options), "pic.lbm");
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, c.width);
    EXPECT_EQ(Pixels_Of(picture.get()), image.pixels);
    std::vector<uint8_t> palette(image.palette.begin(), image.palette.begin() + 3 * c.colours);
    palette.resize(768, 0);
    EXPECT_EQ(Palette_Of(picture.get()), palette);
  }
}

TEST(IffReader, PlainOddRowsWithoutPaddingAreReadToo) {
  Picture_Image image = Test_Image(5, 3, 8);
  std::vector<uint8_t> file = Write_Iff(image, {});
  // Rebuild BODY with 5-byte rows (15 bytes, then the chunk's pad byte).
  size_t body = file.size() - (18 + 8);
  ASSERT_EQ(std::memcmp(&file[body], "BODY", 4), 0);
  file.resize(body + 8);
  file[body + 7] = 15;
  file.insert(file.end(), image.pixels.begin(), image.pixels.end());
  file.push_back(0);
  file[7] = static_cast<uint8_t>(file[7] - 2);  // FORM size
  Picture_Ptr picture = Parse(Picture_Parse_Iff, file);
  ASSERT_TRUE(picture);
  EXPECT_EQ(Pixels_Of(picture.get()), image.pixels);
}

// A 3 x 2 byte-run PBM built byte by byte, its rows coded without the padding
// byte: row 0 copied (1, 2, 3), row 1 a run of three 4s.
std::vector<uint8_t> Hand_Made_Odd_Width_Iff(const std::vector<uint8_t>& body) {
  std::vector<uint8_t> bmhd = {0, 3, 0, 2, 0, 0, 0, 0, 8, 0, 1, 0, 0, 0, 1, 1, 0, 3, 0, 2};
  std::vector<uint8_t> cmap = {10, 20, 30, 40, 50, 60};
  std::vector<uint8_t> file = {'F', 'O', 'R', 'M', 0, 0, 0, 0, 'P', 'B', 'M', ' '};
  auto chunk = [&file](const char* tag, const std::vector<uint8_t>& payload) {
    file.insert(file.end(), tag, tag + 4);
    uint32_t n = static_cast<uint32_t>(payload.size());
    file.insert(file.end(), {static_cast<uint8_t>(n >> 24), static_cast<uint8_t>(n >> 16),
                             static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)});
    file.insert(file.end(), payload.begin(), payload.end());
    if (n & 1) file.push_back(0);
  };
  chunk("BMHD", bmhd);
  chunk("CMAP", cmap);
  chunk("BODY", body);
  file[7] = static_cast<uint8_t>(file.size() - 8);
  return file;
}

TEST(IffReader, ByteRunOddRowsWithoutPaddingAreReadToo) {
  Picture_Ptr picture = Parse(Picture_Parse_Iff, Hand_Made_Odd_Width_Iff({2, 1, 2, 3, 254, 4}));
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->width, 3);
  EXPECT_EQ(picture->height, 2);
  EXPECT_EQ(Pixels_Of(picture.get()), (std::vector<uint8_t>{1, 2, 3, 4, 4, 4}));
  EXPECT_EQ(picture->palette[3], 40);
  // Padded rows still read as such: the pad bytes (9) are dropped.
  picture = Parse(Picture_Parse_Iff, Hand_Made_Odd_Width_Iff({3, 1, 2, 3, 9, 253, 4}));
  ASSERT_TRUE(picture);
  EXPECT_EQ(Pixels_Of(picture.get()), (std::vector<uint8_t>{1, 2, 3, 4, 4, 4}));
  // A body too short even for unpadded rows is refused.
  EXPECT_FALSE(Parse(Picture_Parse_Iff, Hand_Made_Odd_Width_Iff({2, 1, 2, 3, 254})));
  EXPECT_FALSE(Parse(Picture_Parse_Iff, Hand_Made_Odd_Width_Iff({2, 1, 2, 3, 1, 4, 4})));
}

TEST(IffReader, ByteRunCode128CopiesTheNext129Bytes) {
  Picture_Image image = Test_Image(130, 1, 8);
  std::vector<uint8_t> file = Write_Iff(image, {});
  // Replace the plain body by a byte-run body: 128 (copy 129) then 0 (copy 1).
  size_t body = file.size() - (130 + 8);
  ASSERT_EQ(std::memcmp(&file[body], "BODY", 4), 0);
  file[body + 7] = 132;
  file.resize(body + 8);
  file.push_back(128);
  file.insert(file.end(), image.pixels.begin(), image.pixels.begin() + 129);
  file.push_back(0);
  file.push_back(image.pixels[129]);
  size_t header = 12 + 8;
  file[header + 10] = 1;  // compression
  Picture_Ptr picture = Parse(Picture_Parse_Iff, file);
  ASSERT_TRUE(picture);
  EXPECT_EQ(Pixels_Of(picture.get()), image.pixels);
}

TEST(IffReader, RefusesOtherFormsPlaneCountsAndMissingChunks) {
  Picture_Image image = Test_Image(6, 4, 8);
  Iff_Options planar;
  planar.form = "ILBM";
  EXPECT_FALSE(Parse(Picture_Parse_Iff, Write_Iff(image, planar)));
  Iff_Options four_planes;
  four_planes.planes = 4;
  EXPECT_FALSE(Parse(Picture_Parse_Iff, Write_Iff(image, four_planes)));
  for (const char* tag : {"FORM", "BMHD", "CMAP", "BODY"}) {
    SCOPED_TRACE(tag);
    std::vector<uint8_t> file = Write_Iff(image, {});
    auto at = std::search(file.begin(), file.end(), tag, tag + 4);
    ASSERT_NE(at, file.end());
    *at = 'X';
    EXPECT_FALSE(Parse(Picture_Parse_Iff, file));
  }
}

// ---- MDRAW -----------------------------------------------------------------

TEST(MdrawReader, HeaderFieldsGiveSizeAndPacking) {
  Picture_Image image = Test_Image(40, 32, 8);
  Picture_Ptr picture = Parse(Picture_Parse_Mtr, Write_Mdraw(40, 32, image.palette, image.pixels), "minifon1.mtr");
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->width, 40);
  EXPECT_EQ(picture->height, 32);
  EXPECT_EQ(picture->bits_per_pixel, 8);
  EXPECT_EQ(picture->pack_method, 0u);
  EXPECT_STREQ(picture->name, "minifon1.mtr");
  EXPECT_EQ(Pixels_Of(picture.get()), image.pixels);
  EXPECT_EQ(Palette_Of(picture.get()), image.palette);

  // "FC" keeps the rest of the file as a method-1 block.
  std::vector<uint8_t> packed = {1, 2, 3, 4, 5};
  picture = Parse(Picture_Parse_Mtr, Write_Mdraw(40, 32, image.palette, packed, true));
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->pack_method, 1u);
  EXPECT_EQ(Pixels_Of(picture.get()), packed);

}

TEST(MdrawReader, RefusesWrongSignatureDepthAndMissingPixels) {
  Picture_Image image = Test_Image(8, 8, 8);
  std::vector<uint8_t> good = Write_Mdraw(8, 8, image.palette, image.pixels);
  struct Case {
    const char* what;
    size_t offset;
    const char* text;
  } cases[] = {{"signature", 0, "MDRAWX"}, {"depth 0018", 16, "0018"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> file = good;
    std::memcpy(&file[c.offset], c.text, std::strlen(c.text));
    EXPECT_FALSE(Parse(Picture_Parse_Mtr, file));
  }
  std::vector<uint8_t> short_pixels = good;
  short_pixels.pop_back();
  EXPECT_FALSE(Parse(Picture_Parse_Mtr, short_pixels));
  EXPECT_FALSE(Parse(Picture_Parse_Mtr, Write_Mdraw(8, 8, image.palette, {}, true)));  // packed, no data
}

// ---- MTRD ------------------------------------------------------------------

Mtrd_Picture Test_Mtrd(uint32_t version, int frames) {
  Picture_Image image = Test_Image(10, 6, 24, version);
  Mtrd_Picture p;
  p.version = version;
  p.name = "lamp";
  p.width = image.width;
  p.height = image.height;
  p.bits = 24;
  p.palette = Test_Image(1, 1, 8).palette;
  p.data = image.pixels;
  for (int i = 0; i < frames; ++i) p.frames.push_back(std::vector<uint8_t>(static_cast<size_t>(3 + i), uint8_t(i + 1)));
  return p;
}

TEST(MtrdReader, HeadAndNamedVersionsWithFramesReadBack) {
  struct Case {
    uint32_t version;
    bool write_version;
    int frames;
    uint32_t expected_version;
  } cases[] = {{1281, true, 0, 1281}, {1281, true, 3, 1281}, {1280, false, 2, 1280},
               {1282, true, 0, 1282}, {1284, true, 4, 1284}};
  for (const Case& c : cases) {
    SCOPED_TRACE("version " + std::to_string(c.version) + " frames " + std::to_string(c.frames));
    Mtrd_Picture source = Test_Mtrd(c.version, c.frames);
    source.write_version = c.write_version;
    std::vector<uint8_t> file = Chunk_U32("JUNK", 7);  // chunks before MTRD are skipped
    std::vector<uint8_t> mtrd = Write_Mtrd(source);
    file.insert(file.end(), mtrd.begin(), mtrd.end());
    Picture_Ptr picture(Picture_Parse_Mtrd(file.data(), file.size()));
    ASSERT_TRUE(picture);
    EXPECT_STREQ(picture->name, "lamp");
    EXPECT_EQ(picture->version, c.expected_version);
    EXPECT_EQ(picture->width, 10);
    EXPECT_EQ(picture->height, 6);
    EXPECT_EQ(picture->bits_per_pixel, 24);
    EXPECT_EQ(Pixels_Of(picture.get()), source.data);
    EXPECT_EQ(Palette_Of(picture.get()), source.palette);
    EXPECT_EQ(picture->frame_count, c.frames);
    std::vector<uint8_t> frames;
    for (const auto& f : source.frames) frames.insert(frames.end(), f.begin(), f.end());
    if (c.frames == 0) {
      EXPECT_EQ(picture->frames, nullptr);
    } else {
      ASSERT_NE(picture->frames, nullptr);
      EXPECT_EQ(std::vector<uint8_t>(picture->frames, picture->frames + frames.size()), frames);
    }
  }
}

TEST(MtrdReader, ChunkOrderIsFreeAndEmptyNamesBecomeNullPicture) {
  Mtrd_Picture source = Test_Mtrd(1283, 0);
  source.name = "";
  auto chunks = Mtrd_Chunks(source);
  std::reverse(chunks.begin(), chunks.end());
  Picture_Ptr picture(Picture_Parse_Mtrd(Write_Mtrd_Chunks(chunks).data(), Write_Mtrd_Chunks(chunks).size()));
  ASSERT_TRUE(picture);
  EXPECT_STREQ(picture->name, "Null_picture");
  EXPECT_EQ(Pixels_Of(picture.get()), source.data);
}

// Removes the first chunk with `tag` from the chunk list.
std::vector<std::vector<uint8_t>> Without(std::vector<std::vector<uint8_t>> chunks, const char* tag) {
  for (auto it = chunks.begin(); it != chunks.end(); ++it) {
    if (std::memcmp(it->data(), tag, 4) == 0) {
      chunks.erase(it);
      break;
    }
  }
  return chunks;
}

Picture_Ptr Parse_Mtrd_Chunks(const std::vector<std::vector<uint8_t>>& chunks) {
  std::vector<uint8_t> file = Write_Mtrd_Chunks(chunks);
  return Picture_Ptr(Picture_Parse_Mtrd(file.data(), file.size()));
}

TEST(MtrdReader, RefusesMissingRequiredChunks) {
  auto v1281 = Mtrd_Chunks(Test_Mtrd(1281, 2));
  auto v1282 = Mtrd_Chunks(Test_Mtrd(1282, 2));
  ASSERT_TRUE(Parse_Mtrd_Chunks(v1281));
  ASSERT_TRUE(Parse_Mtrd_Chunks(v1282));
  for (const char* tag : {"HEAD", "PALE", "PICT", "ANIM"}) {
    SCOPED_TRACE(std::string("1281 without ") + tag);
    EXPECT_FALSE(Parse_Mtrd_Chunks(Without(v1281, tag)));
  }
  for (const char* tag : {"NAME", "SIZX", "SIZY", "BITP", "PACK", "SIZE", "NBFR", "PALE", "PICT", "ANIM"}) {
    SCOPED_TRACE(std::string("1282 without ") + tag);
    EXPECT_FALSE(Parse_Mtrd_Chunks(Without(v1282, tag)));
  }
  // Version 1282 with a HEAD chunk instead of NAME .. NBFR.
  auto with_head = Mtrd_Chunks(Test_Mtrd(1281, 0));
  with_head[0] = Chunk_U32("VERS", 1282);
  EXPECT_FALSE(Parse_Mtrd_Chunks(with_head));
  // No MTRD chunk at all.
  std::vector<uint8_t> bare;
  for (const auto& chunk : v1282) bare.insert(bare.end(), chunk.begin(), chunk.end());
  EXPECT_FALSE(Picture_Ptr(Picture_Parse_Mtrd(bare.data(), bare.size())));
}

TEST(MtrdReader, ShortChunksAreNotReadPast) {
  // HEAD under 44 bytes and a 32-bit field under 4 bytes are refused.
  auto v1281 = Mtrd_Chunks(Test_Mtrd(1281, 0));
  v1281[1].resize(8 + 40);
  v1281[1][4] = 48;
  EXPECT_FALSE(Parse_Mtrd_Chunks(v1281));
  auto v1282 = Mtrd_Chunks(Test_Mtrd(1282, 0));
  v1282[2] = Write_Chunk("SIZX", {10, 0});
  EXPECT_FALSE(Parse_Mtrd_Chunks(v1282));
  // A NAME without its NUL ends at the chunk's end.
  v1282 = Mtrd_Chunks(Test_Mtrd(1282, 0));
  v1282[1] = Write_Chunk("NAME", {'a', 'b', 'c'});
  Picture_Ptr picture = Parse_Mtrd_Chunks(v1282);
  ASSERT_TRUE(picture);
  EXPECT_STREQ(picture->name, "abc");
  // A palette chunk under 768 bytes gives its entries; the rest are black.
  v1282 = Mtrd_Chunks(Test_Mtrd(1282, 0));
  for (auto& chunk : v1282) {
    if (std::memcmp(chunk.data(), "PALE", 4) == 0) chunk = Write_Chunk("PALE", {9, 8, 7});
  }
  picture = Parse_Mtrd_Chunks(v1282);
  ASSERT_TRUE(picture);
  std::vector<uint8_t> palette(768, 0);
  palette[0] = 9, palette[1] = 8, palette[2] = 7;
  EXPECT_EQ(Palette_Of(picture.get()), palette);
}

TEST(MtrdReader, RefusesZeroSizesBadDepthsAndPlainDataThatIsShort) {
  struct Case {
    const char* what;
    const char* tag;
    uint32_t value;
  } cases[] = {{"width 0", "SIZX", 0},        {"height 0", "SIZY", 0},     {"width 16385", "SIZX", 16385},
               {"depth 12", "BITP", 12},      {"pack method 8", "PACK", 8}, {"width past the data", "SIZX", 11},
               {"negative frame count", "NBFR", 0x80000000u}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto chunks = Mtrd_Chunks(Test_Mtrd(1282, 0));
    for (auto& chunk : chunks) {
      if (std::memcmp(chunk.data(), c.tag, 4) == 0) chunk = Chunk_U32(c.tag, c.value);
    }
    EXPECT_FALSE(Parse_Mtrd_Chunks(chunks));
  }
  auto empty_pict = Mtrd_Chunks(Test_Mtrd(1282, 0));
  for (auto& chunk : empty_pict) {
    if (std::memcmp(chunk.data(), "PICT", 4) == 0) chunk = Write_Chunk("PICT", {});
  }
  EXPECT_FALSE(Parse_Mtrd_Chunks(empty_pict));
}

// ---- Chunk walker ------------------------------------------------------------

TEST(ChunkFind, FindsTagsAndEndsOnDamagedSizes) {
  std::vector<uint8_t> file;
  for (const auto& chunk : {Chunk_U32("AAAA", 1), Write_Chunk("bbbb", {1, 2, 3}), Chunk_U32("CCCC", 3)}) {
    file.insert(file.end(), chunk.begin(), chunk.end());
  }
  struct Case {
    const char* tag;
    size_t start, end;
    int result;
    size_t found_start, found_end;
  } cases[] = {{"AAAA", 0, 35, 0, 0, 12},     {"BBBB", 0, 35, 0, 12, 23},  {"cccc", 0, 35, 0, 23, 35},
               {"CCCC", 12, 35, 0, 23, 35},   {"CCCC", 0, 34, -1, 0, 0},   {"DDDD", 0, 35, -1, 0, 0},
               {"AAAA", 35, 35, -1, 35, 35},  {"AAAA", 0, 36, -1, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.tag) + " from " + std::to_string(c.start) + " to " + std::to_string(c.end));
    size_t start = c.start, end = c.end;
    EXPECT_EQ(Chunk_Find_Memory(file.data(), file.size(), c.tag, &start, &end), c.result);
    EXPECT_EQ(start, c.found_start);
    EXPECT_EQ(end, c.found_end);
  }
  // Sizes 0 and 4 (below the header) end the search instead of looping or going back.
  for (uint8_t size : {0, 4, 7}) {
    std::vector<uint8_t> damaged = file;
    damaged[12 + 4] = size;
    size_t start = 0, end = damaged.size();
    EXPECT_EQ(Chunk_Find_Memory(damaged.data(), damaged.size(), "CCCC", &start, &end), -1);
    EXPECT_EQ(end, start);
  }
}

}  // namespace
