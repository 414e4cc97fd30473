// The fast renderer, AVX2: the span end rays of a row eight at a time with the
// same float operations as Locate_Ray, span interpolation in integer lanes, and
// the bilinear filter on spread pixels, eight pixels at a time. Pixels whose
// filter footprint crosses a tile or face edge (a few per cent) are finished one
// by one with Sample_Cube.
#include "zel_vr/projection.h"

#if defined(ZEL_VR_HAVE_AVX2_PATH)
#include <immintrin.h>

#include <algorithm>
#include <cstddef>

#define ZEL_AVX2 __attribute__((target("avx2")))
// The steps of a row are forced inline: as calls, their lanes would pass through memory.
#define ZEL_AVX2_STEP __attribute__((target("avx2"), always_inline)) inline

namespace zel_vr {

namespace {

struct Lanes {
  __m256i face, u, v;
};

struct Row_Rays {
  __m256 row_x, row_y, row_z, step_x, step_y, step_z;
};

// Locate_Ray for eight rays at the given x positions.
ZEL_AVX2 inline Lanes locate8(const Row_Rays& r, __m256 xf) {
  const __m256 sign = _mm256_set1_ps(-0.0f);
  const __m256 dx = _mm256_add_ps(r.row_x, _mm256_mul_ps(xf, r.step_x));
  const __m256 dy = _mm256_add_ps(r.row_y, _mm256_mul_ps(xf, r.step_y));
  const __m256 dz = _mm256_add_ps(r.row_z, _mm256_mul_ps(xf, r.step_z));
  const __m256 ax = _mm256_andnot_ps(sign, dx), ay = _mm256_andnot_ps(sign, dy), az = _mm256_andnot_ps(sign, dz);

  const __m256 z_major = _mm256_and_ps(_mm256_cmp_ps(az, ax, _CMP_GE_OQ), _mm256_cmp_ps(az, ay, _CMP_GE_OQ));
  const __m256 x_major = _mm256_andnot_ps(z_major, _mm256_cmp_ps(ax, ay, _CMP_GE_OQ));
  const __m256 side = _mm256_or_ps(z_major, x_major);

  const __m256 major = _mm256_blendv_ps(_mm256_blendv_ps(dy, dx, x_major), dz, z_major);
  const __m256 inv = _mm256_div_ps(_mm256_set1_ps(1.0f), major);
  const __m256 abs_inv = _mm256_andnot_ps(sign, inv);

  __m256 s = _mm256_blendv_ps(_mm256_mul_ps(dx, abs_inv), _mm256_mul_ps(_mm256_xor_ps(dz, sign), inv), x_major);
  s = _mm256_blendv_ps(s, _mm256_mul_ps(dx, inv), z_major);
  __m256 t = _mm256_blendv_ps(_mm256_mul_ps(dz, inv), _mm256_mul_ps(_mm256_xor_ps(dy, sign), abs_inv), side);
  const __m256 one = _mm256_set1_ps(1.0f), minus_one = _mm256_set1_ps(-1.0f);
  s = _mm256_min_ps(_mm256_max_ps(s, minus_one), one);
  t = _mm256_min_ps(_mm256_max_ps(t, minus_one), one);

  const __m256 scale = _mm256_set1_ps(8192.0f), offset = _mm256_set1_ps(8240.0f);
  const __m256i sixty_four = _mm256_set1_epi32(64);
  Lanes out;
  out.u = _mm256_sub_epi32(_mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(s, scale), offset)), sixty_four);
  out.v = _mm256_sub_epi32(_mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(t, scale), offset)), sixty_four);

  // Face: 4/5 on z, 3/1 on x, 0/2 on y, the first of each pair for a positive axis.
  const __m256i zm = _mm256_castps_si256(z_major), xm = _mm256_castps_si256(x_major);
  const __m256i face_pos = _mm256_blendv_epi8(_mm256_blendv_epi8(_mm256_setzero_si256(), _mm256_set1_epi32(3), xm),
                                              _mm256_set1_epi32(4), zm);
  const __m256i face_neg = _mm256_blendv_epi8(_mm256_blendv_epi8(_mm256_set1_epi32(2), _mm256_set1_epi32(1), xm),
                                              _mm256_set1_epi32(5), zm);
  const __m256i positive = _mm256_castps_si256(_mm256_cmp_ps(major, _mm256_setzero_ps(), _CMP_GT_OQ));
  out.face = _mm256_blendv_epi8(face_neg, face_pos, positive);
  return out;
}

