// The six fixed-size decoders (640 x 480 pictures and 256 x 6144 panoramas to
// 16-bit pixels), a fast implementation and the plain one it is checked against.
//
// Both decode the picture in strips of 8 rows: each block's three planes are
// dequantised as their coefficients are placed, inverse-transformed, converted
// to 16.16 colour through lookup tables, and the strip is then error-diffused
// row by row (half of each pixel's error to the right, half below; the error
// below the strip's last row carries into the next strip).
#include <cstdio>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ROZ_HAVE_AVX2_PATH 1
#endif

#include "roz/roz.h"
#include "roz/roz_internal.h"
#include "roz/roz_reference.h"

using namespace roz;

namespace {

struct Fixed_Tables {
  int red_cr[256], green_cb[256], green_cr[256], blue_cb[256];
  int luminance[64], chrominance[64];  // decoding multipliers, natural order
};

// The colour factors 1.402, 0.34414, 0.71414 and 1.772 in 16.16 fixed point.
constexpr double kRedFromCr = 91881.472;
constexpr double kGreenFromCb = -22553.55904;
constexpr double kGreenFromCr = -46801.87904;
constexpr double kBlueFromCb = 116129.792;

void Build_Fixed_Tables(int quality, Fixed_Tables& t) {
  for (int i = 0; i < 256; ++i) {
    const double v = i - 128;
    t.red_cr[i] = static_cast<int>(v * kRedFromCr);
    t.green_cb[i] = static_cast<int>(v * kGreenFromCb);
    t.green_cr[i] = static_cast<int>(v * kGreenFromCr);
    t.blue_cb[i] = static_cast<int>(v * kBlueFromCb);
  }
  Inverse_Multipliers(quality, t.luminance, t.chrominance);
}

// Static state of the fixed-size decoders (not reentrant, like the format's users expect).
struct Fixed_Decoder_State {
  unsigned char codes[ROZ_MAX_FIXED_CODES];
  int planes[3][640 * 9];
  Huffman_Coder coder;

  // The eight pixels (y, t - y) of a strip's diagonal t can be dithered together:
  // each needs only its left neighbour and the pixel above, both on diagonal t - 1.
  // The scalar path keeps its strip "skewed" (sample (y, x) at [(x + y) * 8 + y])
  // so that a diagonal is contiguous; the vector path reads diagonals from
  // row-major planes and writes its pixels diagonal by diagonal.
  alignas(32) int skewed[3][(640 + 8) * 8];
  int carry_row[3][640];  // error sent below the previous strip's last row
  alignas(16) unsigned short skewed_out[(640 + 8) * 8];
  bool simd_enabled = true;
};

Fixed_Decoder_State state;

// Splits the stream, applies the code-count limit and reads the frequency
// table. On refusal the status is set and nothing is written.
bool Open_Fixed_Stream(const unsigned char* stream, int length, Stream_Sections& sections, uint32_t& table_length) {
  if (!Split_Stream(stream, length, sections)) {
    Set_Status_Refused("stream shorter than its header");
    return false;
  }
  if (sections.code_count > static_cast<uint32_t>(ROZ_MAX_FIXED_CODES)) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "The module roz.dll need %u bytes to continue. Contact Korvane to correct the problem...",
                  sections.code_count);
    Show_Message("ROZ codec library", text);
    Set_Status_Refused("stream needs more code bytes than the decoder holds");
    return false;
  }
  if (!state.coder.Read_Table(sections.huffman, sections.huffman_length, &table_length)) {
    Set_Status_Refused("damaged Huffman frequency table");
    return false;
  }
  return true;
}

enum Variant { k15_15 = 0, k15_16 = 1, k16_16 = 2 };

inline int Clamp_Channel(int v) { return v < 0 ? 0 : (v > 0xFF0000 ? 0xFF0000 : v); }

template <int kVariant>
inline unsigned short Pack(int b, int g, int r) {
  if (kVariant == k16_16) return static_cast<unsigned short>(((r >> 8) & 0xF800) | ((g >> 13) & 0x07E0) | (b >> 19));
  if (kVariant == k15_16) return static_cast<unsigned short>(((r >> 8) & 0xF800) | ((g >> 13) & 0x07C0) | (b >> 19));
  return static_cast<unsigned short>(((r >> 9) & 0x7C00) | ((g >> 14) & 0x03E0) | (b >> 19));
}

