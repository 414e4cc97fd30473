// Fast decoders of pack methods 0 to 7. Each runs a tight loop while the output
// and the source have room for the largest thing one code can do (so copies may
// move whole 16-byte blocks past the exact length), then a fully checked loop for
// the tail. Every code is still checked: a copy may not reach before the output
// (plus history), nothing is written past the output and nothing read past the
// source. The plain decoders in pack_reference.cpp define the same results.
#include <cstring>

#include "files/huffman_tree.h"
#include "files/pack_methods.h"

namespace {

inline void copy16(uint8_t* d, const uint8_t* s) { std::memcpy(d, s, 16); }
inline void copy8(uint8_t* d, const uint8_t* s) { std::memcpy(d, s, 8); }

// Copies `length` bytes from `offset` back, as a byte-by-byte copy would (offset 1
// repeats the last byte). May write up to 15 bytes past the length: only used
// where the output has that room.
inline void copy_match_wild(uint8_t* d, size_t offset, size_t length) {
  const uint8_t* s = d - offset;
  if (offset >= 16) {
    for (size_t i = 0; i < length; i += 16) copy16(d + i, s + i);
  } else if (offset >= 8) {
    for (size_t i = 0; i < length; i += 8) copy8(d + i, s + i);
  } else if (offset == 1) {
    std::memset(d, s[0], length);
  } else {
    for (size_t i = 0; i < length; ++i) d[i] = s[i];
  }
}

// The exact form: writes nothing past the length (the tail of an output, and
// every copy of the delta methods, whose output past the copy holds reference
// bytes that skips must keep).
inline void copy_match_exact(uint8_t* d, size_t offset, size_t length) {
  const uint8_t* s = d - offset;
  if (offset >= length) {
    std::memcpy(d, s, length);
  } else if (offset >= 16) {
    size_t i = 0;
    for (; i + 16 <= length; i += 16) copy16(d + i, s + i);
    for (; i < length; ++i) d[i] = s[i];
  } else if (offset == 1) {
    std::memset(d, s[0], length);
  } else {
    for (size_t i = 0; i < length; ++i) d[i] = s[i];
  }
}

inline void copy_literals_wild(uint8_t* d, const uint8_t* s, size_t length) {
  for (size_t i = 0; i < length; i += 16) copy16(d + i, s + i);
}

struct Decode_Result {
  bool ok;
  size_t consumed;
};

// ---- Method 1 -----------------------------------------------------------------
Decode_Result decode_rle(const uint8_t* src, size_t src_size, uint8_t* dst, size_t dst_size) {
  const uint8_t* s = src;
  const uint8_t* const s_end = src + src_size;
  uint8_t* d = dst;
  uint8_t* const d_end = dst + dst_size;
  while (d < d_end) {
    if (s == s_end) return {false, 0};
    const unsigned c = *s++;
    const size_t n = c < 128 ? c + 1 : c - 127;
    if (n > static_cast<size_t>(d_end - d)) return {false, 0};
    if (c < 128) {
      if (s == s_end) return {false, 0};
      std::memset(d, *s++, n);
    } else {
      if (n > static_cast<size_t>(s_end - s)) return {false, 0};
      std::memcpy(d, s, n);
      s += n;
    }
    d += n;
  }
  return {true, static_cast<size_t>(s - src)};
}

// ---- Method 2 -----------------------------------------------------------------
Decode_Result decode_lz_short(const uint8_t* src, size_t src_size, uint8_t* dst, size_t dst_size, size_t history) {
  const uint8_t* s = src;
  const uint8_t* const s_end = src + src_size;
  uint8_t* d = dst;
  uint8_t* const d_end = dst + dst_size;
  // Fast loop: one code writes at most 128 bytes (144 with the block overrun) and
  // reads at most 129 (144 with the overrun).
  while (d_end - d >= 144 && s_end - s >= 145) {
    const unsigned c = *s++;
    if (c < 128) {
      copy_literals_wild(d, s, c + 1);
      s += c + 1;
      d += c + 1;
    } else {
      const size_t offset = static_cast<size_t>(*s++) + 1;
      const size_t length = c - 127;
      if (offset > static_cast<size_t>(d - dst) + history) return {false, 0};
      copy_match_wild(d, offset, length);
      d += length;
    }
  }
  while (d < d_end) {
    if (s == s_end) return {false, 0};
    const unsigned c = *s++;
    if (c < 128) {
      const size_t n = c + 1;
      if (n > static_cast<size_t>(d_end - d) || n > static_cast<size_t>(s_end - s)) return {false, 0};
      std::memcpy(d, s, n);
      s += n;
      d += n;
    } else {
      if (s == s_end) return {false, 0};
      const size_t offset = static_cast<size_t>(*s++) + 1;
      const size_t length = c - 127;
      if (length > static_cast<size_t>(d_end - d) || offset > static_cast<size_t>(d - dst) + history) {
        return {false, 0};
      }
      copy_match_exact(d, offset, length);
      d += length;
    }
  }
  return {true, static_cast<size_t>(s - src)};
}

// ---- Methods 3 and 6 ------------------------------------------------------------
// DELTA false: method 3 (bit 6 of a copy code means a one-byte offset).
// DELTA true: method 6 (literal groups and skips up to 64; bit 6 of a copy code
// means a two-byte offset).
template <bool DELTA>
Decode_Result decode_lz_long(const uint8_t* src, size_t src_size, uint8_t* dst, size_t dst_size, size_t history) {
  const uint8_t* s = src;
  const uint8_t* const s_end = src + src_size;
  uint8_t* d = dst;
  uint8_t* const d_end = dst + dst_size;
  while (d_end - d >= 144 && s_end - s >= 145) {
    const unsigned c = *s++;
    if (c < 128) {
      if (!DELTA) {
        copy_literals_wild(d, s, c + 1);
        s += c + 1;
        d += c + 1;
      } else if (c & 64) {
        d += (c & 63) + 1;
      } else {
        std::memcpy(d, s, (c & 63) + 1);
        s += (c & 63) + 1;
        d += (c & 63) + 1;
      }
      continue;
    }
    size_t offset;
    if (((c & 64) != 0) == DELTA) {
      offset = (static_cast<size_t>(s[0]) << 8 | s[1]) + 1;
      s += 2;
    } else {
      offset = static_cast<size_t>(*s++) + 1;
    }
    const size_t length = (c & 63) + 1;
    if (offset > static_cast<size_t>(d - dst) + history) return {false, 0};
    if (DELTA) copy_match_exact(d, offset, length);
    else copy_match_wild(d, offset, length);
    d += length;
  }
  while (d < d_end) {
    if (s == s_end) return {false, 0};
    const unsigned c = *s++;
    if (c < 128) {
      const size_t n = DELTA ? (c & 63) + 1 : c + 1;
      if (n > static_cast<size_t>(d_end - d)) return {false, 0};
      if (DELTA && (c & 64)) {
        d += n;
        continue;
      }
      if (n > static_cast<size_t>(s_end - s)) return {false, 0};
      std::memcpy(d, s, n);
      s += n;
      d += n;
      continue;
    }
    size_t offset;
    if (((c & 64) != 0) == DELTA) {
      if (s_end - s < 2) return {false, 0};
      offset = (static_cast<size_t>(s[0]) << 8 | s[1]) + 1;
      s += 2;
    } else {
      if (s == s_end) return {false, 0};
      offset = static_cast<size_t>(*s++) + 1;
    }
    const size_t length = (c & 63) + 1;
    if (length > static_cast<size_t>(d_end - d) || offset > static_cast<size_t>(d - dst) + history) {
      return {false, 0};
    }
    copy_match_exact(d, offset, length);
    d += length;
  }
  return {true, static_cast<size_t>(s - src)};
}

// ---- Huffman-coded methods 4, 5, 7 ------------------------------------------------
// Codes up to LOOKUP_BITS long are decoded with one table look-up; longer ones
// continue bit by bit from the inner node the table points at.
constexpr int LOOKUP_BITS = 11;

class Huffman_Reader {
 public:
  Huffman_Reader(const uint8_t* src, size_t size) : src_(src), size_(size) {}

