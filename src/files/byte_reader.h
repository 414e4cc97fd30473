// A bounded cursor over a block of bytes: every reader of untrusted data goes
// through one. A read past the end yields zeros and marks the reader failed; the
// first refusal keeps its short reason ("TGA width 0").
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/byte_order.h"

class Byte_Reader {
 public:
  Byte_Reader() = default;
  Byte_Reader(const void* data, size_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}

  size_t size() const { return size_; }
  size_t position() const { return pos_; }
  size_t remaining() const { return pos_ < size_ ? size_ - pos_ : 0; }
  const uint8_t* data() const { return data_; }
  bool ok() const { return error_ == nullptr; }
  const char* error() const { return error_ ? error_ : ""; }

  // Marks the reader failed with a reason (the first one is kept); returns false.
  bool fail(const char* reason) {
    if (error_ == nullptr) error_ = reason;
    return false;
  }

  bool seek(size_t position) {
    if (position > size_) {
      pos_ = size_;
      return fail("seek past end");
    }
    pos_ = position;
    return true;
  }
  bool skip(size_t count) {
    if (count > remaining()) {
      pos_ = size_;
      return fail("skip past end");
    }
    pos_ += count;
    return true;
  }

  // Copies count bytes; on a short read copies what is there, zero-fills the rest, fails.
  bool bytes(void* out, size_t count) {
    size_t available = remaining();
    size_t n = count < available ? count : available;
    if (n) std::memcpy(out, data_ + pos_, n);
    if (n < count) std::memset(static_cast<uint8_t*>(out) + n, 0, count - n);
    pos_ += n;
    return n == count ? true : fail("unexpected end of data");
  }

  // Pointer to the next count bytes (and advances), or null when they are not all there.
  const uint8_t* view(size_t count) {
    if (count > remaining()) {
      pos_ = size_;
      fail("unexpected end of data");
      return nullptr;
    }
    const uint8_t* p = data_ + pos_;
    pos_ += count;
    return p;
  }

  uint8_t u8() {
    uint8_t b[1];
    bytes(b, 1);
    return b[0];
  }
  uint16_t u16le() {
    uint8_t b[2];
    bytes(b, 2);
    return Load_Le16(b);
  }
  uint16_t u16be() {
    uint8_t b[2];
    bytes(b, 2);
    return static_cast<uint16_t>((b[0] << 8) | b[1]);
  }
  uint32_t u32le() {
    uint8_t b[4];
    bytes(b, 4);
    return Load_Le32(b);
  }
  uint32_t u32be() {
    uint8_t b[4];
    bytes(b, 4);
    return (static_cast<uint32_t>(b[0]) << 24) | (static_cast<uint32_t>(b[1]) << 16) |
           (static_cast<uint32_t>(b[2]) << 8) | static_cast<uint32_t>(b[3]);
  }
  int32_t i32le() { return static_cast<int32_t>(u32le()); }
  float f32le() {
    uint32_t bits = u32le();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }

  // A reader over [offset, offset + count) of this one, cut to what exists.
  Byte_Reader sub(size_t offset, size_t count) const {
    if (offset > size_) offset = size_;
    if (count > size_ - offset) count = size_ - offset;
    return Byte_Reader(data_ + offset, count);
  }

 private:
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t pos_ = 0;
  const char* error_ = nullptr;
};
