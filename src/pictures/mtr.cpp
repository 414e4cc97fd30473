// The engine's own picture formats: the text-headed MDRAW file and the chunked
// MTRD container.
#include <cstring>

#include "files/text.h"
#include "pictures/picture_load.h"
#include "pictures/reader_common.h"
#include "platform/memory.h"

using namespace picture_reader;

namespace {

constexpr size_t Mdraw_Palette_Offset = 50;
constexpr size_t Mdraw_Pixel_Offset = 818;

uint32_t hex_field(const uint8_t* p) {
  char text[5];
  std::memcpy(text, p, 4);
  text[4] = 0;
  return Parse_Hex(text);
}

// A chunk found inside the MTRD payload: its payload range.
struct Chunk {
  size_t start = 0;  // first payload byte
  size_t size = 0;   // payload bytes
};

class Mtrd_Payload {
 public:
  Mtrd_Payload(const uint8_t* data, size_t file_size, size_t start, size_t end)
      : data_(data), file_size_(file_size), start_(start), end_(end) {}

  // Finds `tag` searching from `from` (default: the payload start).
  bool find(const char* tag, Chunk& chunk, size_t* from = nullptr) const {
    size_t s = from ? *from : start_, e = end_;
    if (Chunk_Find_Memory(data_, file_size_, tag, &s, &e) != 0) return false;
    chunk.start = s + 8;
    chunk.size = e - s - 8;
    if (from) *from = e;
    return true;
  }
  // A required 32-bit field: the chunk must exist and hold 4 bytes.
  bool u32(const char* tag, uint32_t& value) const {
    Chunk chunk;
    if (!find(tag, chunk) || chunk.size < 4) return false;
    value = Load_Le32(data_ + chunk.start);
    return true;
  }
  const uint8_t* at(size_t offset) const { return data_ + offset; }
  size_t start() const { return start_; }
  size_t end() const { return end_; }

 private:
  const uint8_t* data_;
  size_t file_size_;
  size_t start_, end_;
};

struct Mtrd_Header {
  char name[256] = {};
  uint32_t version = 1280;
  uint32_t width = 0, height = 0, bits = 0, pack = 0, frames = 0;
};

bool read_header(const Mtrd_Payload& mtrd, Mtrd_Header& h) {
  Chunk chunk;
  if (mtrd.find("VERS", chunk)) {
    if (chunk.size < 4) return false;
    h.version = Load_Le32(mtrd.at(chunk.start));
  }
  uint32_t data_size = 0;  // replaced by the PICT chunk's length
  if (h.version < 1282) {
    if (!mtrd.find("HEAD", chunk) || chunk.size < 44) return false;
    const uint8_t* p = mtrd.at(chunk.start);
    std::memcpy(h.name, p, 15);
    h.name[15] = 0;
    h.version = Load_Le32(p + 16);
    h.width = Load_Le32(p + 20);
    h.height = Load_Le32(p + 24);
    h.bits = Load_Le32(p + 28);
    h.pack = Load_Le32(p + 32);
    h.frames = Load_Le32(p + 40);
    return true;
  }
  if (!mtrd.find("NAME", chunk)) return false;
  // The name ends at its NUL or at the chunk's end, whichever comes first.
  size_t n = strnlen(reinterpret_cast<const char*>(mtrd.at(chunk.start)), chunk.size < 255 ? chunk.size : 255);
  std::memcpy(h.name, mtrd.at(chunk.start), n);
  h.name[n] = 0;
  return mtrd.u32("SIZX", h.width) && mtrd.u32("SIZY", h.height) && mtrd.u32("BITP", h.bits) &&
         mtrd.u32("PACK", h.pack) && mtrd.u32("SIZE", data_size) && mtrd.u32("NBFR", h.frames);
}

}  // namespace

