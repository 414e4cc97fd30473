// Pictures of every PNG and JPEG kind come into the game the same way: written
// here with the libraries, imported as a Targa node picture, read back by the
// engine.
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>

#include <cmath>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "pictures/picture.h"
#include "video/engine_targets.h"
#include "scene/runtime.h"
#include "tool_run.h"
#include "video/node_picture.h"

namespace {

// PNG through the simplified writer: `format` is a PNG_FORMAT_* value, `bytes`
// the pixels in that format (16-bit formats: native-endian words).
bool Write_Png(const std::string& path, int width, int height, png_uint_32 format, const void* pixels,
               const void* colormap = nullptr, int colormap_entries = 0) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = format;
  image.colormap_entries = static_cast<png_uint_32>(colormap_entries);
  return png_image_write_to_file(&image, path.c_str(), 0, pixels, 0, colormap) != 0;
}

bool Write_Jpeg(const std::string& path, int width, int height, int components, const std::vector<uint8_t>& pixels) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  jpeg_compress_struct info;
  jpeg_error_mgr error;
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, f);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = components;
  info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 95, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<uint8_t*>(&pixels[static_cast<size_t>(info.next_scanline) * width * components]);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return std::fclose(f) == 0;
}

// Expected colour of pixel (x, y) of the test picture: smooth, so JPEG keeps it.
void Colour(int x, int y, uint8_t rgb[3]) {
  rgb[0] = static_cast<uint8_t>(x * 255 / 639);
  rgb[1] = static_cast<uint8_t>(y * 255 / 479);
  rgb[2] = static_cast<uint8_t>(200 - x * 100 / 639);
}

}  // namespace

TEST(ImportImageKinds, EveryPngAndJpegKindGivesTheSamePicture) {
  Temp_Dir dir;
  const int w = 640, h = 480;
  std::vector<uint8_t> rgb(w * h * 3), grey(w * h), rgba(w * h * 4), index(w * h);
  std::vector<uint16_t> rgb16(w * h * 3);
  std::vector<uint8_t> palette(256 * 3);
  for (int i = 0; i < 256; ++i) palette[i * 3] = palette[i * 3 + 1] = palette[i * 3 + 2] = static_cast<uint8_t>(i);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const size_t i = static_cast<size_t>(y) * w + x;
      Colour(x, y, &rgb[i * 3]);
      for (int c = 0; c < 3; ++c) rgb16[i * 3 + c] = static_cast<uint16_t>(rgb[i * 3 + c] * 257);
      grey[i] = index[i] = rgb[i * 3 + 1];
      // Alpha 0 on the left half: composited over black there.
      for (int c = 0; c < 3; ++c) rgba[i * 4 + c] = rgb[i * 3 + c];
      rgba[i * 4 + 3] = x < w / 2 ? 0 : 255;
    }
  }
  struct Kind {
    const char* file;
    bool written;
    bool grey;        // expect the green channel in all three
    bool left_black;  // expect black where alpha was 0
    double tolerance; // mean absolute difference per channel
  } kinds[] = {
      {"rgb.png", Write_Png(dir.file("rgb.png"), w, h, PNG_FORMAT_RGB, rgb.data()), false, false, 3},
      {"rgb16.png", Write_Png(dir.file("rgb16.png"), w, h, PNG_FORMAT_LINEAR_RGB, rgb16.data()), false, false, 3},
      {"grey.png", Write_Png(dir.file("grey.png"), w, h, PNG_FORMAT_GRAY, grey.data()), true, false, 3},
      {"rgba.png", Write_Png(dir.file("rgba.png"), w, h, PNG_FORMAT_RGBA, rgba.data()), false, true, 3},
      {"palette.png",
       Write_Png(dir.file("palette.png"), w, h, PNG_FORMAT_RGB_COLORMAP, index.data(), palette.data(), 256), true,
       false, 3},
      {"rgb.jpg", Write_Jpeg(dir.file("rgb.jpg"), w, h, 3, rgb), false, false, 4},
      {"grey.jpg", Write_Jpeg(dir.file("grey.jpg"), w, h, 1, grey), true, false, 4},
  };
  std::vector<uint16_t> cube(256 * 6144);
  Engine_Set_Panorama_Buffer(cube.data());
  Node_Picture_Replace(Picture_Create("warpfix", 640, 480, 16));
  for (const Kind& kind : kinds) {
    ASSERT_TRUE(kind.written) << kind.file;
    Tool_Result r = Run_Tool(dir, "import picture " + Quoted(dir.file(kind.file)) + " " + Quoted(dir.file("OUT.TGA")));
    ASSERT_EQ(r.status, 0) << kind.file << ": " << r.errors;
    ASSERT_EQ(Load_Node_Picture(dir.file("OUT.TGA").c_str()), 1) << kind.file;
    const uint16_t* got = reinterpret_cast<const uint16_t*>(Node_Picture()->pixels);
    double error = 0;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        uint8_t want[3];
        Colour(x, y, want);
        if (kind.grey) want[0] = want[2] = want[1];
        if (kind.left_black && x < w / 2) want[0] = want[1] = want[2] = 0;
        const uint16_t p = got[y * w + x];
        error += std::fabs(((p >> 11) << 3) - want[0]) + std::fabs((((p >> 5) & 63) << 2) - want[1]) +
                 std::fabs(((p & 31) << 3) - want[2]);
      }
    }
    EXPECT_LT(error / (3.0 * w * h), kind.tolerance) << kind.file;
  }
  Node_Picture_Replace(nullptr);
  Engine_Set_Panorama_Buffer(nullptr);

  // A truncated PNG and a truncated JPEG are refused in one line.
  std::vector<uint8_t> png = Read_Whole_File(dir.file("rgb.png")), jpeg = Read_Whole_File(dir.file("rgb.jpg"));
  dir.write("cut.png", std::vector<uint8_t>(png.begin(), png.begin() + 100));
  dir.write("cut.jpg", std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + 100));
  for (const char* cut : {"cut.png", "cut.jpg"}) {
    Tool_Result r = Run_Tool(dir, "import picture " + Quoted(dir.file(cut)) + " " + Quoted(dir.file("CUT.TGA")));
    EXPECT_EQ(r.status, 1) << cut;
    EXPECT_NE(r.errors.find("damaged"), std::string::npos) << r.errors;
    EXPECT_EQ(std::count(r.errors.begin(), r.errors.end(), '\n'), 1) << r.errors;
    EXPECT_FALSE(std::filesystem::exists(dir.file("CUT.TGA")));
  }
}