ZEL_AVX2 inline __m256i lerp8(__m256i a, __m256i b, __m256i f) {
  const __m256i thirty_two = _mm256_set1_epi32(32);
  __m256i sum = _mm256_add_epi32(_mm256_mullo_epi32(a, _mm256_sub_epi32(thirty_two, f)), _mm256_mullo_epi32(b, f));
  sum = _mm256_add_epi32(sum, _mm256_set1_epi32(static_cast<int>(Spread_Round)));
  return _mm256_and_si256(_mm256_srli_epi32(sum, 5), _mm256_set1_epi32(static_cast<int>(Spread_Mask)));
}

// Filtered samples of eight located points, 5-6-5 in 32-bit lanes; lanes whose
// footprint leaves its tile are marked in *edge_bits and left to Sample_Cube.
ZEL_AVX2 inline __m256i sample8(const uint16_t* cube, const Lanes& p, int* edge_bits) {
  const __m256i iu = _mm256_srai_epi32(p.u, Sub_Bits), iv = _mm256_srai_epi32(p.v, Sub_Bits);
  const __m256i low = _mm256_set1_epi32(31), byte = _mm256_set1_epi32(255), bit = _mm256_set1_epi32(1);
  const __m256i fx = _mm256_and_si256(p.u, low), fy = _mm256_and_si256(p.v, low);
  const __m256i lu = _mm256_and_si256(iu, byte), lv = _mm256_and_si256(iv, byte);
  const __m256i edge = _mm256_or_si256(_mm256_cmpeq_epi32(lu, byte), _mm256_cmpeq_epi32(lv, byte));

  // Tile order top-left, top-right, bottom-right, bottom-left: right ^ (3 * bottom).
  const __m256i right = _mm256_and_si256(_mm256_srli_epi32(iu, 8), bit);
  const __m256i bottom = _mm256_and_si256(_mm256_srli_epi32(iv, 8), bit);
  const __m256i tile = _mm256_xor_si256(right, _mm256_or_si256(bottom, _mm256_slli_epi32(bottom, 1)));
  __m256i index = _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi32(p.face, 18), _mm256_slli_epi32(tile, 16)),
                                  _mm256_or_si256(_mm256_slli_epi32(lv, 8), lu));
  index = _mm256_andnot_si256(edge, index);  // edge lanes read pixel 0, harmlessly

  // Each 32-bit load brings a texel and its right neighbour. Plain loads beat
  // the gather instruction on the processors we measured.
  alignas(32) uint32_t at[8], above_row[8], below_row[8];
  _mm256_store_si256(reinterpret_cast<__m256i*>(at), index);
  for (int k = 0; k < 8; ++k) {
    __builtin_memcpy(&above_row[k], cube + at[k], 4);
    __builtin_memcpy(&below_row[k], cube + at[k] + 256, 4);
  }
  const __m256i above = _mm256_load_si256(reinterpret_cast<const __m256i*>(above_row));
  const __m256i below = _mm256_load_si256(reinterpret_cast<const __m256i*>(below_row));

  const __m256i red_blue = _mm256_set1_epi32(0xF81F), green = _mm256_set1_epi32(0x07E00000);
  const __m256i t00 = _mm256_or_si256(_mm256_and_si256(above, red_blue), _mm256_and_si256(_mm256_slli_epi32(above, 16), green));
  const __m256i t10 = _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(above, 16), red_blue), _mm256_and_si256(above, green));
  const __m256i t01 = _mm256_or_si256(_mm256_and_si256(below, red_blue), _mm256_and_si256(_mm256_slli_epi32(below, 16), green));
  const __m256i t11 = _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(below, 16), red_blue), _mm256_and_si256(below, green));
  const __m256i mixed = lerp8(lerp8(t00, t10, fx), lerp8(t01, t11, fx), fy);
  *edge_bits = _mm256_movemask_ps(_mm256_castsi256_ps(edge));
  return _mm256_or_si256(_mm256_and_si256(mixed, red_blue),
                         _mm256_and_si256(_mm256_srli_epi32(mixed, 16), _mm256_set1_epi32(0x07E0)));
}

