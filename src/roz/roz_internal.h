// Internals shared by the ROZ library's source files; nothing here is exported.
#pragma once
#include <cstdint>
#include <cstring>

#pragma GCC visibility push(hidden)

namespace roz {

// Stream position p holds the coefficient of natural (row-major) index kZigzag[p].
extern const int kZigzag[64];
extern const int kBaseLuminance[64];
extern const int kBaseChrominance[64];
// round(16384 * s(u) * s(v)), s(0) = 1, s(k) = sqrt(2) cos(k pi / 16).
extern const int kAan[64];

// Quality scale factor: 5000 / q below 50, 200 - 2q from 50 on (q clamped to 1..100).
int Quality_Scale(int quality);
// Base table scaled by quality, entries clamped to 8..255.
void Scaled_Table(const int base[64], int scale, int out[64]);
// Decoding multipliers: (aan * table) >> 13.
void Inverse_Multipliers(int quality, int luminance[64], int chrominance[64]);

// Fixed-point products of the transforms: (x * k) >> 16 on 32-bit integers.
// The product wraps like the 32-bit machine arithmetic the format was made
// with, so any input is defined and sane inputs give the exact result.
inline int32_t Mul16(int32_t x, int32_t k) {
  return static_cast<int32_t>(static_cast<uint32_t>(x) * static_cast<uint32_t>(k)) >> 16;
}
inline int32_t Add(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t Sub(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// One 8-point inverse pass over v[0], v[stride], ..., v[7 * stride].
// Reads from `in`, writes to `v` (which may be the same array).
inline void Inverse_Pass_From(const int32_t* in, int32_t* v, int stride) {
  const int32_t c0 = in[0], c1 = in[stride], c2 = in[2 * stride], c3 = in[3 * stride];
  const int32_t c4 = in[4 * stride], c5 = in[5 * stride], c6 = in[6 * stride], c7 = in[7 * stride];
  // Even part.
  int32_t t10 = Add(c0, c4), t11 = Sub(c0, c4);
  int32_t t13 = Add(c2, c6);
  int32_t t12 = Sub(Mul16(Sub(c2, c6), 92682), t13);
  int32_t tmp0 = Add(t10, t13), tmp3 = Sub(t10, t13);
  int32_t tmp1 = Add(t11, t12), tmp2 = Sub(t11, t12);
  // Odd part.
  int32_t z13 = Add(c5, c3), z10 = Sub(c5, c3), z11 = Add(c1, c7), z12 = Sub(c1, c7);
  int32_t tmp7 = Add(z11, z13);
  int32_t u11 = Mul16(Sub(z11, z13), 92682);
  int32_t z5 = Mul16(Add(z10, z12), 121095);
  int32_t u10 = Sub(Mul16(z12, 70936), z5);
  int32_t u12 = Add(Mul16(z10, -171254), z5);
  int32_t tmp6 = Sub(u12, tmp7);
  int32_t tmp5 = Sub(u11, tmp6);
  int32_t tmp4 = Add(u10, tmp5);
  v[0] = Add(tmp0, tmp7);
  v[7 * stride] = Sub(tmp0, tmp7);
  v[stride] = Add(tmp1, tmp6);
  v[6 * stride] = Sub(tmp1, tmp6);
  v[2 * stride] = Add(tmp2, tmp5);
  v[5 * stride] = Sub(tmp2, tmp5);
  v[4 * stride] = Add(tmp3, tmp4);
  v[3 * stride] = Sub(tmp3, tmp4);
}
inline void Inverse_Pass(int32_t* v, int stride) { Inverse_Pass_From(v, v, stride); }

// Inverse-transform output x (after both passes) to a sample: trunc(x / 16) clamped to -128..127.
inline int Descale(int32_t x) {
  if (x <= -2048) return -128;
  if (x >= 2047) return 127;
  return x / 16;
}

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
