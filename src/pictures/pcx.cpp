// PCX pictures: version 5, 8 bits per pixel, one plane, with the 256-colour
// palette at the end of the file behind the marker byte 12.
#include <cstring>
#include <vector>

#include "files/byte_reader.h"
#include "pictures/picture_load.h"
#include "pictures/reader_common.h"

using namespace picture_reader;

namespace {

constexpr size_t Header_Size = 128;
constexpr size_t Palette_Tail = 769;  // marker byte and 768 palette bytes

// Run-length: c above 192 repeats the next byte c - 192 times, else c is a pixel.
// Stops when the output is full; false when the input runs out first.
bool pcx_decode(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size) {
  size_t i = 0, o = 0;
  while (o < out_size) {
    if (i >= in_size) return false;
    unsigned c = in[i++];
    if (c <= 192) {
      out[o++] = static_cast<uint8_t>(c);
      continue;
    }
    if (i >= in_size) return false;
    uint8_t value = in[i++];
    size_t n = c - 192;
    if (n > out_size - o) n = out_size - o;
    std::memset(out + o, value, n);
    o += n;
  }
  return true;
}

}  // namespace

Picture* Picture_Parse_Pcx(const uint8_t* data, size_t size, const char* name) {
  if (data == nullptr || size < Header_Size + Palette_Tail) return nullptr;
  Byte_Reader header(data, Header_Size);
  header.skip(1);  // manufacturer
  int version = header.u8();
  int encoding = header.u8();
  int bits = header.u8();
  int xmin = header.u16le(), ymin = header.u16le(), xmax = header.u16le(), ymax = header.u16le();
  header.seek(65);
  int planes = header.u8();
  int bytes_per_line = header.u16le();
  if (version != 5 || bits != 8 || planes != 1) return nullptr;
  int width = xmax - xmin + 1, height = ymax - ymin + 1;
  if (!side_ok(width) || !side_ok(height)) return nullptr;
  if (data[size - Palette_Tail] != 12) return nullptr;

  // Each stored row is bytes_per_line long (the bytes beyond the width are padding).
  size_t stride = static_cast<size_t>(bytes_per_line > width ? bytes_per_line : width);
  size_t stored = stride * static_cast<size_t>(height);
  const uint8_t* packed = data + Header_Size;
  size_t packed_size = size - Header_Size - Palette_Tail;
  const uint8_t* rows = packed;
  std::vector<uint8_t> decoded;
  if (encoding == 0) {
    if (packed_size < stored) return nullptr;
  } else {
    if (!can_expand_to(packed_size, stored, 32)) return nullptr;
    decoded.resize(stored);
    if (!pcx_decode(packed, packed_size, decoded.data(), stored)) return nullptr;
    rows = decoded.data();
  }

  Picture* picture = new_picture(name, width, height, 8);
  if (picture == nullptr) return nullptr;
  std::memcpy(picture->palette, data + size - 768, 768);
  for (int y = 0; y < height; ++y) {
    std::memcpy(picture->pixels + static_cast<size_t>(y) * width, rows + y * stride, static_cast<size_t>(width));
  }
  return picture;
}