template <int kVariant>
constexpr int kGreenErrorMask = kVariant == k16_16 ? 0x3FFFF : 0x7FFFF;

// --- Fast implementation ----------------------------------------------------------

template <int kWidth>
inline void Store_Block_Skewed(const Fixed_Tables& t, const int* y, const int* cb, const int* cr, int x0) {
  for (int row = 0; row < 8; ++row) {
    for (int column = 0; column < 8; ++column) {
      const int k = row * 8 + column;
      const int at = (x0 + column + row) * 8 + row;
      const int luma = (y[k] + 128) << 16;
      state.skewed[0][at] = luma + t.blue_cb[cb[k] + 128];
      state.skewed[1][at] = luma + t.green_cb[cb[k] + 128] + t.green_cr[cr[k] + 128];
      state.skewed[2][at] = luma + t.red_cr[cr[k] + 128];
    }
  }
}

template <int kVariant, int kWidth>
void Dither_Strip_Skewed(unsigned short* out) {
  for (int y = 0; y < 8; ++y) {
    int carry[3] = {0, 0, 0};
    for (int x = 0; x < kWidth; ++x) {
      const int at = (x + y) * 8 + y;
      int v[3];
      for (int c = 0; c < 3; ++c) {
        int value = state.skewed[c][at] + carry[c];
        if (y == 0) value += state.carry_row[c][x];
        v[c] = Clamp_Channel(value);
      }
      out[y * kWidth + x] = Pack<kVariant>(v[0], v[1], v[2]);
      const bool diffuses = x < kWidth - 1;
      const int masks[3] = {0x7FFFF, kGreenErrorMask<kVariant>, 0x7FFFF};
      for (int c = 0; c < 3; ++c) {
        const int e = diffuses ? (v[c] & masks[c]) >> 1 : 0;
        carry[c] = e;
        if (y < 7) {
          state.skewed[c][at + 9] += e;  // (y + 1, x)
        } else {
          state.carry_row[c][x] = e;
        }
      }
    }
  }
}

#if defined(ROZ_HAVE_AVX2_PATH)
bool Have_Avx2() {
  static const bool have = __builtin_cpu_supports("avx2");
  return have;
}
#endif

// Bit reader over one section, next bits at the top of a 64-bit word; bytes past
// the section read as 0.
struct Fast_Bits {
  const unsigned char* data;
  uint32_t length;
  uint32_t pos = 0;
  uint64_t buffer = 0;
  int bits = 0;

  void Refill() {
    if (pos <= length && length - pos >= 8) {
      uint64_t word;
      std::memcpy(&word, data + pos, 8);
      buffer |= __builtin_bswap64(word) >> bits;
      pos += static_cast<uint32_t>((63 - bits) >> 3);
      bits |= 56;
      return;
    }
    while (bits <= 56) {
      if (pos < length) buffer |= static_cast<uint64_t>(data[pos]) << (56 - bits);
      if (pos <= length) ++pos;
      bits += 8;
    }
  }
  // `size` bits, the first one as bit 0 of the result.
  int Read_Reversed(int size) {
    if (bits < 16) Refill();
    int value = 0;
    for (int i = 0; i < size; ++i) value |= static_cast<int>((buffer >> (63 - i)) & 1) << i;
    buffer <<= size;
    bits -= size;
    return value;
  }
};

struct Magnitude_Table {
  // value[size][next 8 bits] = the signed coefficient those `size` bits encode.
  int16_t value[9][256];
  unsigned char reverse[256];
  Magnitude_Table() {
    for (int v = 0; v < 256; ++v) {
      int r = 0;
      for (int i = 0; i < 8; ++i) r |= ((v >> (7 - i)) & 1) << i;
      reverse[v] = static_cast<unsigned char>(r);
    }
    for (int size = 0; size <= 8; ++size) {
      for (int peek = 0; peek < 256; ++peek) {
        int bits = reverse[peek] & ((1 << size) - 1);
        value[size][peek] = static_cast<int16_t>(Extend_Magnitude(bits, size));
      }
    }
  }
};

const Magnitude_Table& Magnitudes() {
  static const Magnitude_Table table;
  return table;
}

