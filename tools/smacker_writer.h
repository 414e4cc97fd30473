// A small writer of Smacker movies, for the tests and the demo-game generator.
// It uses one block type only: every 4 x 4 block of a frame is one solid colour
// (the colour of the block's top-left pixel), coded through a type tree whose
// leaves are the (colour, run of 1) values the movie needs. Frames are 8-bit
// palette indices; the palette is stored with the first frame as literal 6-bit
// components. No sound. Header-only, like the other writers.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct Smacker_Movie {
  int width = 0, height = 0;  // multiples of 4
  int fps = 10;
  std::vector<uint8_t> palette;              // 768 bytes R, G, B (8 bits; stored as 6)
  std::vector<std::vector<uint8_t>> frames;  // width x height indices
};

namespace smacker_writer {

// Bits are written from the least significant bit of each byte up.
class Bit_Writer {
 public:
  void bit(unsigned b) {
    if (count_ % 8 == 0) bytes_.push_back(0);
    if (b) bytes_.back() = static_cast<uint8_t>(bytes_.back() | (1u << (count_ % 8)));
    ++count_;
  }
  void bits(uint32_t value, int n) {
    for (int i = 0; i < n; ++i) bit((value >> i) & 1);
  }
  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  size_t count_ = 0;
};

inline void put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A balanced code over n sorted symbols: symbol i's code, written root edge
// first as bits (0 for the left branch).
struct Code {
  uint32_t bits = 0;
  int length = 0;
};
inline void assign_codes(size_t first, size_t count, Code prefix, std::vector<Code>& codes) {
  if (count == 1) {
    codes[first] = prefix;
    return;
  }
  size_t left = count / 2;
  assign_codes(first, left, Code{prefix.bits, prefix.length + 1}, codes);
  assign_codes(first + left, count - left, Code{prefix.bits | (1u << prefix.length), prefix.length + 1}, codes);
}
// Writes the shape of that balanced tree: 1 for a node (then its two sides),
// 0 for a leaf followed by what `leaf` writes.
template <typename Leaf>
void write_shape(Bit_Writer& w, size_t first, size_t count, const Leaf& leaf) {
  if (count == 1) {
    w.bit(0);
    leaf(first);
    return;
  }
  w.bit(1);
  size_t left = count / 2;
  write_shape(w, first, left, leaf);
  write_shape(w, first + left, count - left, leaf);
}
inline void write_code(Bit_Writer& w, const Code& c) {
  for (int i = 0; i < c.length; ++i) w.bit((c.bits >> i) & 1);
}

// Symbols padded to at least two, so that no code is empty.
inline std::vector<uint32_t> at_least_two(std::vector<uint32_t> symbols, uint32_t filler) {
  while (symbols.size() < 2) {
    ++filler;
    bool used = false;
    for (uint32_t s : symbols) used |= (s == filler);
    if (!used) symbols.push_back(filler);
  }
  return symbols;
}

}  // namespace smacker_writer

