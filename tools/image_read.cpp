#include "image_read.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <png.h>

#include "tool.h"

namespace {

bool size_acceptable(long long width, long long height, std::string* error) {
  if (width <= 0 || height <= 0 || width > Image_Max_Side || height > Image_Max_Side ||
      width * height > Image_Max_Pixels) {
    *error = "picture size " + std::to_string(width) + "x" + std::to_string(height) + " is not supported";
    return false;
  }
  return true;
}

// PNG through libpng's row interface: samples are taken as stored (no gamma
// conversion, as the game's own pictures are), reduced to 8 bits, palettes and
// grey expanded, alpha composited over black.
struct Png_Memory {
  const uint8_t* data;
  size_t size;
  size_t at;
};

void png_memory_read(png_structp png, png_bytep out, size_t count) {
  Png_Memory* m = static_cast<Png_Memory*>(png_get_io_ptr(png));
  if (count > m->size - m->at) png_error(png, "the file ends early");
  std::memcpy(out, m->data + m->at, count);
  m->at += count;
}

void png_fail(png_structp png, png_const_charp message) {
  std::string* error = static_cast<std::string*>(png_get_error_ptr(png));
  *error = std::string("damaged PNG: ") + message;
  png_longjmp(png, 1);
}

void png_quiet(png_structp, png_const_charp) {}

// State that must survive a longjmp out of libpng lives here, not in locals of
// the function that calls setjmp.
struct Png_Read {
  png_structp png = nullptr;
  png_infop info = nullptr;
  Png_Memory memory{};
  std::vector<uint8_t> rgba;
  std::vector<png_bytep> rows;
};

bool read_png_into(Png_Read& r, Rgb_Image& out, std::string* error) {
  r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, error, png_fail, png_quiet);
  if (r.png == nullptr) {
    *error = "cannot start the PNG reader";
    return false;
  }
  r.info = png_create_info_struct(r.png);
  if (r.info == nullptr || setjmp(png_jmpbuf(r.png))) {
    if (error->empty()) *error = "damaged PNG";
    png_destroy_read_struct(&r.png, &r.info, nullptr);
    return false;
  }
  png_set_read_fn(r.png, &r.memory, png_memory_read);
  png_read_info(r.png, r.info);
  const png_uint_32 width = png_get_image_width(r.png, r.info), height = png_get_image_height(r.png, r.info);
  if (!size_acceptable(width, height, error)) {
    png_destroy_read_struct(&r.png, &r.info, nullptr);
    return false;
  }
  png_set_expand(r.png);
  png_set_strip_16(r.png);
  png_set_gray_to_rgb(r.png);
  png_set_add_alpha(r.png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(r.png);
  png_read_update_info(r.png, r.info);
  if (png_get_rowbytes(r.png, r.info) != static_cast<size_t>(width) * 4) png_error(r.png, "unexpected row layout");
  r.rgba.assign(static_cast<size_t>(width) * height * 4, 0);
  r.rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) r.rows[y] = &r.rgba[static_cast<size_t>(y) * width * 4];
  png_read_image(r.png, r.rows.data());
  png_read_end(r.png, nullptr);
  png_destroy_read_struct(&r.png, &r.info, nullptr);
  out.width = static_cast<int>(width);
  out.height = static_cast<int>(height);
  out.rgb.resize(static_cast<size_t>(width) * height * 3);
  for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i) {
    const uint8_t* p = &r.rgba[i * 4];
    for (int c = 0; c < 3; ++c) out.rgb[i * 3 + c] = static_cast<uint8_t>((p[c] * p[3] + 127) / 255);
  }
  return true;
}

bool read_png(const uint8_t* data, size_t size, Rgb_Image& out, std::string* error) {
  Png_Read r;
  r.memory = {data, size, 0};
  return read_png_into(r, out, error);
}

struct Jpeg_Error {
  jpeg_error_mgr manager;
  jmp_buf escape;
  char message[JMSG_LENGTH_MAX];
};

