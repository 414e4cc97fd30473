// Plain decoders of pack methods 1 to 7: one byte (or one bit) at a time, every
// step checked. They define what the fast decoders in pack_methods.cpp must do,
// and the tests hold the two equal on random streams.
#include <cstring>

#include "files/huffman_tree.h"
#include "files/pack_methods.h"

namespace {

// Where the symbols of a stream come from: raw bytes, or Huffman codes read bit by
// bit from the most significant bit of each byte.
struct Symbol_Source {
  const uint8_t* src;
  size_t size;
  size_t bit = 0;  // bits consumed (Huffman) or bytes consumed (raw) times 8
  bool huffman = false;
  Huffman_Tree tree{};

  bool read_bit(int& out) {
    if (bit >= size * 8) return false;
    out = (src[bit >> 3] >> (7 - (bit & 7))) & 1;
    ++bit;
    return true;
  }
  bool read_bits(int count, uint32_t& out) {
    out = 0;
    for (int i = 0; i < count; ++i) {
      int b;
      if (!read_bit(b)) return false;
      out = (out << 1) | static_cast<uint32_t>(b);
    }
    return true;
  }
  bool read_table() {
    uint32_t weights[256];
    for (int v = 0; v < 256; ++v) {
      uint32_t present, width;
      if (!read_bits(1, present)) return false;
      weights[v] = 0;
      if (present && (!read_bits(2, width) || !read_bits(8 * static_cast<int>(width + 1), weights[v]))) return false;
    }
    huffman_build_tree(weights, tree);
    huffman = true;
    return true;
  }
  bool next(uint8_t& out) {
    if (!huffman) {
      if (bit / 8 >= size) return false;
      out = src[bit / 8];
      bit += 8;
      return true;
    }
    int node = tree.root;
    while (node >= 256) {
      int b;
      if (!read_bit(b)) return false;
      node = tree.child[node][b];
    }
    out = static_cast<uint8_t>(node);
    return true;
  }
  size_t consumed() const { return bit / 8; }
};

struct Output {
  uint8_t* dst;
  size_t size;
  size_t history;
  size_t pos = 0;

  bool room(size_t n) const { return n <= size - pos; }
  bool copy_back(size_t offset, size_t length) {
    if (!room(length) || offset > pos + history) return false;
    uint8_t* const base = dst - history;  // the copy may reach into the history
    for (size_t i = 0; i < length; ++i, ++pos) dst[pos] = base[pos + history - offset];
    return true;
  }
  bool literals(Symbol_Source& in, size_t count) {
    if (!room(count)) return false;
    for (size_t i = 0; i < count; ++i) {
      if (!in.next(dst[pos++])) return false;
    }
    return true;
  }
};

bool rle(Symbol_Source& in, Output& out) {
  while (out.pos < out.size) {
    uint8_t c, value;
    if (!in.next(c)) return false;
    if (c < 128) {
      if (!in.next(value) || !out.room(c + 1u)) return false;
      for (int i = 0; i <= c; ++i) out.dst[out.pos++] = value;
    } else if (!out.literals(in, c - 127u)) {
      return false;
    }
  }
  return true;
}

bool lz_short(Symbol_Source& in, Output& out) {
  while (out.pos < out.size) {
    uint8_t c, o;
    if (!in.next(c)) return false;
    if (c < 128) {
      if (!out.literals(in, c + 1u)) return false;
    } else if (!in.next(o) || !out.copy_back(o + 1u, c - 127u)) {
      return false;
    }
  }
  return true;
}

// Methods 3 and 6 differ in what bit 6 means: for method 3 it marks a one-byte
// offset on copies; for method 6 a two-byte offset on copies and a skip otherwise.
bool lz_long(Symbol_Source& in, Output& out, bool delta) {
  while (out.pos < out.size) {
    uint8_t c, hi, lo;
    if (!in.next(c)) return false;
    const bool bit6 = (c & 64) != 0;
    if (c < 128) {
      if (!delta) {
        if (!out.literals(in, c + 1u)) return false;
      } else if (bit6) {
        if (!out.room((c & 63) + 1u)) return false;
        out.pos += (c & 63) + 1u;
      } else if (!out.literals(in, (c & 63) + 1u)) {
        return false;
      }
      continue;
    }
    size_t offset;
    if (bit6 == delta) {
      if (!in.next(hi) || !in.next(lo)) return false;
      offset = (static_cast<size_t>(hi) << 8 | lo) + 1;
    } else {
      if (!in.next(lo)) return false;
      offset = lo + 1u;
    }
    if (!out.copy_back(offset, (c & 63) + 1u)) return false;
  }
  return true;
}

}  // namespace

int Pack_Decode_Reference(int method, const uint8_t* src, size_t src_size, uint8_t* dst, size_t dst_size,
                          size_t history, size_t* consumed) {
  Symbol_Source in{src, src_size};
  Output out{dst, dst_size, history};
  bool ok = false;
  switch (method) {
    case 0:
      ok = src_size >= dst_size;
      if (ok && dst_size) std::memcpy(dst, src, dst_size);
      in.bit = ok ? dst_size * 8 : 0;
      break;
    case 1: ok = rle(in, out); break;
    case 2: ok = lz_short(in, out); break;
    case 3: ok = lz_long(in, out, false); break;
    case 6: ok = lz_long(in, out, true); break;
    case 4:
      ok = in.read_table();
      while (ok && out.pos < out.size) ok = in.next(out.dst[out.pos++]);
      break;
    case 5: ok = in.read_table() && lz_long(in, out, false); break;
    case 7: ok = in.read_table() && lz_long(in, out, true); break;
    default: break;
  }
  if (consumed) *consumed = in.consumed();
  return ok ? 0 : -1;
}