// Inverse transform of one plane with shortcuts for empty columns and rows (an
// all-zero AC part makes a pass output its DC eight times, exactly).
inline void Fast_Inverse(const int32_t* c, unsigned column_mask, int32_t* v, int* out) {
  for (int column = 0; column < 8; ++column) {
    if (column_mask & (1u << column)) {
      Inverse_Pass_From(c + column, v + column, 8);
    } else {
      const int32_t dc = c[column];
      for (int row = 0; row < 8; ++row) v[row * 8 + column] = dc;
    }
  }
  for (int row = 0; row < 8; ++row) {
    int32_t* r = v + row * 8;
    if ((r[1] | r[2] | r[3] | r[4] | r[5] | r[6] | r[7]) == 0) {
      const int sample = Descale(r[0]);
      for (int i = 0; i < 8; ++i) out[row * 8 + i] = sample;
    } else {
      Inverse_Pass(r, 1);
      for (int i = 0; i < 8; ++i) out[row * 8 + i] = Descale(r[i]);
    }
  }
}

// Coefficient decoding shared by the fast decoders: code bytes, AC magnitude
// bits and DC bytes, each bounded by what the stream holds.
struct Coefficient_Source {
  const unsigned char* codes;
  uint32_t code_count;
  uint32_t code_pos = 0;
  Fast_Bits ac;
  const unsigned char* dc;
  uint32_t dc_length;
  uint32_t dc_pos = 0;
  const Magnitude_Table& magnitudes;

  // One plane into `coefficients` (natural order, dequantised; the array must be
  // zero on entry). Records the natural positions of placed AC values in
  // `placed` and returns their count; `column_mask` gets a bit for each column
  // holding an AC value below row 0.
  __attribute__((always_inline)) inline int Decode_Plane(const int* multiplier, int32_t* coefficients, int* placed,
                                                         unsigned& column_mask) {
    int placed_count = 0;
    // DC: eight bits, least significant first, so always one whole byte.
    const int dc_byte = dc_pos < dc_length ? dc[dc_pos] : 0;
    ++dc_pos;
    coefficients[0] = static_cast<signed char>(magnitudes.reverse[dc_byte]) * multiplier[0];
    column_mask = 0;
    int p = 1;
    while (p < 64) {
      const int code = code_pos < code_count ? codes[code_pos++] : 0;
      if (code == 0x00) break;
      if (code == 0xF0) {
        p += 16;
        continue;
      }
      const int run = code >> 4, size = code & 15;
      p += run;
      if (p > 63) break;
      int value;
      if (size <= 8) {
        if (ac.bits < 8) ac.Refill();
        value = magnitudes.value[size][ac.buffer >> 56];
        ac.buffer <<= size;
        ac.bits -= size;
      } else {
        value = Extend_Magnitude(ac.Read_Reversed(size), size);
      }
      const int natural = kZigzag[p];
      coefficients[natural] = value * multiplier[p];
      placed[placed_count++] = natural;
      column_mask |= (natural >= 8 ? 1u : 0u) << (natural & 7);
      ++p;
    }
    return placed_count;
  }
};

// Multipliers in stream order, so each coefficient is dequantised as it is placed.
void Stream_Order_Multipliers(const Fixed_Tables& tables, int multipliers[3][64]) {
  for (int p = 0; p < 64; ++p) {
    multipliers[0][p] = tables.luminance[kZigzag[p]];
    multipliers[1][p] = multipliers[2][p] = tables.chrominance[kZigzag[p]];
  }
}

template <int kVariant, int kWidth>
void Fast_Unpack_Scalar(unsigned short* out, const Stream_Sections& sections, uint32_t code_count,
                        const Fixed_Tables& tables, int height) {
  int multipliers[3][64];
  Stream_Order_Multipliers(tables, multipliers);
  Coefficient_Source source{state.codes, code_count,         0, Fast_Bits{sections.ac, sections.ac_length},
                            sections.dc, sections.dc_length, 0, Magnitudes()};
  std::memset(state.carry_row, 0, sizeof state.carry_row);
  alignas(32) int32_t coefficients[64] = {};
  alignas(32) int32_t work[64];
  alignas(32) int samples[3][64];
  int placed[64];
  for (int strip = 0; strip < height / 8; ++strip) {
    for (int block = 0; block < kWidth / 8; ++block) {
      for (int plane = 0; plane < 3; ++plane) {
        unsigned column_mask;
        const int placed_count = source.Decode_Plane(multipliers[plane], coefficients, placed, column_mask);
        Fast_Inverse(coefficients, column_mask, work, samples[plane]);
        // Clear only what was placed, ready for the next plane.
        for (int i = 0; i < placed_count; ++i) coefficients[placed[i]] = 0;
      }
      Store_Block_Skewed<kWidth>(tables, samples[0], samples[1], samples[2], block * 8);
    }
    Dither_Strip_Skewed<kVariant, kWidth>(out + static_cast<long>(strip) * 8 * kWidth);
  }
}