void jpeg_fail(j_common_ptr info) {
  Jpeg_Error* e = reinterpret_cast<Jpeg_Error*>(info->err);
  info->err->format_message(info, e->message);
  std::longjmp(e->escape, 1);
}

void jpeg_quiet(j_common_ptr, int) {}

// Everything that must survive the longjmp lives outside the function that calls
// setjmp, so no local is left in an unspecified state.
struct Jpeg_Read {
  jpeg_decompress_struct info;
  Jpeg_Error error;
  std::vector<uint8_t> row;
  bool cmyk = false;
};

bool read_jpeg_into(Jpeg_Read& r, const uint8_t* data, size_t size, Rgb_Image& out, std::string* error) {
  if (setjmp(r.error.escape)) {
    *error = std::string("damaged JPEG: ") + r.error.message;
    jpeg_destroy_decompress(&r.info);
    return false;
  }
  jpeg_create_decompress(&r.info);
  jpeg_mem_src(&r.info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&r.info, TRUE);
  if (!size_acceptable(r.info.image_width, r.info.image_height, error)) {
    jpeg_destroy_decompress(&r.info);
    return false;
  }
  r.cmyk = r.info.jpeg_color_space == JCS_CMYK || r.info.jpeg_color_space == JCS_YCCK;
  r.info.out_color_space = r.cmyk ? JCS_CMYK : JCS_RGB;
  jpeg_start_decompress(&r.info);
  const int width = static_cast<int>(r.info.output_width), height = static_cast<int>(r.info.output_height);
  const int components = r.info.output_components;
  if ((components != 3 && components != 4) || !size_acceptable(width, height, error)) {
    if (error->empty()) *error = "JPEG colour layout is not supported";
    jpeg_destroy_decompress(&r.info);
    return false;
  }
  out.width = width;
  out.height = height;
  out.rgb.assign(static_cast<size_t>(width) * height * 3, 0);
  r.row.assign(static_cast<size_t>(width) * components, 0);
  while (r.info.output_scanline < r.info.output_height) {
    const size_t y = r.info.output_scanline;
    JSAMPROW rows[1] = {r.row.data()};
    jpeg_read_scanlines(&r.info, rows, 1);
    uint8_t* target = &out.rgb[y * width * 3];
    if (!r.cmyk) {
      std::memcpy(target, r.row.data(), static_cast<size_t>(width) * 3);
      continue;
    }
    // CMYK as the common writers store it (inverted): each channel times K.
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = &r.row[static_cast<size_t>(x) * 4];
      for (int c = 0; c < 3; ++c) target[x * 3 + c] = static_cast<uint8_t>((p[c] * p[3] + 127) / 255);
    }
  }
  jpeg_finish_decompress(&r.info);
  jpeg_destroy_decompress(&r.info);
  return true;
}

bool read_jpeg(const uint8_t* data, size_t size, Rgb_Image& out, std::string* error) {
  Jpeg_Read r;
  std::memset(&r.info, 0, sizeof r.info);
  r.info.err = jpeg_std_error(&r.error.manager);
  r.error.manager.error_exit = jpeg_fail;
  r.error.manager.emit_message = jpeg_quiet;
  r.error.message[0] = 0;
  return read_jpeg_into(r, data, size, out, error);
}

}  // namespace

bool Image_Read_Memory(const uint8_t* data, size_t size, Rgb_Image& out, std::string* error) {
  static const uint8_t png_signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  error->clear();
  out = Rgb_Image{};
  if (size >= 8 && std::memcmp(data, png_signature, 8) == 0) return read_png(data, size, out, error);
  if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return read_jpeg(data, size, out, error);
  *error = "not a PNG or JPEG picture";
  return false;
}

bool Image_Read(const std::string& path, Rgb_Image& out, std::string* error) {
  std::vector<unsigned char> bytes;
  if (!Tool_Read_File(path, bytes)) {
    *error = "cannot read " + path;
    return false;
  }
  if (!Image_Read_Memory(bytes.data(), bytes.size(), out, error)) {
    *error = path + ": " + *error;
    return false;
  }
  return true;
}
