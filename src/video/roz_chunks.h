// The layout of a ROZ chunk file and one cursor that walks its chunks, over the
// whole file in memory or over an open file slot. Every chunk is a u32 id and a
// u32 size that counts the 8 header bytes, then size - 8 bytes; numbers are
// stored low byte first. Used by the node-picture reader, the block animations
// and the tools that write these files.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "files/file.h"
#include "platform/byte_order.h"
#include "video/roz_chunk_ids.h"

constexpr size_t Roz_Chunk_Header_Size = 8;  // id, size
// The file header chunk is known by its id alone: its size field is not used,
// the other chunks follow its 8 bytes.
constexpr size_t Roz_First_Chunk = Roz_Chunk_Header_Size;
// A block animation header: a NUL-terminated name of this many bytes, then the
// u32 frame count; the animation's chunks follow these bytes.
constexpr size_t Roz_Anim_Name_Size = 32;
constexpr size_t Roz_Anim_Header_Payload = Roz_Anim_Name_Size + 4;

// A chunk header as read: id 0 at the end of the data. The size is reported as
// written; `fits` tells whether it holds its own header and stays inside the
// file, which only skipping depends on (a chunk read by its own fields does not).
struct Roz_Chunk {
  uint32_t id = 0;
  uint32_t size = 0;
  size_t start = 0;
  bool fits = false;
};

class Roz_Chunk_Cursor {
 public:
  // Over size bytes in memory.
  Roz_Chunk_Cursor(const uint8_t* data, size_t size) : data_(data), size_(size), in_memory_(true) {}
  // Over an open file slot; the file's size is measured once, the slot's position
  // is restored.
  explicit Roz_Chunk_Cursor(int slot) : slot_(slot) {
    int here = File_Tell(slot);
    File_Seek(slot, 0, 2);
    int end = File_Tell(slot);
    File_Seek(slot, here, 0);
    size_ = end > 0 ? static_cast<size_t>(end) : 0;
  }

  size_t size() const { return size_; }

  // Copies count bytes at position; false (nothing trusted) when they do not
  // all lie inside the data or the slot delivers fewer.
  bool read(size_t position, void* out, size_t count) const {
    if (position > size_ || count > size_ - position) return false;
    if (in_memory_) {
      if (count != 0) std::memcpy(out, data_ + position, count);
      return true;
    }
    File_Seek(slot_, static_cast<int>(position), 0);
    return File_Read(slot_, out, static_cast<int>(count)) == static_cast<int>(count);
  }
  // Copies what there is of count bytes at position and zero-fills the rest.
  void read_padded(size_t position, uint8_t* out, size_t count) const {
    size_t available = position < size_ ? size_ - position : 0;
    size_t n = count < available ? count : available;
    size_t got = 0;
    if (in_memory_) {
      if (n != 0) std::memcpy(out, data_ + position, n);
      got = n;
    } else if (n != 0) {
      File_Seek(slot_, static_cast<int>(position), 0);
      int delivered = File_Read(slot_, out, static_cast<int>(n));
      got = delivered > 0 ? static_cast<size_t>(delivered) : 0;
    }
    if (got < count) std::memset(out + got, 0, count - got);
  }
  bool u32(size_t position, uint32_t& value) const {
    uint8_t bytes[4];
    if (!read(position, bytes, 4)) return false;
    value = Load_Le32(bytes);
    return true;
  }

  // The chunk header at position, without consuming anything.
  Roz_Chunk at(size_t position) const {
    Roz_Chunk chunk;
    chunk.start = position;
    uint8_t header[Roz_Chunk_Header_Size];
    if (!read(position, header, sizeof header)) return chunk;
    chunk.id = Load_Le32(header);
    chunk.size = Load_Le32(header + 4);
    chunk.fits = chunk.size >= Roz_Chunk_Header_Size && chunk.size <= size_ - position;
    return chunk;
  }
  // The same, but a chunk whose size cannot be right reads as the end (id 0).
  Roz_Chunk sized_at(size_t position) const {
    Roz_Chunk chunk = at(position);
    return chunk.fits ? chunk : Roz_Chunk{};
  }

  // Walks from *position to the first chunk with `id` (its size is not checked);
  // false at the end, or at a chunk whose size cannot be skipped: a damaged file
  // cannot make the walk loop or step backwards. *position follows the walk.
  bool find(size_t* position, uint32_t id, Roz_Chunk& found) const {
    for (;;) {
      found = at(*position);
      if (found.id == 0) return false;
      if (found.id == id) return true;
      if (!skip(position, found)) return false;
    }
  }
  // Moves *position past the chunk by its size; false when its size does not fit.
  static bool skip(size_t* position, const Roz_Chunk& chunk) {
    if (!chunk.fits) return false;
    *position = chunk.start + chunk.size;
    return true;
  }

  // A ROZ file begins with the file header chunk's id.
  bool is_roz_file() const {
    uint32_t id = 0;
    return u32(0, id) && id == Roz_File_Header;
  }

 private:
  const uint8_t* data_ = nullptr;
  int slot_ = -1;
  size_t size_ = 0;
  bool in_memory_ = false;
};
