// Packers of methods 0 to 7. Output goes into vectors sized by a true bound (the
// LZ packers) or by the exact bit count (the Huffman coder), so nothing is ever
// written past a buffer whatever the input.
#include <cstring>
#include <initializer_list>
#include <vector>

#include "files/huffman_tree.h"
#include "files/pack_methods.h"

namespace {

struct Match {
  size_t length = 0;
  size_t offset = 0;
};

// Hash chains over the 16-bit value of two adjacent bytes. Each chain runs from
// the oldest position still inside the window to the newest, so candidates are
// tried from the farthest to the nearest: a longer or equally long nearer match
// replaces the best so far, and a match of the full length ends the search.
class Chain_Matcher {
 public:
  Chain_Matcher(const uint8_t* data, size_t size, size_t window, size_t max_length)
      : data_(data), size_(size), window_(window), max_length_(max_length),
        head_(65536, -1), tail_(65536, -1), next_(size, -1) {}

  void insert(size_t p) {
    if (p + 1 >= size_) return;
    const unsigned key = key_at(p);
    if (tail_[key] >= 0) next_[static_cast<size_t>(tail_[key])] = static_cast<int32_t>(p);
    else head_[key] = static_cast<int32_t>(p);
    tail_[key] = static_cast<int32_t>(p);
  }

  // The best match for position p among the positions inserted so far.
  Match find(size_t p) {
    Match best;
    if (p + 1 >= size_) return best;
    const unsigned key = key_at(p);
    // Drop positions that fell out of the window (each is dropped once).
    int32_t q = head_[key];
    while (q >= 0 && p - static_cast<size_t>(q) > window_) q = next_[static_cast<size_t>(q)];
    head_[key] = q;
    if (q < 0) tail_[key] = -1;
    const size_t limit = size_ - p < max_length_ ? size_ - p : max_length_;
    const uint8_t* const here = data_ + p;
    for (; q >= 0; q = next_[static_cast<size_t>(q)]) {
      const uint8_t* there = data_ + q;
      // Quick refusal of a candidate that cannot reach the best length.
      if (best.length > 0 && there[best.length - 1] != here[best.length - 1]) continue;
      // Comparing the input with itself is what an overlapping copy reproduces.
      size_t n = 0;
      while (n < limit && there[n] == here[n]) ++n;
      if (n >= best.length) {
        best.length = n;
        best.offset = p - static_cast<size_t>(q);
        if (n == max_length_) break;
      }
    }
    return best;
  }

 private:
  unsigned key_at(size_t p) const { return static_cast<unsigned>(data_[p]) << 8 | data_[p + 1]; }

  const uint8_t* data_;
  size_t size_;
  size_t window_;
  size_t max_length_;
  std::vector<int32_t> head_, tail_, next_;
};

// An output buffer written through a raw cursor. Each code first makes sure the
// largest thing it can write fits (a literal group and a copy), growing the
// buffer when needed, so no input can make a packer write past it.
struct Byte_Output {
  std::vector<uint8_t> bytes;
  uint8_t* cursor;
  explicit Byte_Output(size_t expected) : bytes(expected + 256), cursor(bytes.data()) {}
  void ensure_room() {
    const size_t used = static_cast<size_t>(cursor - bytes.data());
    if (bytes.size() - used >= 256) return;
    bytes.resize(bytes.size() * 2);
    cursor = bytes.data() + used;
  }
  void put(uint8_t b) { *cursor++ = b; }
  void put(const uint8_t* src, size_t n) {
    std::memcpy(cursor, src, n);
    cursor += n;
  }
  std::vector<uint8_t> finish() {
    bytes.resize(static_cast<size_t>(cursor - bytes.data()));
    return std::move(bytes);
  }
};

// The usual packed size is at most the input plus one code byte per group.
size_t lz_bound(size_t n, size_t group) { return n + n / group + 16; }

// ---- Method 1 -----------------------------------------------------------------
size_t run_length(const uint8_t* data, size_t size, size_t p, size_t limit) {
  size_t n = 1;
  while (n < limit && p + n < size && data[p + n] == data[p]) ++n;
  return n;
}

std::vector<uint8_t> pack_rle(const uint8_t* data, size_t size) {
  Byte_Output out(lz_bound(size, 128));
  size_t p = 0;
  while (p < size) {
    out.ensure_room();
    // Look ahead for the first run worth a code: longer than 2 bytes, or longer
    // than 1 once 125 literals would be pending in front of it.
    size_t k = 0, run = 0;
    for (; k < 128 && p + k < size; ++k) {
      run = run_length(data, size, p + k, 128);
      if (run > 2 || (k >= 125 && run > 1)) break;
    }
    if (k > 0) {
      out.put(static_cast<uint8_t>(128 + k - 1));
      out.put(data + p, k);
      p += k;
    }
    if (k < 128 && p < size) {
      out.put(static_cast<uint8_t>(run - 1));
      out.put(data[p]);
      p += run;
    }
  }
  return out.finish();
}

// ---- Literal groups shared by the LZ packers -------------------------------------
struct Literal_Groups {
  Byte_Output& out;
  const uint8_t* data;
  size_t start = 0;
  size_t count = 0;
  uint8_t base;  // code of a one-byte group

