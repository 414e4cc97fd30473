// Internals shared by the ROZ library's source files; nothing here is exported.
#pragma once
#include <cstdint>
#include <cstring>

#include "roz/block_core.h"

#pragma GCC visibility push(hidden)

namespace roz {

// The tables and the inverse pass of the block coding.
using block_core::Add;
using block_core::Descale;
using block_core::Inverse_Pass;
using block_core::Inverse_Pass_From;
using block_core::kAan;
using block_core::kBaseChrominance;
using block_core::kBaseLuminance;
using block_core::kZigzag;
using block_core::Mul16;
using block_core::Sub;

// Quality scale factor: 5000 / q below 50, 200 - 2q from 50 on (q clamped to 1..100).
int Quality_Scale(int quality);
// Base table scaled by quality, entries clamped to 8..255.
void Scaled_Table(const int base[64], int scale, int out[64]);
// Decoding multipliers: (aan * table) >> 13.
void Inverse_Multipliers(int quality, int luminance[64], int chrominance[64]);

// Magnitude bits: `bits` holds `size` bits, the first one read as bit 0.
inline int Extend_Magnitude(int bits, int size) {
  if (size == 0) return 0;
  if ((bits & (1 << (size - 1))) == 0) return bits - (1 << size) + 1;
  return bits;
}

// The three sections of a stream, each cut to the bytes the stream really holds.
struct Stream_Sections {
  const unsigned char* huffman = nullptr;
  uint32_t huffman_length = 0;
  uint32_t code_count = 0;  // N as stored
  const unsigned char* ac = nullptr;
  uint32_t ac_length = 0;
  const unsigned char* dc = nullptr;
  uint32_t dc_length = 0;
};
// Splits a stream of `length` bytes; false when it is too short for its first header.
bool Split_Stream(const unsigned char* stream, long long length, Stream_Sections& out);

// Per-stream Huffman code over the 256 byte values and an end symbol (256).
class Huffman_Coder {
 public:
  static constexpr int kSymbols = 257;
  static constexpr int kEnd = 256;
  static constexpr int kNodes = 514;

  // Encodes `count` code bytes (table, codes, end code, padding) into out; returns its length.
  int Encode(const unsigned char* codes, int count, unsigned char* out);
  // Reads the frequency table at the start of `section` and builds the tree;
  // false when the table runs past the section or gives no tree.
  bool Read_Table(const unsigned char* section, uint32_t length, uint32_t* table_length);
  // Decodes at most `limit` code bytes from `data` (bits past `length` read as 0),
  // stopping at the end code; returns how many were written to out.
  uint32_t Decode(const unsigned char* data, uint32_t length, unsigned char* out, uint32_t limit);
  // The same, one tree step per bit: the reference the table decoder is checked against.
  uint32_t Decode_Plain(const unsigned char* data, uint32_t length, unsigned char* out, uint32_t limit);

  // Builds the tree from counts[0..256]; false when it has no root.
  bool Build_Tree(const int counts[kSymbols]);
  int Code(int symbol) const { return code_[symbol]; }
  int Code_Length(int symbol) const { return length_[symbol]; }
  int Root() const { return root_; }
  int Child(int node, int bit) const { return child_[bit][node]; }

 private:
  void Assign_Codes(int node, uint32_t code, int depth);
  void Build_Lookup();

  static constexpr int kSentinel = kNodes;
  int weight_[kNodes + 1];
  int child_[2][kNodes + 1];
  uint32_t code_[kSymbols];
  int length_[kSymbols];
  int root_ = -1;
  unsigned mask_ = 0x80;

  // Look-up of the first kLookupBits bits: symbol and code length, or (for longer
  // codes) the internal node reached after kLookupBits bits with length 0.
  static constexpr int kLookupBits = 11;
  struct Entry {
    int16_t node;
    int16_t length;
  };
  Entry lookup_[1 << kLookupBits];
};

// Grows a stream buffer to at least `needed` bytes (allocation failure ends the process).
void Grow_Buffer(unsigned char*& buffer, int& capacity, int needed);

// Status of the last decoding call.
void Set_Status_Ok();
void Set_Status_Refused(const char* reason);
void Show_Message(const char* caption, const char* text);

}  // namespace roz

#pragma GCC visibility pop
