#include "support/png_reader.h"

#include <png.h>

#include <cstdio>

namespace {

struct Reader {
  FILE* file = nullptr;
  png_structp png = nullptr;
  png_infop info = nullptr;
};

bool read_png(Reader& r, Png_Read& out) {
  if (setjmp(png_jmpbuf(r.png))) return false;
  png_init_io(r.png, r.file);
  png_read_info(r.png, r.info);
  if (png_get_bit_depth(r.png, r.info) != 8 || png_get_interlace_type(r.png, r.info) != PNG_INTERLACE_NONE) {
    return false;
  }
  out.width = static_cast<int>(png_get_image_width(r.png, r.info));
  out.height = static_cast<int>(png_get_image_height(r.png, r.info));
  out.colour_type = png_get_color_type(r.png, r.info);
  out.channels = png_get_channels(r.png, r.info);
  if (out.colour_type == PNG_COLOR_TYPE_PALETTE) {
    png_colorp colours = nullptr;
    int count = 0;
    png_get_PLTE(r.png, r.info, &colours, &count);
    for (int i = 0; i < count; ++i) out.palette.insert(out.palette.end(), {colours[i].red, colours[i].green, colours[i].blue});
  }
  size_t row_bytes = png_get_rowbytes(r.png, r.info);
  out.pixels.resize(row_bytes * static_cast<size_t>(out.height));
  std::vector<png_bytep> rows(static_cast<size_t>(out.height));
  for (int y = 0; y < out.height; ++y) rows[static_cast<size_t>(y)] = out.pixels.data() + row_bytes * y;
  png_read_image(r.png, rows.data());
  png_read_end(r.png, nullptr);
  return true;
}

}  // namespace

void Png_Read::rgb(int x, int y, uint8_t* out) const {
  size_t at = (static_cast<size_t>(y) * width + x) * static_cast<size_t>(channels);
  if (colour_type == PNG_COLOR_TYPE_PALETTE) {
    size_t entry = static_cast<size_t>(pixels[at]) * 3;
    for (int k = 0; k < 3; ++k) out[k] = entry + 2 < palette.size() ? palette[entry + k] : 0;
    return;
  }
  for (int k = 0; k < 3; ++k) out[k] = pixels[at + (channels >= 3 ? k : 0)];
}

Png_Read Png_Read_File(const std::string& path) {
  Png_Read out;
  Reader r;
  r.file = std::fopen(path.c_str(), "rb");
  if (r.file == nullptr) return out;
  r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (r.png != nullptr) r.info = png_create_info_struct(r.png);
  if (r.png != nullptr && r.info != nullptr) out.ok = read_png(r, out);
  png_destroy_read_struct(&r.png, &r.info, nullptr);
  std::fclose(r.file);
  if (!out.ok) out = Png_Read{};
  return out;
}