inline std::vector<uint8_t> Write_Smacker(const Smacker_Movie& m) {
  using namespace smacker_writer;
  const uint32_t blocks_x = static_cast<uint32_t>(m.width / 4), blocks_y = static_cast<uint32_t>(m.height / 4);
  // The type values: solid block (3), run of one (index 0), colour in the high byte.
  std::map<uint32_t, size_t> type_index;
  for (const auto& frame : m.frames) {
    for (uint32_t by = 0; by < blocks_y; ++by)
      for (uint32_t bx = 0; bx < blocks_x; ++bx) type_index[3u | (frame[by * 4 * m.width + bx * 4] << 8)] = 0;
  }
  std::vector<uint32_t> types;
  for (auto& [value, index] : type_index) types.push_back(value);
  types = at_least_two(types, 0x1003);
  std::vector<uint32_t> lows = at_least_two({3}, 3);
  std::vector<uint32_t> highs;
  for (uint32_t t : types) {
    bool seen = false;
    for (uint32_t h : highs) seen |= (h == (t >> 8));
    if (!seen) highs.push_back(t >> 8);
  }
  highs = at_least_two(highs, 0);
  std::vector<Code> type_codes(types.size()), low_codes(lows.size()), high_codes(highs.size());
  assign_codes(0, types.size(), {}, type_codes);
  assign_codes(0, lows.size(), {}, low_codes);
  assign_codes(0, highs.size(), {}, high_codes);
  for (size_t i = 0; i < types.size(); ++i) type_index[types[i]] = i;

  // Trees: three absent ones, then the type tree with its two byte trees.
  Bit_Writer trees;
  trees.bit(0);
  trees.bit(0);
  trees.bit(0);
  trees.bit(1);
  trees.bit(1);
  write_shape(trees, 0, lows.size(), [&](size_t i) { trees.bits(lows[i], 8); });
  trees.bit(0);
  trees.bit(1);
  write_shape(trees, 0, highs.size(), [&](size_t i) { trees.bits(highs[i], 8); });
  trees.bit(0);
  // Escape values that no leaf holds.
  for (uint32_t escape : {0xFFF0u, 0xFFF1u, 0xFFF2u}) trees.bits(escape, 16);
  write_shape(trees, 0, types.size(), [&](size_t i) {
    uint32_t low = types[i] & 0xFF, high = types[i] >> 8;
    for (size_t k = 0; k < lows.size(); ++k)
      if (lows[k] == low) write_code(trees, low_codes[k]);
    for (size_t k = 0; k < highs.size(); ++k)
      if (highs[k] == high) write_code(trees, high_codes[k]);
  });
  trees.bit(0);
  std::vector<uint8_t> tree_bytes = trees.bytes();
  tree_bytes.resize((tree_bytes.size() + 3) & ~size_t{3}, 0);

  std::vector<std::vector<uint8_t>> frame_data;
  for (size_t f = 0; f < m.frames.size(); ++f) {
    std::vector<uint8_t> data;
    if (f == 0) {
      std::vector<uint8_t> palette(1, 0);
      for (int i = 0; i < 768; ++i) palette.push_back(static_cast<uint8_t>((i < static_cast<int>(m.palette.size()) ? m.palette[static_cast<size_t>(i)] : 0) >> 2));
      palette.resize((palette.size() + 3) & ~size_t{3}, 0);
      palette[0] = static_cast<uint8_t>(palette.size() / 4);
      data = palette;
    }
    Bit_Writer video;
    const auto& frame = m.frames[f];
    for (uint32_t by = 0; by < blocks_y; ++by)
      for (uint32_t bx = 0; bx < blocks_x; ++bx)
        write_code(video, type_codes[type_index[3u | (frame[by * 4 * m.width + bx * 4] << 8)]]);
    std::vector<uint8_t> bits = video.bytes();
    bits.resize(bits.size() + 4, 0);
    data.insert(data.end(), bits.begin(), bits.end());
    data.resize((data.size() + 3) & ~size_t{3}, 0);
    frame_data.push_back(data);
  }

  std::vector<uint8_t> out = {'S', 'M', 'K', '2'};
  put32(out, static_cast<uint32_t>(m.width));
  put32(out, static_cast<uint32_t>(m.height));
  put32(out, static_cast<uint32_t>(m.frames.size()));
  put32(out, static_cast<uint32_t>(1000 / (m.fps > 0 ? m.fps : 10)));  // milliseconds per frame
  put32(out, 0);                                                        // flags
  for (int i = 0; i < 7; ++i) put32(out, 0);                            // sound sizes
  put32(out, static_cast<uint32_t>(tree_bytes.size()));
  for (int i = 0; i < 4; ++i) put32(out, 1024);                         // tree table sizes
  for (int i = 0; i < 7; ++i) put32(out, 0);                            // sound rates
  put32(out, 0);
  for (size_t f = 0; f < frame_data.size(); ++f) put32(out, static_cast<uint32_t>(frame_data[f].size()) | (f == 0 ? 1u : 0u));
  for (size_t f = 0; f < frame_data.size(); ++f) out.push_back(f == 0 ? 1 : 0);  // palette with the first frame
  out.insert(out.end(), tree_bytes.begin(), tree_bytes.end());
  for (const auto& data : frame_data) out.insert(out.end(), data.begin(), data.end());
  return out;
}