  void add(size_t p, size_t max) {
    if (count == 0) start = p;
    if (++count == max) flush();
  }
  void flush() {
    if (count == 0) return;
    out.ensure_room();
    out.put(static_cast<uint8_t>(base + count - 1));
    out.put(data + start, count);
    count = 0;
  }
};

// Ends the pending literal group and writes one command (its code bytes) that
// covers `length` positions from p; the matcher learns them and p moves past.
void put_command(Literal_Groups& literals, Chain_Matcher& matcher, size_t& p, size_t length,
                 std::initializer_list<uint8_t> code) {
  literals.flush();
  literals.out.ensure_room();
  for (uint8_t byte : code) literals.out.put(byte);
  for (size_t i = 0; i < length; ++i) matcher.insert(p + i);
  p += length;
}

uint8_t low_byte(size_t value) { return static_cast<uint8_t>(value); }

// ---- Method 2 -----------------------------------------------------------------
std::vector<uint8_t> pack_lz_short(const uint8_t* data, size_t size, size_t history) {
  Byte_Output out(lz_bound(size, 128));
  Chain_Matcher matcher(data, size, 256, 128);
  for (size_t p = 0; p < history; ++p) matcher.insert(p);
  Literal_Groups literals{out, data, 0, 0, 0};
  size_t p = history;
  while (p < size) {
    const Match m = matcher.find(p);
    const size_t needed = literals.count >= 125 ? 4 : 6;
    if (m.length >= needed) {
      put_command(literals, matcher, p, m.length, {low_byte(128 + m.length - 1), low_byte(m.offset - 1)});
    } else {
      matcher.insert(p);
      literals.add(p++, 128);
    }
  }
  literals.flush();
  return out.finish();
}

// ---- Method 3 -----------------------------------------------------------------
// A copy pays for itself sooner near the current position (one offset byte) and
// sooner when the pending literal group is about to be cut anyway.
bool long_copy_worth(const Match& m, size_t pending, size_t near_relief, size_t far_relief) {
  if (m.length == 0) return false;
  if (m.offset <= 256) return m.length >= (pending >= near_relief ? 2u : 3u);
  return m.length >= (pending >= far_relief ? 3u : 4u);
}

std::vector<uint8_t> pack_lz_long(const uint8_t* data, size_t size, size_t history) {
  Byte_Output out(lz_bound(size, 128));
  Chain_Matcher matcher(data, size, 65536, 64);
  for (size_t p = 0; p < history; ++p) matcher.insert(p);
  Literal_Groups literals{out, data, 0, 0, 0};
  size_t p = history;
  while (p < size) {
    const Match m = matcher.find(p);
    if (long_copy_worth(m, literals.count, 124, 125)) {
      if (m.offset <= 256) {
        put_command(literals, matcher, p, m.length, {low_byte(192 + m.length - 1), low_byte(m.offset - 1)});
      } else {
        put_command(literals, matcher, p, m.length,
                    {low_byte(128 + m.length - 1), low_byte((m.offset - 1) >> 8), low_byte(m.offset - 1)});
      }
    } else {
      matcher.insert(p);
      literals.add(p++, 128);
    }
  }
  literals.flush();
  return out.finish();
}

// ---- Method 6 -----------------------------------------------------------------
std::vector<uint8_t> pack_lz_delta(const uint8_t* data, size_t size, const uint8_t* reference) {
  Byte_Output out(lz_bound(size, 64));
  Chain_Matcher matcher(data, size, 65536, 64);
  Literal_Groups literals{out, data, 0, 0, 0};
  size_t p = 0;
  while (p < size) {
    size_t skip = 0;
    const size_t skip_limit = size - p < 64 ? size - p : 64;
    if (reference == nullptr) {
      while (skip < skip_limit && data[p + skip] == 0) ++skip;
    } else {
      while (skip < skip_limit && data[p + skip] == reference[p + skip]) ++skip;
    }
    const Match m = matcher.find(p);
    const size_t pending = literals.count;
    bool use_skip = false, use_copy = false;
    if (skip == 64) {
      use_skip = true;
    } else if (long_copy_worth(m, pending, 60, 61) || skip > 2) {
      if (pending >= 60) use_skip = skip > m.length;
      else use_skip = !(m.length + 1 >= skip);
      use_copy = !use_skip;
    }
    if (use_skip) {
      put_command(literals, matcher, p, skip, {low_byte(64 + skip - 1)});
    } else if (use_copy) {
      if (m.offset > 256) {
        put_command(literals, matcher, p, m.length,
                    {low_byte(192 + m.length - 1), low_byte((m.offset - 1) >> 8), low_byte(m.offset - 1)});
      } else {
        put_command(literals, matcher, p, m.length, {low_byte(128 + m.length - 1), low_byte(m.offset - 1)});
      }
    } else {
      matcher.insert(p);
      literals.add(p++, 64);
    }
  }
  literals.flush();
  return out.finish();
}

// ---- Method 4 and the Huffman stage of 5 and 7 ---------------------------------------
class Bit_Output {
 public:
  explicit Bit_Output(size_t bits) : bytes_((bits + 7) / 8 + 8), cursor_(bytes_.data()) {}
  void put(uint64_t value, int n) {  // n <= 32
    acc_ = (acc_ << n) | value;
    count_ += n;
    while (count_ >= 8) {
      count_ -= 8;
      *cursor_++ = static_cast<uint8_t>(acc_ >> count_);
    }
  }
  std::vector<uint8_t> finish() {
    if (count_ > 0) *cursor_++ = static_cast<uint8_t>(acc_ << (8 - count_));
    bytes_.resize(static_cast<size_t>(cursor_ - bytes_.data()));
    return std::move(bytes_);
  }

