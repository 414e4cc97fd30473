// BMP pictures: uncompressed 8, 16 (x-5-5-5) and 24 bits per pixel, rows padded
// to a multiple of 4 bytes, bottom row first (top first when the height is
// negative).
#include <cstring>

#include "files/byte_reader.h"
#include "pictures/picture_load.h"
#include "pictures/reader_common.h"

using namespace picture_reader;

Picture* Picture_Parse_Bmp(const uint8_t* data, size_t size, const char* name) {
  if (data == nullptr) return nullptr;
  Byte_Reader in(data, size);
  if (in.u8() != 'B' || in.u8() != 'M') return nullptr;
  in.skip(8);  // file size, two reserved words
  uint32_t data_offset = in.u32le();
  uint32_t header_size = in.u32le();
  int64_t width = in.i32le();
  int64_t height = in.i32le();
  in.skip(2);  // planes
  int bits = in.u16le();
  uint32_t compression = in.u32le();
  in.skip(12);  // image size, resolutions
  uint32_t colours_used = in.u32le();
  if (!in.ok() || header_size < 40) return nullptr;
  if ((bits != 8 && bits != 16 && bits != 24) || compression != 0) return nullptr;
  bool top_first = height < 0;
  if (top_first) height = -height;
  if (!side_ok(width) || !side_ok(height)) return nullptr;

  // The palette follows the information header (whose size the header gives).
  if (!in.seek(14 + static_cast<size_t>(header_size))) return nullptr;
  uint8_t palette[768] = {};
  if (bits == 8) {
    if (colours_used > 256) return nullptr;
    size_t entries = colours_used != 0 ? colours_used : 256;
    const uint8_t* table = in.view(entries * 4);
    if (table == nullptr) return nullptr;
    for (size_t i = 0; i < entries; ++i) {
      palette[3 * i] = table[4 * i + 2];
      palette[3 * i + 1] = table[4 * i + 1];
      palette[3 * i + 2] = table[4 * i];
    }
  }
  // The rows start at the stored data offset when it lies past the palette, else
  // right after it.
  size_t rows_at = data_offset >= in.position() && data_offset < size ? data_offset : in.position();

  size_t pixel = static_cast<size_t>(bits / 8);
  size_t row_bytes = static_cast<size_t>(width) * pixel;
  size_t stride = (row_bytes + 3) & ~static_cast<size_t>(3);
  // The last row's padding may be missing.
  if (size - rows_at < stride * static_cast<size_t>(height - 1) + row_bytes) return nullptr;

  Picture* picture = new_picture(name, width, height, bits);
  if (picture == nullptr) return nullptr;
  std::memcpy(picture->palette, palette, sizeof palette);
  for (int64_t y = 0; y < height; ++y) {
    const uint8_t* row = data + rows_at + static_cast<size_t>(top_first ? y : height - 1 - y) * stride;
    uint8_t* out = picture->pixels + static_cast<size_t>(y) * row_bytes;
    if (bits == 8) {
      std::memcpy(out, row, row_bytes);
    } else if (bits == 16) {
      for (int64_t x = 0; x < width; ++x, row += 2, out += 2) {
        uint16_t v = Rgb555_To_565(Load_Le16(row));
        std::memcpy(out, &v, 2);
      }
    } else {
      for (int64_t x = 0; x < width; ++x, row += 3, out += 3) {
        out[0] = row[2];
        out[1] = row[1];
        out[2] = row[0];
      }
    }
  }
  return picture;
}