#if defined(ROZ_HAVE_AVX2_PATH)
// Strip planes of the AVX2 path, row-major with eight columns of padding on
// each side: sample (y, x) at [y * (kWidth + 16) + 8 + x].
alignas(32) int g_rows[3][(640 + 16) * 8];

#define ROZ_AVX2 __attribute__((target("avx2"), always_inline)) inline

ROZ_AVX2 __m256i Mul16_Avx2(__m256i x, int k) {
  // Low 32 bits of the product, then an arithmetic shift: the scalar Mul16.
  return _mm256_srai_epi32(_mm256_mullo_epi32(x, _mm256_set1_epi32(k)), 16);
}

// The inverse pass on eight lanes at once: v[0..7] are the pass's inputs c0..c7.
ROZ_AVX2 void Inverse_Pass_Avx2(__m256i v[8]) {
  const __m256i t10 = _mm256_add_epi32(v[0], v[4]), t11 = _mm256_sub_epi32(v[0], v[4]);
  const __m256i t13 = _mm256_add_epi32(v[2], v[6]);
  const __m256i t12 = _mm256_sub_epi32(Mul16_Avx2(_mm256_sub_epi32(v[2], v[6]), 92682), t13);
  const __m256i tmp0 = _mm256_add_epi32(t10, t13), tmp3 = _mm256_sub_epi32(t10, t13);
  const __m256i tmp1 = _mm256_add_epi32(t11, t12), tmp2 = _mm256_sub_epi32(t11, t12);
  const __m256i z13 = _mm256_add_epi32(v[5], v[3]), z10 = _mm256_sub_epi32(v[5], v[3]);
  const __m256i z11 = _mm256_add_epi32(v[1], v[7]), z12 = _mm256_sub_epi32(v[1], v[7]);
  const __m256i tmp7 = _mm256_add_epi32(z11, z13);
  const __m256i u11 = Mul16_Avx2(_mm256_sub_epi32(z11, z13), 92682);
  const __m256i z5 = Mul16_Avx2(_mm256_add_epi32(z10, z12), 121095);
  const __m256i u10 = _mm256_sub_epi32(Mul16_Avx2(z12, 70936), z5);
  const __m256i u12 = _mm256_add_epi32(Mul16_Avx2(z10, -171254), z5);
  const __m256i tmp6 = _mm256_sub_epi32(u12, tmp7);
  const __m256i tmp5 = _mm256_sub_epi32(u11, tmp6);
  const __m256i tmp4 = _mm256_add_epi32(u10, tmp5);
  v[0] = _mm256_add_epi32(tmp0, tmp7);
  v[7] = _mm256_sub_epi32(tmp0, tmp7);
  v[1] = _mm256_add_epi32(tmp1, tmp6);
  v[6] = _mm256_sub_epi32(tmp1, tmp6);
  v[2] = _mm256_add_epi32(tmp2, tmp5);
  v[5] = _mm256_sub_epi32(tmp2, tmp5);
  v[4] = _mm256_add_epi32(tmp3, tmp4);
  v[3] = _mm256_sub_epi32(tmp3, tmp4);
}