ZEL_AVX2 inline __m256i spread8(__m256i texel) {
  return _mm256_and_si256(_mm256_or_si256(texel, _mm256_slli_epi32(texel, 16)),
                          _mm256_set1_epi32(static_cast<int>(Spread_Mask)));
}

// Sixteen texels of a row from base on, as two registers of eight 32-bit lanes.
struct Texel_Row {
  __m256i low, high;
};

ZEL_AVX2 inline Texel_Row load_row(const uint16_t* base) {
  const __m256i texels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base));
  return {_mm256_cvtepu16_epi32(_mm256_castsi256_si128(texels)),
          _mm256_cvtepu16_epi32(_mm256_extracti128_si256(texels, 1))};
}

// Texel `column` (0 to 15) of a row for each lane.
ZEL_AVX2 inline __m256i pick(const Texel_Row& row, __m256i column) {
  return _mm256_blendv_epi8(_mm256_permutevar8x32_epi32(row.low, column),
                            _mm256_permutevar8x32_epi32(row.high, column),
                            _mm256_cmpgt_epi32(column, _mm256_set1_epi32(7)));
}

// The common case of a span whose footprints lie inside one tile, at most sixteen
// texels wide and on one or two neighbouring pairs of texel rows: two or three
// row loads and register permutes stand in for sixteen separate loads. The caller
// has checked the conditions; reading up to fifteen texels past the first one is
// safe because the buffer is padded.
template <bool Two_Pairs>
ZEL_AVX2 inline __m256i sample8_rows(const uint16_t* cube, const Lanes& p, int face, int first_u, int row_v) {
  const uint16_t* base = cube + Face_Pixel_Index_Fast(face, first_u, row_v);
  const Texel_Row row0 = load_row(base), row1 = load_row(base + 256);
  const __m256i column = _mm256_sub_epi32(_mm256_srai_epi32(p.u, Sub_Bits), _mm256_set1_epi32(first_u));
  const __m256i next = _mm256_add_epi32(column, _mm256_set1_epi32(1));
  __m256i t00 = pick(row0, column), t10 = pick(row0, next);
  __m256i t01 = pick(row1, column), t11 = pick(row1, next);
  if (Two_Pairs) {
    // Lanes on the second pair of rows take rows 1 and 2 instead of 0 and 1.
    const Texel_Row row2 = load_row(base + 512);
    const __m256i lower = _mm256_cmpgt_epi32(_mm256_srai_epi32(p.v, Sub_Bits), _mm256_set1_epi32(row_v));
    t00 = _mm256_blendv_epi8(t00, t01, lower);
    t10 = _mm256_blendv_epi8(t10, t11, lower);
    t01 = _mm256_blendv_epi8(t01, pick(row2, column), lower);
    t11 = _mm256_blendv_epi8(t11, pick(row2, next), lower);
  }
  const __m256i low = _mm256_set1_epi32(31);
  const __m256i fx = _mm256_and_si256(p.u, low), fy = _mm256_and_si256(p.v, low);
  const __m256i mixed = lerp8(lerp8(spread8(t00), spread8(t10), fx), lerp8(spread8(t01), spread8(t11), fx), fy);
  return _mm256_or_si256(_mm256_and_si256(mixed, _mm256_set1_epi32(0xF81F)),
                         _mm256_and_si256(_mm256_srli_epi32(mixed, 16), _mm256_set1_epi32(0x07E0)));
}