  // Reads the weight table and builds the tree and the look-up table.
  bool read_table() {
    uint32_t weights[256];
    for (int v = 0; v < 256; ++v) {
      refill();
      if (take(1) == 0) {
        weights[v] = 0;
        continue;
      }
      const int width = static_cast<int>(take(2) + 1) * 8;
      refill();
      weights[v] = static_cast<uint32_t>(take(width));
    }
    if (overrun()) return false;
    huffman_build_tree(weights, tree_);
    fill_lookup(tree_.root, 0, 0);
    return true;
  }

  inline uint8_t symbol() {
    if (count_ < LOOKUP_BITS) refill();
    const uint16_t e = lookup_[bits_ >> (64 - LOOKUP_BITS)];
    if (!(e & 0x8000)) {
      const int length = (e >> 9) & 15;
      bits_ <<= length;
      count_ -= length;
      return static_cast<uint8_t>(e);
    }
    bits_ <<= LOOKUP_BITS;
    count_ -= LOOKUP_BITS;
    int node = e & 0x1FF;
    while (node >= 256) {
      if (count_ == 0) refill();
      node = tree_.child[node][bits_ >> 63];
      bits_ <<= 1;
      --count_;
    }
    return static_cast<uint8_t>(node);
  }

  // True when more bits were taken than the source holds (they read as zeros).
  bool overrun() const { return bits_taken() > static_cast<unsigned long long>(size_) * 8; }
  // The byte holding the next unread bit.
  size_t consumed() const { return static_cast<size_t>(bits_taken() / 8); }

 private:
  unsigned long long bits_taken() const { return static_cast<unsigned long long>(pos_) * 8 - count_; }