ROZ_AVX2 void Transpose_Avx2(__m256i r[8]) {
  const __m256i t0 = _mm256_unpacklo_epi32(r[0], r[1]), t1 = _mm256_unpackhi_epi32(r[0], r[1]);
  const __m256i t2 = _mm256_unpacklo_epi32(r[2], r[3]), t3 = _mm256_unpackhi_epi32(r[2], r[3]);
  const __m256i t4 = _mm256_unpacklo_epi32(r[4], r[5]), t5 = _mm256_unpackhi_epi32(r[4], r[5]);
  const __m256i t6 = _mm256_unpacklo_epi32(r[6], r[7]), t7 = _mm256_unpackhi_epi32(r[6], r[7]);
  const __m256i u0 = _mm256_unpacklo_epi64(t0, t2), u1 = _mm256_unpackhi_epi64(t0, t2);
  const __m256i u2 = _mm256_unpacklo_epi64(t1, t3), u3 = _mm256_unpackhi_epi64(t1, t3);
  const __m256i u4 = _mm256_unpacklo_epi64(t4, t6), u5 = _mm256_unpackhi_epi64(t4, t6);
  const __m256i u6 = _mm256_unpacklo_epi64(t5, t7), u7 = _mm256_unpackhi_epi64(t5, t7);
  r[0] = _mm256_permute2x128_si256(u0, u4, 0x20);
  r[1] = _mm256_permute2x128_si256(u1, u5, 0x20);
  r[2] = _mm256_permute2x128_si256(u2, u6, 0x20);
  r[3] = _mm256_permute2x128_si256(u3, u7, 0x20);
  r[4] = _mm256_permute2x128_si256(u0, u4, 0x31);
  r[5] = _mm256_permute2x128_si256(u1, u5, 0x31);
  r[6] = _mm256_permute2x128_si256(u2, u6, 0x31);
  r[7] = _mm256_permute2x128_si256(u3, u7, 0x31);
}

// trunc(v * factor) for eight values given as two halves in double precision.
ROZ_AVX2 __m256i Scaled_Avx2(__m256d low, __m256d high, double factor) {
  const __m256d k = _mm256_set1_pd(factor);
  return _mm256_set_m128i(_mm256_cvttpd_epi32(_mm256_mul_pd(high, k)), _mm256_cvttpd_epi32(_mm256_mul_pd(low, k)));
}

// trunc(x / 16) clamped to -128..127, on eight lanes.
ROZ_AVX2 __m256i Descale_Avx2(__m256i x) {
  const __m256i bias = _mm256_and_si256(_mm256_srai_epi32(x, 31), _mm256_set1_epi32(15));
  const __m256i q = _mm256_srai_epi32(_mm256_add_epi32(x, bias), 4);
  return _mm256_min_epi32(_mm256_max_epi32(q, _mm256_set1_epi32(-128)), _mm256_set1_epi32(127));
}

// Inverse transform of one plane; rows[r] receives row r of the samples.
ROZ_AVX2 void Inverse_Avx2(const int32_t* c, bool only_dc, __m256i rows[8]) {
  if (only_dc) {
    const __m256i sample = _mm256_set1_epi32(Descale(c[0]));
    for (int r = 0; r < 8; ++r) rows[r] = sample;
    return;
  }
  for (int r = 0; r < 8; ++r) rows[r] = _mm256_load_si256(reinterpret_cast<const __m256i*>(c + r * 8));
  Inverse_Pass_Avx2(rows);  // columns (lanes) across the rows
  Transpose_Avx2(rows);
  Inverse_Pass_Avx2(rows);  // rows, now in lanes
  Transpose_Avx2(rows);
  for (int r = 0; r < 8; ++r) rows[r] = Descale_Avx2(rows[r]);
}

