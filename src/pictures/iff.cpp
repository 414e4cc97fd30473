// IFF "PBM " pictures (chunky 8-bit pixels): big-endian chunk sizes, rows padded
// to an even width (or, from some writers, not padded), plain or byte-run coded.
#include <cstring>
#include <vector>

#include "pictures/picture_load.h"
#include "pictures/reader_common.h"

using namespace picture_reader;

namespace {

// Looks for `tag` from `from`, one byte at a time, as the chunks of a form may be
// laid out loosely. A match whose size reaches past `to` is skipped as a false hit.
bool find_chunk(const uint8_t* data, size_t to, const char* tag, size_t from, size_t& payload,
                size_t& payload_size) {
  for (size_t pos = from; to >= 8 && pos <= to - 8; ++pos) {
    if (!tag_equal(data + pos, tag)) continue;
    uint32_t size = be32(data + pos + 4);
    if (size > to - pos - 8) continue;
    payload = pos + 8;
    payload_size = size;
    return true;
  }
  return false;
}

// Byte-run: c > 128 repeats the next byte 257 - c times, else the next c + 1 bytes
// are copied. Stops when the output is full; false when the input runs out first.
bool byte_run_decode(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size) {
  size_t i = 0, o = 0;
  while (o < out_size) {
    if (i >= in_size) return false;
    unsigned c = in[i++];
    if (c > 128) {
      if (i >= in_size) return false;
      uint8_t value = in[i++];
      size_t n = 257 - c;
      if (n > out_size - o) n = out_size - o;
      std::memset(out + o, value, n);
      o += n;
    } else {
      size_t n = c + 1;
      if (n > out_size - o) n = out_size - o;
      if (n > in_size - i) return false;
      std::memcpy(out + o, in + i, n);
      i += n;
      o += n;
    }
  }
  return true;
}

}  // namespace

Picture* Picture_Parse_Iff(const uint8_t* data, size_t size, const char* name) {
  if (data == nullptr) return nullptr;
  size_t form, form_size;
  if (!find_chunk(data, size, "FORM", 0, form, form_size) || form_size < 4) return nullptr;
  if (!tag_equal(data + form, "PBM ")) return nullptr;
  size_t header, header_size, colours, colours_size, body, body_size;
  if (!find_chunk(data, size, "BMHD", form + 4, header, header_size) || header_size < 11) return nullptr;
  if (!find_chunk(data, size, "CMAP", form + 4, colours, colours_size)) return nullptr;
  if (!find_chunk(data, size, "BODY", form + 4, body, body_size)) return nullptr;

  const uint8_t* h = data + header;
  int width = (h[0] << 8) | h[1];
  int height = (h[2] << 8) | h[3];
  int planes = h[8];
  int compression = h[10];
  if (planes != 8) return nullptr;
  if (!side_ok(width) || !side_ok(height)) return nullptr;

  // Rows are stored padded to an even number of bytes.
  size_t stride = static_cast<size_t>(width + (width & 1));
  size_t stored = stride * static_cast<size_t>(height);
  const uint8_t* rows = data + body;
  std::vector<uint8_t> decoded;
  if (compression == 0) {
    // A plain body of exactly width x height bytes was written without the padding.
    if (body_size < stored && body_size >= static_cast<size_t>(width) * height) stride = static_cast<size_t>(width);
    else if (body_size < stored) return nullptr;
  } else {
    if (!can_expand_to(body_size, stored, 64)) return nullptr;
    decoded.resize(stored);
    if (!byte_run_decode(data + body, body_size, decoded.data(), stored)) {
      // Some writers code odd-width rows without the padding byte: such a body
      // runs out before the padded picture is full, and is read unpadded.
      if (stride == static_cast<size_t>(width)) return nullptr;
      stride = static_cast<size_t>(width);
      stored = stride * static_cast<size_t>(height);
      if (!byte_run_decode(data + body, body_size, decoded.data(), stored)) return nullptr;
    }
    rows = decoded.data();
  }

  Picture* picture = new_picture(name, width, height, 8);
  if (picture == nullptr) return nullptr;
  // A colour map of fewer than 256 entries leaves the rest black.
  std::memcpy(picture->palette, data + colours, colours_size < 768 ? colours_size : 768);
  for (int y = 0; y < height; ++y) {
    std::memcpy(picture->pixels + static_cast<size_t>(y) * width, rows + y * stride, static_cast<size_t>(width));
  }
  return picture;
}
