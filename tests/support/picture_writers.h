// Test-only picture writers (GIF, IFF PBM), beside the shared ones of
// tools/picture_file_writers.h (TGA, PCX, BMP, MDRAW, MTRD), which this header brings in.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "picture_file_writers.h"  // tools/: the writers the tools use too

struct Gif_Options {
  bool version_89a = true;
  std::string signature;      // overrides the signature when not empty ("gif89a")
  bool interlaced = false;
  bool local_table = false;   // the palette as the image's own table, no global one
  bool comment = false;       // a comment extension (holding 0x2C bytes) before the image
  int min_code_size = 8;      // 2 to 8; pixels must fit in it
  int clear_every = 0;        // a clear code after this many codes (0: only when the table is full)
};
// An 8-bit picture as a GIF with one image, LZW coded.
std::vector<uint8_t> Write_Gif(const Picture_Image& image, const Gif_Options& options = {});

struct Iff_Options {
  bool byte_run = false;
  int colours = 256;        // CMAP entries
  const char* form = "PBM ";
  int planes = 8;
  bool extra_chunk = true;  // an unused chunk (of odd size, padded) before BODY
};
// An 8-bit picture as an IFF PBM file, rows padded to an even width.
std::vector<uint8_t> Write_Iff(const Picture_Image& image, const Iff_Options& options = {});

// A test picture of the given depth whose pixels vary by position (8-bit pictures
// get a palette where entry i is (i, 255 - i, i * 7)).
Picture_Image Test_Image(int width, int height, int bits, unsigned seed = 1);
