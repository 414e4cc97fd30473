// GIF pictures (87a and 89a): the first image of the file, 8 bits per pixel, with
// the global colour table unless the image has its own; interlaced rows placed in
// their four passes.
#include <cstring>
#include <vector>

#include "files/byte_reader.h"
#include "files/text.h"
#include "pictures/picture_load.h"
#include "pictures/reader_common.h"

using namespace picture_reader;

namespace {

// Reads a colour table of 2^((flags & 7) + 1) entries into `palette`.
bool read_colour_table(Byte_Reader& in, int flags, uint8_t* palette) {
  size_t bytes = 3u << ((flags & 7) + 1);
  const uint8_t* table = in.view(bytes);
  if (table == nullptr) return false;
  std::memset(palette, 0, 768);
  std::memcpy(palette, table, bytes);
  return true;
}

// Joins the data sub-blocks (a length byte, then that many bytes; length 0 ends).
bool read_sub_blocks(Byte_Reader& in, std::vector<uint8_t>* out) {
  for (;;) {
    size_t length = in.u8();
    if (!in.ok()) return false;
    if (length == 0) return true;
    const uint8_t* block = in.view(length);
    if (block == nullptr) return false;
    if (out) out->insert(out->end(), block, block + length);
  }
}

// LZW decoding, codes least significant bit first, from min_size + 1 up to 12 bits.
// Decodes until `target` pixels are out, the end code, or the data runs out; false
// on a code that cannot occur in a sound stream.
bool lzw_decode(const std::vector<uint8_t>& data, int min_size, size_t target, std::vector<uint8_t>& out) {
  const int clear = 1 << min_size, end = clear + 1;
  static thread_local uint16_t prefix[4096];
  static thread_local uint8_t suffix[4096], first[4096];
  uint8_t stack[4097];
  for (int i = 0; i < clear; ++i) {
    suffix[i] = first[i] = static_cast<uint8_t>(i);
    prefix[i] = 0;
  }
  int code_size = min_size + 1, next = clear + 2, previous = -1;
  size_t bit = 0, total_bits = data.size() * 8;
  while (out.size() < target) {
    if (total_bits - bit < static_cast<size_t>(code_size)) break;
    int code = 0;
    for (int k = 0; k < code_size; ++k, ++bit) code |= ((data[bit >> 3] >> (bit & 7)) & 1) << k;
    if (code == clear) {
      code_size = min_size + 1;
      next = clear + 2;
      previous = -1;
      continue;
    }
    if (code == end) break;
    if (previous < 0) {
      if (code > clear) return false;
      out.push_back(static_cast<uint8_t>(code));
      previous = code;
      continue;
    }
    if (code > next || (code == next && next >= 4096)) return false;
    // The string of `code`; for the code about to be defined it is the previous
    // string followed by its own first byte.
    int depth = 0;
    int walk = code;
    if (code == next) {
      stack[depth++] = first[previous];
      walk = previous;
    }
    while (walk >= clear) {
      stack[depth++] = suffix[walk];
      walk = prefix[walk];
    }
    stack[depth++] = static_cast<uint8_t>(walk);
    while (depth > 0 && out.size() < target) out.push_back(stack[--depth]);
    if (next < 4096) {
      prefix[next] = static_cast<uint16_t>(previous);
      suffix[next] = static_cast<uint8_t>(walk);  // first byte of the current string
      first[next] = first[previous];
      ++next;
      if (next == (1 << code_size) && code_size < 12) ++code_size;
    }
    previous = code;
  }
  return true;
}

}  // namespace

Picture* Picture_Parse_Gif(const uint8_t* data, size_t size, const char* name) {
  if (data == nullptr) return nullptr;
  Byte_Reader in(data, size);
  char signature[7] = {};
  in.bytes(signature, 6);
  if (Str_Compare_No_Case(signature, "GIF87A") != 0 && Str_Compare_No_Case(signature, "GIF89A") != 0) {
    return nullptr;
  }
  in.skip(4);  // logical screen width and height
  int flags = in.u8();
  in.skip(2);  // background index, aspect
  uint8_t palette[768] = {};
  if ((flags & 0x80) && !read_colour_table(in, flags, palette)) return nullptr;

  // Extension blocks are walked by their lengths (their bytes may hold 0x2C);
  // the trailer or an unknown block before the first image means no picture.
  for (;;) {
    int block = in.u8();
    if (!in.ok()) return nullptr;
    if (block == 0x2C) break;
    if (block != 0x21) return nullptr;
    in.skip(1);  // label
    if (!read_sub_blocks(in, nullptr)) return nullptr;
  }
  in.skip(4);  // image left and top
  int width = in.u16le();
  int height = in.u16le();
  int image_flags = in.u8();
  if ((image_flags & 0x80) && !read_colour_table(in, image_flags, palette)) return nullptr;
  int min_size = in.u8();
  if (!in.ok() || min_size < 2 || min_size > 8) return nullptr;
  if (!side_ok(width) || !side_ok(height)) return nullptr;
  std::vector<uint8_t> coded;
  if (!read_sub_blocks(in, &coded)) return nullptr;

  // Decoded into a block that grows with what the data really delivers.
  size_t count = static_cast<size_t>(width) * height;
  std::vector<uint8_t> indices;
  indices.reserve(count < coded.size() * 4 ? count : coded.size() * 4);
  if (!lzw_decode(coded, min_size, count, indices) || indices.size() < count) return nullptr;

  Picture* picture = new_picture(name, width, height, 8);
  if (picture == nullptr) return nullptr;
  std::memcpy(picture->palette, palette, sizeof palette);
  // Interlaced rows come in four passes: every 8th from 0, every 8th from 4,
  // every 4th from 2, every 2nd from 1.
  static const int pass_start[4] = {0, 4, 2, 1}, pass_step[4] = {8, 8, 4, 2};
  bool interlaced = (image_flags & 0x40) != 0;
  size_t source_row = 0;
  for (int pass = 0; pass < (interlaced ? 4 : 1); ++pass) {
    int start = interlaced ? pass_start[pass] : 0, step = interlaced ? pass_step[pass] : 1;
    for (int y = start; y < height; y += step, ++source_row) {
      std::memcpy(picture->pixels + static_cast<size_t>(y) * width, indices.data() + source_row * width,
                  static_cast<size_t>(width));
    }
  }
  return picture;
}
