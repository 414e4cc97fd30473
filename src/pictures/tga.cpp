// TGA pictures: image types 1 and 2 (plain) and 9 and 10 (run-length), 8, 16,
// 24 or 32 bits per pixel, rows bottom first unless descriptor bit 5 is set, each
// row right to left when bit 4 is set.
#include <cstring>
#include <vector>

#include "files/byte_reader.h"
#include "pictures/picture_load.h"
#include "pictures/reader_common.h"

using namespace picture_reader;

namespace {

// One colour-map entry to R, G, B. 15/16-bit entries are x-5-5-5 words whose
// components are widened to 8 bits; 24/32-bit ones are B, G, R (, A).
void map_entry(const uint8_t* in, int entry_bytes, uint8_t* rgb) {
  if (entry_bytes == 2) {
    unsigned v = Load_Le16(in);
    unsigned r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
    rgb[0] = static_cast<uint8_t>((r << 3) | (r >> 2));
    rgb[1] = static_cast<uint8_t>((g << 3) | (g >> 2));
    rgb[2] = static_cast<uint8_t>((b << 3) | (b >> 2));
  } else {
    rgb[0] = in[2];
    rgb[1] = in[1];
    rgb[2] = in[0];
  }
}

// Run-length packets: c >= 128 repeats the next pixel (c & 127) + 1 times, else the
// next c + 1 pixels are copied. Packets are cut at the end of the output; false
// when the input runs out first.
bool tga_decode(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size, size_t pixel) {
  size_t i = 0, o = 0;
  while (o < out_size) {
    if (i >= in_size) return false;
    unsigned c = in[i++];
    size_t count = (c & 127) + 1;
    if (count > (out_size - o) / pixel) count = (out_size - o) / pixel;
    if (c >= 128) {
      if (in_size - i < pixel) return false;
      for (size_t k = 0; k < count; ++k, o += pixel) std::memcpy(out + o, in + i, pixel);
      i += pixel;
    } else {
      size_t n = ((c & 127) + 1) * pixel;
      if (in_size - i < n) return false;
      std::memcpy(out + o, in + i, count * pixel);
      o += count * pixel;
      i += n;
    }
  }
  return true;
}

struct Tga_Header {
  int id_length, type, map_first, map_length, map_bits, width, height, bits, descriptor;
};

// The 18-byte header; false for a type, depth or size this reader does not take.
bool read_header(Byte_Reader& in, Tga_Header& h) {
  h.id_length = in.u8();
  in.skip(1);  // colour-map type: the map's length says whether there is one
  h.type = in.u8();
  h.map_first = in.u16le();
  h.map_length = in.u16le();
  h.map_bits = in.u8();
  in.skip(4);  // origin
  h.width = in.u16le();
  h.height = in.u16le();
  h.bits = in.u8();
  h.descriptor = in.u8();
  if (!in.ok()) return false;
  if (h.type != 1 && h.type != 2 && h.type != 9 && h.type != 10) return false;
  if (h.bits != 8 && h.bits != 16 && h.bits != 24 && h.bits != 32) return false;
  return side_ok(h.width) && side_ok(h.height);
}

// The colour map, if any, into a 256-entry R, G, B palette.
bool read_colour_map(Byte_Reader& in, const Tga_Header& h, uint8_t palette[768]) {
  if (h.map_length <= 0) return true;
  int entry_bytes = h.map_bits == 15 || h.map_bits == 16 ? 2 : h.map_bits == 24 ? 3 : h.map_bits == 32 ? 4 : 0;
  if (entry_bytes == 0) return false;
  const uint8_t* map = in.view(static_cast<size_t>(h.map_length) * entry_bytes);
  if (map == nullptr) return false;
  // Entry i of the map is colour index map_first + i.
  for (int i = 0; i < h.map_length && h.map_first + i < 256; ++i) {
    map_entry(map + i * entry_bytes, entry_bytes, palette + 3 * (h.map_first + i));
  }
  return true;
}

// The stored pixels, unpacked into `decoded` for the run-length types; null when
// the file holds too few.
const uint8_t* pixel_data(const uint8_t* source, size_t source_size, const Tga_Header& h,
                          std::vector<uint8_t>& decoded) {
  size_t pixel = static_cast<size_t>(h.bits / 8);
  size_t stored = static_cast<size_t>(h.width) * h.height * pixel;
  if (h.type == 1 || h.type == 2) return source_size < stored ? nullptr : source;
  if (!can_expand_to(source_size, stored, 128)) return nullptr;
  decoded.resize(stored);
  if (!tga_decode(source, source_size, decoded.data(), stored, pixel)) return nullptr;
  return decoded.data();
}

void store_pixel(const uint8_t* in, int bits, uint8_t* out) {
  switch (bits) {
    case 8: out[0] = in[0]; break;
    case 16: {
      uint16_t v = Rgb555_To_565(Load_Le16(in));
      std::memcpy(out, &v, 2);
      break;
    }
    default:  // 24 and 32: B, G, R (, A) to R, G, B
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
      break;
  }
}

// Copies the stored rows into the picture top row first, each left to right.
void store_rows(const uint8_t* source, const Tga_Header& h, Picture* picture) {
  const int width = h.width, height = h.height;
  size_t pixel = static_cast<size_t>(h.bits / 8);
  bool top_first = (h.descriptor & 0x20) != 0;
  // Bit 4 set: each row is stored right to left, and comes out mirrored.
  bool right_first = (h.descriptor & 0x10) != 0;
  size_t out_pixel = static_cast<size_t>(picture->bits_per_pixel / 8);
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = source + static_cast<size_t>(top_first ? y : height - 1 - y) * width * pixel;
    uint8_t* out_row = picture->pixels + static_cast<size_t>(y) * width * out_pixel;
    for (int x = 0; x < width; ++x) {
      store_pixel(row + static_cast<size_t>(right_first ? width - 1 - x : x) * pixel, h.bits,
                  out_row + static_cast<size_t>(x) * out_pixel);
    }
  }
}

}  // namespace

Picture* Picture_Parse_Tga(const uint8_t* data, size_t size, const char* name) {
  if (data == nullptr) return nullptr;
  Byte_Reader in(data, size);
  Tga_Header h;
  if (!read_header(in, h)) return nullptr;
  in.skip(static_cast<size_t>(h.id_length));
  uint8_t palette[768] = {};
  if (!read_colour_map(in, h, palette) || !in.ok()) return nullptr;

  std::vector<uint8_t> decoded;
  const uint8_t* source = pixel_data(data + in.position(), in.remaining(), h, decoded);
  if (source == nullptr) return nullptr;

  // 32-bit pixels lose their fourth byte: the picture is 24 bits.
  Picture* picture = new_picture(name, h.width, h.height, h.bits == 32 ? 24 : h.bits);
  if (picture == nullptr) return nullptr;
  std::memcpy(picture->palette, palette, sizeof palette);
  store_rows(source, h, picture);
  return picture;
}
