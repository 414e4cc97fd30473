#include "image_files.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>

namespace {

size_t bytes_per_pixel(Png_Form form) {
  switch (form) {
    case Png_Form::Rgb: return 3;
    case Png_Form::Rgba: return 4;
    case Png_Form::Palette: return 1;
  }
  return 0;
}

bool fail(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
  return false;
}

// libpng reports errors by longjmp; its message is kept for the caller.
void on_png_error(png_structp png, png_const_charp message) {
  auto* text = static_cast<std::string*>(png_get_error_ptr(png));
  if (text != nullptr) *text = message;
  png_longjmp(png, 1);
}

void on_png_warning(png_structp, png_const_charp) {}

// Everything that crosses the setjmp lives here, outside the function that calls it.
struct Png_Writer {
  FILE* file = nullptr;
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::string message;
  std::vector<png_bytep> rows;
};

bool write_png(Png_Writer& w, const Png_Picture& picture) {
  if (setjmp(png_jmpbuf(w.png))) return false;
  png_init_io(w.png, w.file);
  int colour_type = picture.form == Png_Form::Rgb    ? PNG_COLOR_TYPE_RGB
                    : picture.form == Png_Form::Rgba ? PNG_COLOR_TYPE_RGB_ALPHA
                                                     : PNG_COLOR_TYPE_PALETTE;
  png_set_IHDR(w.png, w.info, static_cast<png_uint_32>(picture.width), static_cast<png_uint_32>(picture.height), 8,
               colour_type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> colours;
  if (picture.form == Png_Form::Palette) {
    for (size_t i = 0; i + 2 < picture.palette.size(); i += 3) {
      colours.push_back(png_color{picture.palette[i], picture.palette[i + 1], picture.palette[i + 2]});
    }
    png_set_PLTE(w.png, w.info, colours.data(), static_cast<int>(colours.size()));
  }
  // Fast settings: exported pictures are many and large; size matters less.
  png_set_compression_level(w.png, 3);
  png_write_info(w.png, w.info);
  png_write_image(w.png, w.rows.data());
  png_write_end(w.png, w.info);
  return true;
}

}  // namespace

bool Png_Write(const std::string& path, const Png_Picture& picture, std::string* error) {
  if (picture.width < 1 || picture.height < 1 || picture.width > (1 << 20) || picture.height > (1 << 20)) {
    return fail(error, "picture of " + std::to_string(picture.width) + " x " + std::to_string(picture.height) +
                           " pixels cannot be written");
  }
  size_t row_bytes = static_cast<size_t>(picture.width) * bytes_per_pixel(picture.form);
  if (picture.pixels.size() != row_bytes * static_cast<size_t>(picture.height)) {
    return fail(error, "pixel data does not match the picture size");
  }
  if (picture.form == Png_Form::Palette) {
    size_t entries = picture.palette.size() / 3;
    if (entries < 1 || entries > 256 || picture.palette.size() % 3 != 0) return fail(error, "bad palette size");
    for (uint8_t index : picture.pixels) {
      if (index >= entries) return fail(error, "palette index beyond the palette");
    }
  }
  Png_Writer w;
  w.file = std::fopen(path.c_str(), "wb");
  if (w.file == nullptr) return fail(error, "cannot create " + path);
  w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &w.message, on_png_error, on_png_warning);
  if (w.png != nullptr) w.info = png_create_info_struct(w.png);
  bool ok = w.png != nullptr && w.info != nullptr;
  if (ok) {
    w.rows.resize(static_cast<size_t>(picture.height));
    for (int y = 0; y < picture.height; ++y) {
      w.rows[static_cast<size_t>(y)] = const_cast<png_bytep>(picture.pixels.data() + row_bytes * y);
    }
    ok = write_png(w, picture);
  }
  png_destroy_write_struct(&w.png, &w.info);
  ok = std::fclose(w.file) == 0 && ok;
  if (!ok) {
    std::remove(path.c_str());
    return fail(error, "cannot write " + path + (w.message.empty() ? "" : ": " + w.message));
  }
  return true;
}

void Rgb_From_565(uint16_t pixel, uint8_t* rgb) {
  uint8_t r = static_cast<uint8_t>(pixel >> 11), g = static_cast<uint8_t>((pixel >> 5) & 63),
          b = static_cast<uint8_t>(pixel & 31);
  rgb[0] = static_cast<uint8_t>((r << 3) | (r >> 2));
  rgb[1] = static_cast<uint8_t>((g << 2) | (g >> 4));
  rgb[2] = static_cast<uint8_t>((b << 3) | (b >> 2));
}

Png_Picture Png_From_565(const uint16_t* pixels, int width, int height, int pitch) {
  Png_Picture picture;
  picture.width = width;
  picture.height = height;
  picture.form = Png_Form::Rgb;
  picture.pixels.resize(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      Rgb_From_565(pixels[static_cast<size_t>(y) * pitch + x], &picture.pixels[(static_cast<size_t>(y) * width + x) * 3]);
    }
  }
  return picture;
}
