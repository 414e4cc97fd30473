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

bool read_png(const uint8_t* data, size_t size, Rgb_Image& out, std::string* error) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data, size)) {
    *error = std::string("damaged PNG: ") + image.message;
    png_image_free(&image);
    return false;
  }
  if (!size_acceptable(image.width, image.height, error)) {
    png_image_free(&image);
    return false;
  }
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image), 0);  // zero: alpha composited over black
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    *error = std::string("damaged PNG: ") + image.message;
    png_image_free(&image);
    return false;
  }
  out.width = static_cast<int>(image.width);
  out.height = static_cast<int>(image.height);
  out.rgb = std::move(pixels);
  return true;
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
