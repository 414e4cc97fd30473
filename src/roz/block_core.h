// The core of the 8 x 8 block coding shared by the ROZ codec, the panorama
// record unpacker and osterlin-tool's record producer: zig-zag order, the base
// luminance and chrominance quantisation tables, the transform's scale factors
// and the fixed-point inverse pass. Header only, so neither library links the
// other for it; nothing here is exported.
#pragma once
#include <cstdint>

#pragma GCC visibility push(hidden)

namespace block_core {

// Stream position p holds the coefficient of natural (row-major) index kZigzag[p].
constexpr int kZigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
                             41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
                             30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

constexpr int kBaseLuminance[64] = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                                    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                                    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                                    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};

constexpr int kBaseChrominance[64] = {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
                                      24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
                                      99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                                      99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// round(16384 * s(u) * s(v)), s(0) = 1, s(k) = sqrt(2) cos(k pi / 16).
constexpr int kAan[64] = {16384, 22725, 21407, 19266, 16384, 12873, 8867,  4520,  22725, 31521, 29692, 26722, 22725,
                          17855, 12299, 6270,  21407, 29692, 27969, 25172, 21407, 16819, 11585, 5906,  19266, 26722,
                          25172, 22654, 19266, 15137, 10426, 5315,  16384, 22725, 21407, 19266, 16384, 12873, 8867,
                          4520,  12873, 17855, 16819, 15137, 12873, 10114, 6967,  3552,  8867,  12299, 11585, 10426,
                          8867,  6967,  4799,  2446,  4520,  6270,  5906,  5315,  4520,  3552,  2446,  1247};

// Fixed-point products of the transforms: (x * k) >> 16 on 32-bit integers.
// The product wraps like the 32-bit machine arithmetic the formats were made
// with, so any input is defined and sane inputs give the exact result; additions
// wrap the same way.
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

// Inverse-transform output x (after both passes) to a sample: trunc(x / 16)
// clamped to -128..127 (the codec's range table).
inline int Descale(int32_t x) {
  if (x <= -2048) return -128;
  if (x >= 2047) return 127;
  return x / 16;
}

}  // namespace block_core

#pragma GCC visibility pop