ZEL_AVX2 inline void finish_edges(const uint16_t* cube, uint16_t* out, int bits, const Lanes& p) {
  alignas(32) int face[8], u[8], v[8];
  _mm256_store_si256(reinterpret_cast<__m256i*>(face), p.face);
  _mm256_store_si256(reinterpret_cast<__m256i*>(u), p.u);
  _mm256_store_si256(reinterpret_cast<__m256i*>(v), p.v);
  while (bits) {
    const int k = __builtin_ctz(bits);
    bits &= bits - 1;
    out[k] = Sample_Cube(cube, face[k], u[k], v[k]);
  }
}

// Span ends of one row, padded to whole groups of eight.
struct Span_Ends {
  alignas(32) int face[Max_View_Width / Span + 16];
  alignas(32) int u[Max_View_Width / Span + 16];
  alignas(32) int v[Max_View_Width / Span + 16];
};

// The rays of row y: the same row start as the plain renderer (scalar multiply
// then add), row[] receiving it for the scalar tail.
ZEL_AVX2_STEP Row_Rays row_rays(const View_Setup& setup, int y, float row[3]) {
  for (int c = 0; c < 3; ++c) row[c] = setup.base[c] + static_cast<float>(y) * setup.down[c];
  return {_mm256_set1_ps(row[0]),        _mm256_set1_ps(row[1]),        _mm256_set1_ps(row[2]),
          _mm256_set1_ps(setup.step[0]), _mm256_set1_ps(setup.step[1]), _mm256_set1_ps(setup.step[2])};
}

// Follows the rays at every span end of the row (x = 0, Span, 2 Span, ...), eight at a time.
ZEL_AVX2_STEP void locate_span_ends(const Row_Rays& rays, int spans, Span_Ends& ends) {
  const __m256 lane_span =
      _mm256_mul_ps(_mm256_setr_ps(0, 1, 2, 3, 4, 5, 6, 7), _mm256_set1_ps(static_cast<float>(Span)));
  for (int e = 0; spans && e <= spans; e += 8) {
    const Lanes at = locate8(rays, _mm256_add_ps(_mm256_set1_ps(static_cast<float>(e * Span)), lane_span));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(&ends.face[e]), at.face);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(&ends.u[e]), at.u);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(&ends.v[e]), at.v);
  }
}

// The eight pixels of span k, both ends on one face: coordinates interpolated
// between the ends, sampled by whole texel rows where the footprints allow it.
ZEL_AVX2_STEP __m256i sample_span_on_face(const uint16_t* cube, const Span_Ends& ends, int k, Lanes& p,
                                            int* edge_bits) {
  const __m256i lane_index = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  const int face = ends.face[k];
  p.face = _mm256_set1_epi32(face);
  const __m256i u0 = _mm256_set1_epi32(ends.u[k]), v0 = _mm256_set1_epi32(ends.v[k]);
  const __m256i du = _mm256_set1_epi32(ends.u[k + 1] - ends.u[k]), dv = _mm256_set1_epi32(ends.v[k + 1] - ends.v[k]);
  p.u = _mm256_add_epi32(u0, _mm256_srai_epi32(_mm256_mullo_epi32(du, lane_index), 3));
  p.v = _mm256_add_epi32(v0, _mm256_srai_epi32(_mm256_mullo_epi32(dv, lane_index), 3));
  // Interpolated coordinates are monotonic, so the first and last lanes bound
  // the span's texels.
  const int u_last = Span_Lerp(ends.u[k], ends.u[k + 1], Span - 1);
  const int v_last = Span_Lerp(ends.v[k], ends.v[k + 1], Span - 1);
  const int first_u = std::min(ends.u[k], u_last) >> Sub_Bits, last_u = std::max(ends.u[k], u_last) >> Sub_Bits;
  const int first_v = std::min(ends.v[k], v_last) >> Sub_Bits, last_v = std::max(ends.v[k], v_last) >> Sub_Bits;
  const bool columns_fit = first_u >= 0 && last_u - first_u <= 14 && first_u >> 8 == (last_u + 1) >> 8;
  if (columns_fit && first_v == last_v && (first_v & 255) != 255) {
    return sample8_rows<false>(cube, p, face, first_u, first_v);
  }
  if (columns_fit && last_v == first_v + 1 && first_v >= 0 && (first_v & 255) < 254) {
    return sample8_rows<true>(cube, p, face, first_u, first_v);
  }
  return sample8(cube, p, edge_bits);
}