 private:
  std::vector<uint8_t> bytes_;
  uint8_t* cursor_;
  uint64_t acc_ = 0;
  int count_ = 0;
};

std::vector<uint8_t> pack_huffman(const uint8_t* data, size_t size) {
  uint32_t weights[256] = {};
  for (size_t i = 0; i < size; ++i) ++weights[data[i]];
  Huffman_Tree tree;
  huffman_build_tree(weights, tree);

  // Each code, root edge first. Codes can in principle be up to 255 bits long:
  // those keep their path as a list of bits.
  uint32_t code[256];
  int length[256];
  std::vector<std::vector<uint8_t>> long_code(256);
  size_t bits = huffman_table_bits(weights);
  for (int v = 0; v < 256; ++v) {
    std::vector<uint8_t> path;
    for (int node = v; node != tree.root; node = tree.parent[node]) {
      path.push_back(tree.child[tree.parent[node]][1] == node ? 1 : 0);
    }
    length[v] = static_cast<int>(path.size());
    code[v] = 0;
    if (length[v] <= 32) {
      for (size_t i = path.size(); i-- > 0;) code[v] = code[v] << 1 | path[i];
    } else {
      long_code[v].assign(path.rbegin(), path.rend());
    }
    bits += static_cast<size_t>(length[v]) * weights[v];
  }

  Bit_Output out(bits);
  for (int v = 0; v < 256; ++v) {
    const uint32_t w = weights[v];
    if (w == 0) {
      out.put(0, 1);
      continue;
    }
    const int width = w <= 0xFFu ? 0 : w <= 0xFFFFu ? 1 : w <= 0xFFFFFFu ? 2 : 3;
    out.put(1, 1);
    out.put(static_cast<uint64_t>(width), 2);
    out.put(w, (width + 1) * 8);
  }
  for (size_t i = 0; i < size; ++i) {
    const uint8_t v = data[i];
    if (length[v] <= 32) {
      out.put(code[v], length[v]);
    } else {
      for (uint8_t b : long_code[v]) out.put(b, 1);
    }
  }
  return out.finish();
}

}  // namespace

std::vector<uint8_t> Pack_Encode(int method, const uint8_t* data, size_t size, const uint8_t* reference,
                                 size_t history) {
  if (data == nullptr) size = 0;
  if (history > size) history = size;
  // Only the LZ packers search history; the others pack what follows it.
  if (method != 2 && method != 3 && method != 5) {
    data += history;
    size -= history;
    history = 0;
  }
  switch (method) {
    case 0: return std::vector<uint8_t>(data, data + size);
    case 1: return pack_rle(data, size);
    case 2: return pack_lz_short(data, size, history);
    case 3: return pack_lz_long(data, size, history);
    case 4: return pack_huffman(data, size);
    case 5: {
      std::vector<uint8_t> lz = pack_lz_long(data, size, history);
      return pack_huffman(lz.data(), lz.size());
    }
    case 6: return pack_lz_delta(data, size, reference);
    case 7: {
      std::vector<uint8_t> lz = pack_lz_delta(data, size, reference);
      return pack_huffman(lz.data(), lz.size());
    }
    default: return {};
  }
}