template <int kVariant, int kWidth>
__attribute__((target("avx2"))) void Dither_Rows_Avx2(unsigned short* out) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i top = _mm256_set1_epi32(0xFF0000);
  const __m256i masks[3] = {_mm256_set1_epi32(0x7FFFF), _mm256_set1_epi32(kGreenErrorMask<kVariant>),
                            _mm256_set1_epi32(0x7FFFF)};
  const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  __m256i diagonals[3][8];
  const __m256i from_above = _mm256_setr_epi32(0, 0, 1, 2, 3, 4, 5, 6);
  const __m256i last_diffusing = _mm256_set1_epi32(kWidth - 1);
  __m256i carry[3] = {zero, zero, zero};
  __m256i below[3] = {zero, zero, zero};
  constexpr int kStride = kWidth + 16;
  for (int t = 0; t < kWidth + 7; ++t) {
    const int step = t & 7;
    if (step == 0) {
      // The next eight diagonals: row y supplies columns t - y .. t - y + 7,
      // and a transpose turns the eight rows into eight diagonals.
      for (int c = 0; c < 3; ++c) {
        for (int y = 0; y < 8; ++y) {
          diagonals[c][y] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(g_rows[c] + y * kStride + 8 + t - y));
        }
        Transpose_Avx2(diagonals[c]);
      }
    }
    const __m256i x = _mm256_sub_epi32(_mm256_set1_epi32(t), lanes);
    const __m256i diffuses =
        _mm256_andnot_si256(_mm256_cmpgt_epi32(zero, x), _mm256_cmpgt_epi32(last_diffusing, x));
    __m256i v[3];
    for (int c = 0; c < 3; ++c) {
      __m256i above = _mm256_permutevar8x32_epi32(below[c], from_above);
      above = _mm256_insert_epi32(above, t < kWidth ? state.carry_row[c][t] : 0, 0);
      __m256i value = _mm256_add_epi32(_mm256_add_epi32(diagonals[c][step], carry[c]), above);
      value = _mm256_min_epi32(_mm256_max_epi32(value, zero), top);
      const __m256i e = _mm256_and_si256(_mm256_srli_epi32(_mm256_and_si256(value, masks[c]), 1), diffuses);
      carry[c] = e;
      below[c] = e;
      v[c] = value;
      if (t >= 7 && t - 7 < kWidth) state.carry_row[c][t - 7] = _mm256_extract_epi32(e, 7);
    }
    __m256i packed;
    if (kVariant == k16_16) {
      packed = _mm256_or_si256(
          _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(v[2], 8), _mm256_set1_epi32(0xF800)),
                          _mm256_and_si256(_mm256_srli_epi32(v[1], 13), _mm256_set1_epi32(0x07E0))),
          _mm256_srli_epi32(v[0], 19));
    } else if (kVariant == k15_16) {
      packed = _mm256_or_si256(
          _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(v[2], 8), _mm256_set1_epi32(0xF800)),
                          _mm256_and_si256(_mm256_srli_epi32(v[1], 13), _mm256_set1_epi32(0x07C0))),
          _mm256_srli_epi32(v[0], 19));
    } else {
      packed = _mm256_or_si256(
          _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(v[2], 9), _mm256_set1_epi32(0x7C00)),
                          _mm256_and_si256(_mm256_srli_epi32(v[1], 14), _mm256_set1_epi32(0x03E0))),
          _mm256_srli_epi32(v[0], 19));
    }
    const __m256i narrow = _mm256_permute4x64_epi64(_mm256_packus_epi32(packed, packed), 0x08);
    _mm_store_si128(reinterpret_cast<__m128i*>(state.skewed_out + t * 8), _mm256_castsi256_si128(narrow));
  }
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < kWidth; ++x) out[y * kWidth + x] = state.skewed_out[(x + y) * 8 + y];
  }
}

template <int kVariant, int kWidth>
__attribute__((target("avx2"))) void Fast_Unpack_Avx2(unsigned short* out, const Stream_Sections& sections,
                                                      uint32_t code_count, const Fixed_Tables& tables, int height) {
  int multipliers[3][64];
  Stream_Order_Multipliers(tables, multipliers);
  Coefficient_Source source{state.codes, code_count,         0, Fast_Bits{sections.ac, sections.ac_length},
                            sections.dc, sections.dc_length, 0, Magnitudes()};
  std::memset(state.carry_row, 0, sizeof state.carry_row);
  alignas(32) int32_t coefficients[64] = {};
  int placed[64];
  const __m256i bias = _mm256_set1_epi32(128);
  for (int strip = 0; strip < height / 8; ++strip) {
    for (int block = 0; block < kWidth / 8; ++block) {
      __m256i samples[3][8];
      for (int plane = 0; plane < 3; ++plane) {
        unsigned column_mask;
        const int placed_count = source.Decode_Plane(multipliers[plane], coefficients, placed, column_mask);
        Inverse_Avx2(coefficients, placed_count == 0, samples[plane]);
        for (int i = 0; i < placed_count; ++i) coefficients[placed[i]] = 0;
      }
      const int x0 = block * 8;
      for (int r = 0; r < 8; ++r) {
        const __m256i luma = _mm256_slli_epi32(_mm256_add_epi32(samples[0][r], bias), 16);
        // The colour tables computed in place: trunc(value * factor) in double precision.
        const __m256d cb_low = _mm256_cvtepi32_pd(_mm256_castsi256_si128(samples[1][r]));
        const __m256d cb_high = _mm256_cvtepi32_pd(_mm256_extracti128_si256(samples[1][r], 1));
        const __m256d cr_low = _mm256_cvtepi32_pd(_mm256_castsi256_si128(samples[2][r]));
        const __m256d cr_high = _mm256_cvtepi32_pd(_mm256_extracti128_si256(samples[2][r], 1));
        const __m256i blue = _mm256_add_epi32(luma, Scaled_Avx2(cb_low, cb_high, kBlueFromCb));
        const __m256i green = _mm256_add_epi32(_mm256_add_epi32(luma, Scaled_Avx2(cb_low, cb_high, kGreenFromCb)),
                                               Scaled_Avx2(cr_low, cr_high, kGreenFromCr));
        const __m256i red = _mm256_add_epi32(luma, Scaled_Avx2(cr_low, cr_high, kRedFromCr));
        const int at = r * (kWidth + 16) + 8 + x0;
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(g_rows[0] + at), blue);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(g_rows[1] + at), green);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(g_rows[2] + at), red);
      }
    }
    Dither_Rows_Avx2<kVariant, kWidth>(out + static_cast<long>(strip) * 8 * kWidth);
  }
}
#endif