// Packs eight filtered pixels to 5-6-5 at out and finishes the edge lanes.
ZEL_AVX2_STEP void store8(const uint16_t* cube, uint16_t* out, __m256i pixels, int edge_bits, const Lanes& p) {
  const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(pixels, pixels), 0xD8);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(packed));
  if (edge_bits) finish_edges(cube, out, edge_bits, p);
}

// One row of the destination: spans between located ends, then (wide views)
// every ray followed eight at a time, then the pixels left one by one.
ZEL_AVX2_STEP void render_row(const uint16_t* cube, const View_Setup& setup, uint16_t* out, int y, Span_Ends& ends) {
  const __m256 lane = _mm256_setr_ps(0, 1, 2, 3, 4, 5, 6, 7);
  const int spans = setup.spans ? setup.width / Span : 0;
  float row[3];
  const Row_Rays rays = row_rays(setup, y, row);
  locate_span_ends(rays, spans, ends);
  for (int k = 0; k < spans; ++k) {
    const int x = k * Span;
    Lanes p;
    __m256i pixels;
    int edge_bits = 0;
    if (ends.face[k] == ends.face[k + 1]) {
      pixels = sample_span_on_face(cube, ends, k, p, &edge_bits);
    } else {
      p = locate8(rays, _mm256_add_ps(_mm256_set1_ps(static_cast<float>(x)), lane));
      pixels = sample8(cube, p, &edge_bits);
    }
    store8(cube, out + x, pixels, edge_bits, p);
  }
  int x = spans * Span;
  for (; !setup.spans && x + 8 <= setup.width; x += 8) {
    const Lanes p = locate8(rays, _mm256_add_ps(_mm256_set1_ps(static_cast<float>(x)), lane));
    int edge_bits;
    const __m256i pixels = sample8(cube, p, &edge_bits);
    store8(cube, out + x, pixels, edge_bits, p);
  }
  for (; x < setup.width; ++x) {
    const float fx = static_cast<float>(x);
    const Cube_Point p = Locate_Ray(row[0] + fx * setup.step[0], row[1] + fx * setup.step[1],
                                    row[2] + fx * setup.step[2]);
    out[x] = Sample_Cube(cube, p.face, p.u, p.v);
  }
}

}  // namespace

ZEL_AVX2 void Render_Rows_Avx2(const uint16_t* cube, const View_Setup& setup, uint16_t* target, int row_length,
                               int first_row, int last_row) {
  if (setup.width > Max_View_Width) {
    Render_Rows_Reference(cube, setup, target, row_length, first_row, last_row);
    return;
  }
  Span_Ends ends;
  for (int y = first_row; y < last_row; ++y) {
    render_row(cube, setup, target + static_cast<ptrdiff_t>(y) * row_length, y, ends);
  }
}

}  // namespace zel_vr

#endif  // ZEL_VR_HAVE_AVX2_PATH