Picture* Picture_Parse_Mtr(const uint8_t* data, size_t size, const char* name) {
  if (data == nullptr || size < Mdraw_Pixel_Offset) return nullptr;
  if (std::memcmp(data, "MDRAW ", 6) != 0) return nullptr;
  char depth[5];
  std::memcpy(depth, data + 16, 4);
  depth[4] = 0;
  if (Str_Compare_No_Case(depth, "00FF") != 0) return nullptr;
  int64_t width = static_cast<int64_t>(hex_field(data + 6)) + 1;
  int64_t height = static_cast<int64_t>(hex_field(data + 11)) + 1;
  uint32_t method = std::memcmp(data + 21, "FC", 2) == 0 ? 1 : 0;
  if (!side_ok(width) || !side_ok(height)) return nullptr;
  size_t plain = static_cast<size_t>(width * height);
  size_t held = size - Mdraw_Pixel_Offset;
  // Plain pixels must all be there (extra bytes are ignored); packed ones must exist.
  size_t block = method == 0 ? plain : held;
  if (held == 0 || held < (method == 0 ? plain : 1)) return nullptr;

  auto* picture = static_cast<Picture*>(Mem_Alloc_Zero(sizeof(Picture)));
  Picture_Set_Name(picture, name);
  picture->version = Picture_Current_Version;
  picture->width = static_cast<int32_t>(width);
  picture->height = static_cast<int32_t>(height);
  picture->bits_per_pixel = 8;
  picture->pack_method = method;
  picture->palette = static_cast<uint8_t*>(Mem_Alloc(Picture_Palette_Size));
  std::memcpy(picture->palette, data + Mdraw_Palette_Offset, Picture_Palette_Size);
  picture->pixels = static_cast<uint8_t*>(Mem_Alloc(static_cast<uint32_t>(block)));
  std::memcpy(picture->pixels, data + Mdraw_Pixel_Offset, block);
  picture->data_size = static_cast<uint32_t>(block);
  return picture;
}

Picture* Picture_Parse_Mtrd(const uint8_t* data, size_t size) {
  if (data == nullptr || size == 0 || size > UINT32_MAX) return nullptr;
  size_t start = 0, end = size;
  if (Chunk_Find_Memory(data, size, "MTRD", &start, &end) != 0) return nullptr;
  Mtrd_Payload mtrd(data, size, start + 8, end);

  Mtrd_Header h;
  if (!read_header(mtrd, h)) return nullptr;
  if (!side_ok(h.width) || !side_ok(h.height)) return nullptr;
  if (h.bits != 8 && h.bits != 16 && h.bits != 24 && h.bits != 32) return nullptr;
  if (h.pack > 7 || h.frames > INT32_MAX) return nullptr;

  Chunk palette, pict;
  if (!mtrd.find("PALE", palette) || !mtrd.find("PICT", pict) || pict.size == 0) return nullptr;
  size_t plain = static_cast<size_t>(h.width) * h.height * (h.bits / 8);
  if (h.pack == 0 && pict.size < plain) return nullptr;

  // Frames: frame_count ANIM chunks, each searched from the end of the previous one.
  size_t frames_size = 0;
  if (h.frames != 0) {
    size_t from = mtrd.start();
    for (uint32_t i = 0; i < h.frames; ++i) {
      Chunk anim;
      if (!mtrd.find("ANIM", anim, &from)) return nullptr;
      frames_size += anim.size;
    }
  }

  auto* picture = static_cast<Picture*>(Mem_Alloc_Zero(sizeof(Picture)));
  Picture_Set_Name(picture, h.name[0] ? h.name : "Null_picture");
  picture->version = h.version;
  picture->width = static_cast<int32_t>(h.width);
  picture->height = static_cast<int32_t>(h.height);
  picture->bits_per_pixel = static_cast<int32_t>(h.bits);
  picture->pack_method = h.pack;
  // A short palette chunk gives its entries; the rest stay black.
  picture->palette = static_cast<uint8_t*>(Mem_Alloc_Zero(Picture_Palette_Size));
  std::memcpy(picture->palette, mtrd.at(palette.start),
              palette.size < Picture_Palette_Size ? palette.size : Picture_Palette_Size);
  picture->pixels = static_cast<uint8_t*>(Mem_Alloc(static_cast<uint32_t>(pict.size)));
  std::memcpy(picture->pixels, mtrd.at(pict.start), pict.size);
  picture->data_size = static_cast<uint32_t>(pict.size);
  picture->frame_count = static_cast<int32_t>(h.frames);
  if (frames_size != 0) {
    picture->frames = static_cast<uint8_t*>(Mem_Alloc(static_cast<uint32_t>(frames_size)));
    size_t from = mtrd.start(), filled = 0;
    for (uint32_t i = 0; i < h.frames; ++i) {
      Chunk anim;
      mtrd.find("ANIM", anim, &from);
      std::memcpy(picture->frames + filled, mtrd.at(anim.start), anim.size);
      filled += anim.size;
    }
  }
  return picture;
}