template <int kVariant, int kWidth>
void Fast_Unpack(unsigned short* out, const unsigned char* stream, int length, int quality, int height) {
  Stream_Sections sections;
  uint32_t table_length = 0;
  if (!Open_Fixed_Stream(stream, length, sections, table_length)) return;
  Fixed_Tables tables;
  Build_Fixed_Tables(quality, tables);
  const uint32_t code_count = state.coder.Decode(
      sections.huffman + table_length, sections.huffman_length - table_length, state.codes, sections.code_count);
#if defined(ROZ_HAVE_AVX2_PATH)
  if (state.simd_enabled && Have_Avx2()) {
    Fast_Unpack_Avx2<kVariant, kWidth>(out, sections, code_count, tables, height);
    Set_Status_Ok();
    return;
  }
#endif
  Fast_Unpack_Scalar<kVariant, kWidth>(out, sections, code_count, tables, height);
  Set_Status_Ok();
}

// --- Plain implementation ------------------------------------------------------------

struct Plain_Bits {
  const unsigned char* data;
  uint32_t length;
  uint32_t pos = 0;
  unsigned mask = 0x80;
  int Bit() {
    int bit = pos < length && (data[pos] & mask) != 0;
    mask >>= 1;
    if (mask == 0) {
      mask = 0x80;
      if (pos <= length) ++pos;
    }
    return bit;
  }
  int Data(int count) {
    int value = 0;
    for (int i = 0; i < count; ++i) value |= Bit() << i;
    return value;
  }
};

template <int kVariant>
void Plain_Dither(unsigned short* out, int width) {
  int* planes[3] = {state.planes[0], state.planes[1], state.planes[2]};
  for (int c = 0; c < 3; ++c) {
    for (int x = 0; x < width; ++x) {
      planes[c][x] += planes[c][8 * width + x];
      planes[c][8 * width + x] = 0;
    }
  }
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < width; ++x) {
      const int i = y * width + x;
      const int b = Clamp_Channel(planes[0][i]), g = Clamp_Channel(planes[1][i]), r = Clamp_Channel(planes[2][i]);
      out[y * width + x] = Pack<kVariant>(b, g, r);
      if (x == width - 1) continue;
      const int errors[3] = {b & 0x7FFFF, g & kGreenErrorMask<kVariant>, r & 0x7FFFF};
      for (int c = 0; c < 3; ++c) {
        planes[c][i + 1] += errors[c] >> 1;
        planes[c][i + width] += errors[c] >> 1;
      }
    }
  }
}