  // Tops the bit buffer up to at least 56 bits. Past the end of the source it
  // shifts in zeros (and counts them, so overrun() can tell).
  inline void refill() {
    if (pos_ <= size_ && size_ - pos_ >= 8) {
      uint64_t v;
      std::memcpy(&v, src_ + pos_, 8);
      v = __builtin_bswap64(v);
      bits_ |= v >> count_;
      pos_ += (63 - count_) >> 3;
      count_ |= 56;
      return;
    }
    while (count_ <= 56) {
      const uint64_t byte = pos_ < size_ ? src_[pos_] : 0;
      ++pos_;
      bits_ |= byte << (56 - count_);
      count_ += 8;
    }
  }
  uint64_t take(int n) {  // n <= 32, after a refill
    const uint64_t v = bits_ >> (64 - n);
    bits_ <<= n;
    count_ -= n;
    return v;
  }
  void fill_lookup(int node, int depth, uint32_t code) {
    if (node < 256 || depth == LOOKUP_BITS) {
      const uint16_t e = node < 256 ? static_cast<uint16_t>(node | (depth << 9))
                                    : static_cast<uint16_t>(0x8000 | node);
      const uint32_t first = code << (LOOKUP_BITS - depth);
      const uint32_t last = (code + 1) << (LOOKUP_BITS - depth);
      for (uint32_t i = first; i < last; ++i) lookup_[i] = e;
      return;
    }
    fill_lookup(tree_.child[node][0], depth + 1, code << 1);
    fill_lookup(tree_.child[node][1], depth + 1, code << 1 | 1);
  }

  const uint8_t* src_;
  size_t size_;
  size_t pos_ = 0;       // next byte to load
  uint64_t bits_ = 0;    // unread bits, most significant first
  unsigned count_ = 0;   // how many bits of bits_ are loaded
  Huffman_Tree tree_;
  uint16_t lookup_[1 << LOOKUP_BITS];
};

// Methods 5 and 7: the method-3 or method-6 decoder over Huffman-decoded symbols.
// Every symbol is read through the reader, so only the output needs checking; a
// source overrun is caught once at the end (the extra bits read as zeros).
template <bool DELTA>
bool decode_huffman_lz(Huffman_Reader& in, uint8_t* dst, size_t dst_size, size_t history) {
  uint8_t* d = dst;
  uint8_t* const d_end = dst + dst_size;
  while (d < d_end) {
    const unsigned c = in.symbol();
    if (c < 128) {
      const size_t n = DELTA ? (c & 63) + 1 : c + 1;
      if (n > static_cast<size_t>(d_end - d)) return false;
      if (DELTA && (c & 64)) {
        d += n;
      } else {
        for (size_t i = 0; i < n; ++i) d[i] = in.symbol();
        d += n;
      }
      continue;
    }
    size_t offset;
    if (((c & 64) != 0) == DELTA) {
      offset = static_cast<size_t>(in.symbol()) << 8;
      offset = (offset | in.symbol()) + 1;
    } else {
      offset = static_cast<size_t>(in.symbol()) + 1;
    }
    const size_t length = (c & 63) + 1;
    if (length > static_cast<size_t>(d_end - d) || offset > static_cast<size_t>(d - dst) + history) return false;
    if (!DELTA && d_end - d >= 64) copy_match_wild(d, offset, length);
    else copy_match_exact(d, offset, length);
    d += length;
  }
  return true;
}

}  // namespace

int Pack_Decode(int method, const uint8_t* src, size_t src_size, uint8_t* dst, size_t dst_size, size_t history,
                size_t* consumed) {
  if (consumed) *consumed = 0;
  if (src == nullptr) src_size = 0;
  if (dst == nullptr && dst_size != 0) return -1;
  Decode_Result result{false, 0};
  switch (method) {
    case 0:
      if (src_size < dst_size) return -1;
      if (dst_size) std::memcpy(dst, src, dst_size);
      result = {true, dst_size};
      break;
    case 1: result = decode_rle(src, src_size, dst, dst_size); break;
    case 2: result = decode_lz_short(src, src_size, dst, dst_size, history); break;
    case 3: result = decode_lz_long<false>(src, src_size, dst, dst_size, history); break;
    case 6: result = decode_lz_long<true>(src, src_size, dst, dst_size, history); break;
    case 4:
    case 5:
    case 7: {
      Huffman_Reader in(src, src_size);
      bool ok = in.read_table();
      if (ok && method == 4) {
        for (size_t i = 0; i < dst_size; ++i) dst[i] = in.symbol();
      } else if (ok) {
        ok = method == 5 ? decode_huffman_lz<false>(in, dst, dst_size, history)
                         : decode_huffman_lz<true>(in, dst, dst_size, history);
      }
      result = {ok && !in.overrun(), in.consumed()};
      break;
    }
    default: return -1;
  }
  if (!result.ok) return -1;
  if (consumed) *consumed = result.consumed;
  return 0;
}
