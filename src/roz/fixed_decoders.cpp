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

#include "roz/roz.h"
#include "roz/roz_internal.h"
#include "roz/roz_reference.h"

using namespace roz;

namespace {

struct Fixed_Tables {
  int red_cr[256], green_cb[256], green_cr[256], blue_cb[256];
  int luminance[64], chrominance[64];  // decoding multipliers, natural order
};

void Build_Fixed_Tables(int quality, Fixed_Tables& t) {
  for (int i = 0; i < 256; ++i) {
    const double v = i - 128;
    t.red_cr[i] = static_cast<int>(v * 91881.472);
    t.green_cb[i] = static_cast<int>(v * -22553.55904);
    t.green_cr[i] = static_cast<int>(v * -46801.87904);
    t.blue_cb[i] = static_cast<int>(v * 116129.792);
  }
  Inverse_Multipliers(quality, t.luminance, t.chrominance);
}

// Static state of the fixed-size decoders (not reentrant, like the format's users expect).
unsigned char g_codes[ROZ_MAX_FIXED_CODES];
int g_planes[3][640 * 9];
Huffman_Coder g_coder;

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
  if (!g_coder.Read_Table(sections.huffman, sections.huffman_length, &table_length)) {
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

// Error diffusion of one strip held in g_planes (rows 0..7, row 8 carries the
// error below the last row into the next strip).
template <int kVariant, int kWidth>
void Dither_Strip(unsigned short* out) {
  int* blue = g_planes[0];
  int* green = g_planes[1];
  int* red = g_planes[2];
  for (int x = 0; x < kWidth; ++x) {
    blue[x] += blue[8 * kWidth + x];
    green[x] += green[8 * kWidth + x];
    red[x] += red[8 * kWidth + x];
    blue[8 * kWidth + x] = green[8 * kWidth + x] = red[8 * kWidth + x] = 0;
  }
  for (int y = 0; y < 8; ++y) {
    int* b_row = blue + y * kWidth;
    int* g_row = green + y * kWidth;
    int* r_row = red + y * kWidth;
    unsigned short* o = out + y * kWidth;
    int carry_b = 0, carry_g = 0, carry_r = 0;
    for (int x = 0; x < kWidth - 1; ++x) {
      const int b = Clamp_Channel(b_row[x] + carry_b);
      const int g = Clamp_Channel(g_row[x] + carry_g);
      const int r = Clamp_Channel(r_row[x] + carry_r);
      o[x] = Pack<kVariant>(b, g, r);
      carry_b = (b & 0x7FFFF) >> 1;
      carry_g = (g & kGreenErrorMask<kVariant>) >> 1;
      carry_r = (r & 0x7FFFF) >> 1;
      b_row[x + kWidth] += carry_b;
      g_row[x + kWidth] += carry_g;
      r_row[x + kWidth] += carry_r;
    }
    const int x = kWidth - 1;
    o[x] = Pack<kVariant>(Clamp_Channel(b_row[x] + carry_b), Clamp_Channel(g_row[x] + carry_g),
                          Clamp_Channel(r_row[x] + carry_r));
  }
}

// 8 x 8 samples of one block (Y, Cb, Cr, each -128..127) into the strip planes at column x0.
template <int kWidth>
inline void Store_Block(const Fixed_Tables& t, const int* y, const int* cb, const int* cr, int x0) {
  for (int row = 0; row < 8; ++row) {
    int* b_out = g_planes[0] + row * kWidth + x0;
    int* g_out = g_planes[1] + row * kWidth + x0;
    int* r_out = g_planes[2] + row * kWidth + x0;
    for (int column = 0; column < 8; ++column) {
      const int k = row * 8 + column;
      const int luma = (y[k] + 128) << 16;
      b_out[column] = luma + t.blue_cb[cb[k] + 128];
      g_out[column] = luma + t.green_cb[cb[k] + 128] + t.green_cr[cr[k] + 128];
      r_out[column] = luma + t.red_cr[cr[k] + 128];
    }
  }
}

// --- Fast implementation ----------------------------------------------------------

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
inline void Fast_Inverse(int32_t* v, unsigned column_mask, int* out) {
  for (int column = 0; column < 8; ++column) {
    if (column_mask & (1u << column)) {
      Inverse_Pass(v + column, 8);
    } else if (v[column] != 0) {
      const int32_t dc = v[column];
      for (int row = 1; row < 8; ++row) v[row * 8 + column] = dc;
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

template <int kVariant, int kWidth>
void Fast_Unpack(unsigned short* out, const unsigned char* stream, int length, int quality, int height) {
  Stream_Sections sections;
  uint32_t table_length = 0;
  if (!Open_Fixed_Stream(stream, length, sections, table_length)) return;
  Fixed_Tables tables;
  Build_Fixed_Tables(quality, tables);
  // Multipliers in stream order, so each coefficient is dequantised as it is placed.
  int multipliers[3][64];
  for (int p = 0; p < 64; ++p) {
    multipliers[0][p] = tables.luminance[kZigzag[p]];
    multipliers[1][p] = multipliers[2][p] = tables.chrominance[kZigzag[p]];
  }
  const uint32_t code_count = g_coder.Decode(sections.huffman + table_length, sections.huffman_length - table_length,
                                             g_codes, sections.code_count);
  const Magnitude_Table& magnitudes = Magnitudes();
  Fast_Bits ac{sections.ac, sections.ac_length};
  const unsigned char* dc = sections.dc;
  const uint32_t dc_length = sections.dc_length;
  uint32_t dc_pos = 0;
  uint32_t code_pos = 0;

  std::memset(g_planes, 0, sizeof g_planes);
  alignas(32) int32_t coefficients[64];
  alignas(32) int samples[3][64];
  for (int strip = 0; strip < height / 8; ++strip) {
    for (int block = 0; block < kWidth / 8; ++block) {
      for (int plane = 0; plane < 3; ++plane) {
        const int* multiplier = multipliers[plane];
        std::memset(coefficients, 0, sizeof coefficients);
        // DC: eight bits, least significant first, so always one whole byte.
        const int dc_byte = dc_pos < dc_length ? dc[dc_pos] : 0;
        ++dc_pos;
        coefficients[0] = static_cast<signed char>(magnitudes.reverse[dc_byte]) * multiplier[0];
        unsigned column_mask = 0;
        int p = 1;
        while (p < 64) {
          const int code = code_pos < code_count ? g_codes[code_pos++] : 0;
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
          column_mask |= (natural >= 8 ? 1u : 0u) << (natural & 7);
          ++p;
        }
        Fast_Inverse(coefficients, column_mask, samples[plane]);
      }
      Store_Block<kWidth>(tables, samples[0], samples[1], samples[2], block * 8);
    }
    Dither_Strip<kVariant, kWidth>(out + static_cast<long>(strip) * 8 * kWidth);
  }
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
  int* planes[3] = {g_planes[0], g_planes[1], g_planes[2]};
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
  const uint32_t code_count = g_coder.Decode_Plain(
      sections.huffman + table_length, sections.huffman_length - table_length, g_codes, sections.code_count);
  Plain_Bits ac{sections.ac, sections.ac_length};
  Plain_Bits dc{sections.dc, sections.dc_length};
  uint32_t code_pos = 0;
  std::memset(g_planes, 0, sizeof g_planes);
  for (int strip = 0; strip < height / 8; ++strip) {
    for (int block = 0; block < width / 8; ++block) {
      int samples[3][64];
      for (int plane = 0; plane < 3; ++plane) {
        const int* multiplier = plane == 0 ? tables.luminance : tables.chrominance;
        int32_t coefficients[64] = {};
        coefficients[0] = static_cast<signed char>(dc.Data(8)) * multiplier[0];
        int p = 1;
        while (p < 64) {
          const int code = code_pos < code_count ? g_codes[code_pos++] : 0;
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
        g_planes[0][i] = luma + tables.blue_cb[samples[1][k] + 128];
        g_planes[1][i] = luma + tables.green_cb[samples[1][k] + 128] + tables.green_cr[samples[2][k] + 128];
        g_planes[2][i] = luma + tables.red_cr[samples[2][k] + 128];
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