template <int kVariant>
void Plain_Unpack(unsigned short* out, const unsigned char* stream, int length, int quality, int width, int height) {
  Stream_Sections sections;
  uint32_t table_length = 0;
  if (!Open_Fixed_Stream(stream, length, sections, table_length)) return;
  Fixed_Tables tables;
  Build_Fixed_Tables(quality, tables);
  const uint32_t code_count = state.coder.Decode_Plain(
      sections.huffman + table_length, sections.huffman_length - table_length, state.codes, sections.code_count);
  Plain_Bits ac{sections.ac, sections.ac_length};
  Plain_Bits dc{sections.dc, sections.dc_length};
  uint32_t code_pos = 0;
  std::memset(state.planes, 0, sizeof state.planes);
  for (int strip = 0; strip < height / 8; ++strip) {
    for (int block = 0; block < width / 8; ++block) {
      int samples[3][64];
      for (int plane = 0; plane < 3; ++plane) {
        const int* multiplier = plane == 0 ? tables.luminance : tables.chrominance;
        int32_t coefficients[64] = {};
        coefficients[0] = static_cast<signed char>(dc.Data(8)) * multiplier[0];
        int p = 1;
        while (p < 64) {
          const int code = code_pos < code_count ? state.codes[code_pos++] : 0;
          if (code == 0x00) break;
          if (code == 0xF0) {
            p += 16;
            continue;
          }
          const int run = code >> 4, size = code & 15;
          if (p + run > 63) break;
          p += run;
          const int value = Extend_Magnitude(ac.Data(size), size);
          coefficients[kZigzag[p]] = value * multiplier[kZigzag[p]];
          ++p;
        }
        for (int column = 0; column < 8; ++column) Inverse_Pass(coefficients + column, 8);
        for (int row = 0; row < 8; ++row) Inverse_Pass(coefficients + row * 8, 1);
        for (int i = 0; i < 64; ++i) samples[plane][i] = Descale(coefficients[i]);
      }
      for (int k = 0; k < 64; ++k) {
        const int i = (k >> 3) * width + block * 8 + (k & 7);
        const int luma = (samples[0][k] + 128) << 16;
        state.planes[0][i] = luma + tables.blue_cb[samples[1][k] + 128];
        state.planes[1][i] = luma + tables.green_cb[samples[1][k] + 128] + tables.green_cr[samples[2][k] + 128];
        state.planes[2][i] = luma + tables.red_cr[samples[2][k] + 128];
      }
    }
    Plain_Dither<kVariant>(out + static_cast<long>(strip) * 8 * width, width);
  }
  Set_Status_Ok();
}

}  // namespace

void Unpack_Picture_Rgb_15_15_256_6144(unsigned short* out, unsigned char* stream, int length, int quality) {
  Fast_Unpack<k15_15, 256>(out, stream, length, quality, 6144);
}
void Unpack_Picture_Rgb_15_16_256_6144(unsigned short* out, unsigned char* stream, int length, int quality) {
  Fast_Unpack<k15_16, 256>(out, stream, length, quality, 6144);
}
void Unpack_Picture_Rgb_16_16_256_6144(unsigned short* out, unsigned char* stream, int length, int quality) {
  Fast_Unpack<k16_16, 256>(out, stream, length, quality, 6144);
}
void Unpack_Picture_Rgb_15_15_640_480(unsigned short* out, unsigned char* stream, int length, int quality) {
  Fast_Unpack<k15_15, 640>(out, stream, length, quality, 480);
}
void Unpack_Picture_Rgb_15_16_640_480(unsigned short* out, unsigned char* stream, int length, int quality) {
  Fast_Unpack<k15_16, 640>(out, stream, length, quality, 480);
}
void Unpack_Picture_Rgb_16_16_640_480(unsigned short* out, unsigned char* stream, int length, int quality) {
  Fast_Unpack<k16_16, 640>(out, stream, length, quality, 480);
}

void Roz_Reference_Unpack_Fixed(unsigned short* out, const unsigned char* stream, int length, int quality,
                                int width, int height, int variant) {
  if ((width != 256 || height != 6144) && (width != 640 || height != 480)) {
    Set_Status_Refused("no fixed-size decoder for this size");
    return;
  }
  switch (variant) {
    case k15_15:
      Plain_Unpack<k15_15>(out, stream, length, quality, width, height);
      break;
    case k15_16:
      Plain_Unpack<k15_16>(out, stream, length, quality, width, height);
      break;
    default:
      Plain_Unpack<k16_16>(out, stream, length, quality, width, height);
      break;
  }
}

void Roz_Use_Simd(int enabled) { state.simd_enabled = enabled != 0; }
