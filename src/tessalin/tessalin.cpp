// Panorama record unpacker: 4-bit opcode coding of the codec's 8 x 8 blocks
// (same transform, quantisation tables and colour transform), no dithering.
#include "tessalin/tessalin.h"

#include <cstdint>
#include <cstring>

#include "roz/block_core.h"

namespace {

using namespace block_core;

constexpr size_t kSignatureField = 32;
constexpr size_t kHeader = 36;
constexpr int kBlocks = (TESSALIN_WIDTH / 8) * (TESSALIN_HEIGHT / 8);

inline int Clamp_Byte(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

struct Nibble_Reader {
  const unsigned char* data;
  size_t count;  // units available
  size_t pos;
  bool overrun = false;

  int Next() {
    if (pos >= count) {
      overrun = true;
      return 0;
    }
    const unsigned char byte = data[pos >> 1];
    const int nibble = (pos & 1) ? byte >> 4 : byte & 15;
    ++pos;
    return nibble;
  }
  int Byte() {
    const int high = Next();
    const int value = (high << 4) | Next();
    return value >= 128 ? value - 256 : value;
  }
  int Wide() {
    const int n = Next();
    return n < 8 ? n + 1 : n - 16;
  }
};

inline int Small(int field) { return field < 2 ? field + 1 : field - 4; }

// One plane: DC byte, then opcodes until 63 AC positions are filled. Values an
// opcode would place past position 63 are read and dropped.
void Read_Plane(Nibble_Reader& in, short* plane) {
  std::memset(plane, 0, 64 * sizeof(short));
  int pos = 0;
  auto put = [&](int value) {
    if (pos < 64) plane[pos] = static_cast<short>(value);
    ++pos;
  };
  put(in.Byte());
  while (pos < 64) {
    const int op = in.Next();
    switch (op) {
      case 0:
        pos = 64;
        break;
      case 1:
        pos += 5;
        break;
      case 2:
      case 3:
      case 4:
      case 5:
      case 6:
      case 7:
        pos += op / 2;  // 1, 2 or 3 zeros
        put((op & 1) ? -1 : 1);
        break;
      case 8: {
        const int o = in.Next();
        pos += (o >> 2) + 1;
        const int values = 2 + (o & 3);
        int pair = 0;
        for (int i = 0; i < values; ++i) {
          if ((i & 1) == 0) {
            pair = in.Next();
            put(Small(pair >> 2));
          } else {
            put(Small(pair & 3));
          }
        }
        break;
      }
      case 9: {
        const int o = in.Next();
        pos += (o >> 2) + 1;
        const int values = 1 + (o & 3);
        for (int i = 0; i < values; ++i) put(in.Wide());
        break;
      }
      case 10: {
        const int pair = in.Next();
        put(Small(pair >> 2));
        put(Small(pair & 3));
        break;
      }
      case 11:
      case 12:
      case 13:
        for (int i = 0; i < op - 10; ++i) put(in.Wide());
        break;
      case 14:
        pos += 1;
        break;
      default:  // 15
        put(in.Byte());
        break;
    }
    if (in.overrun) return;
  }
}

bool Signature_Matches(const unsigned char* record) {
  static const char kSignature[] = TESSALIN_SIGNATURE;
  return std::memcmp(record, kSignature, sizeof kSignature) == 0;  // includes the NUL
}

template <bool kSixBitGreen>
int Unpack(const unsigned char* record, size_t size, unsigned short* out) {
  if (record == nullptr || size < kHeader || !Signature_Matches(record)) return 0;
  const size_t nibbles = (size - kHeader) > SIZE_MAX / 2 ? SIZE_MAX : (size - kHeader) * 2;
  // A record that ends early is refused before anything is written.
  {
    Nibble_Reader check{record + kHeader, nibbles, 0};
    short planes[192];
    for (int block = 0; block < kBlocks; ++block) {
      for (int plane = 0; plane < 3; ++plane) Read_Plane(check, planes + plane * 64);
      if (check.overrun) return 0;
    }
  }

  const int32_t quality_field = static_cast<int32_t>(static_cast<uint32_t>(record[32]) | record[33] << 8 |
                                                     record[34] << 16 | static_cast<uint32_t>(record[35]) << 24);
  int quality = quality_field < 1 ? 1 : (quality_field > 100 ? 100 : quality_field);
  const int scale = quality >= 50 ? 200 - 2 * quality : 5000 / quality;
  // Multipliers by stream position: luminance for plane 0, chrominance for 1 and 2.
  int multipliers[3][64];
  for (int p = 0; p < 64; ++p) {
    const int n = kZigzag[p];
    int lum = (scale * kBaseLuminance[n] + 50) / 100;
    int chr = (scale * kBaseChrominance[n] + 50) / 100;
    lum = lum < 8 ? 8 : (lum > 255 ? 255 : lum);
    chr = chr < 8 ? 8 : (chr > 255 ? 255 : chr);
    multipliers[0][p] = (kAan[n] * lum) >> 13;
    multipliers[1][p] = multipliers[2][p] = (kAan[n] * chr) >> 13;
  }

  Nibble_Reader in{record + kHeader, nibbles, 0};
  short coefficients[192];
  int32_t work[64];
  int samples[3][64];
  for (int by = 0; by < TESSALIN_HEIGHT / 8; ++by) {
    for (int bx = 0; bx < TESSALIN_WIDTH / 8; ++bx) {
      for (int plane = 0; plane < 3; ++plane) {
        short* c = coefficients + plane * 64;
        Read_Plane(in, c);
        for (int p = 0; p < 64; ++p) {
          // The dequantised value is kept in 16 bits, wrapping like the original store.
          work[kZigzag[p]] = static_cast<int16_t>(static_cast<uint16_t>(c[p] * multipliers[plane][p]));
        }
        for (int column = 0; column < 8; ++column) Inverse_Pass(work + column, 8);
        for (int row = 0; row < 8; ++row) Inverse_Pass(work + row * 8, 1);
        for (int i = 0; i < 64; ++i) samples[plane][i] = Descale(work[i]);
      }
      unsigned short* block_out = out + (static_cast<size_t>(by) * 8 * TESSALIN_WIDTH + static_cast<size_t>(bx) * 8);
      for (int i = 0; i < 64; ++i) {
        const int y = samples[0][i], cb = samples[1][i], cr = samples[2][i];
        const int luma = y + 128;
        const int b = Clamp_Byte(luma + 2 * cb);
        const int g = Clamp_Byte(luma - cb / 3 + (-8 * cr) / 10);
        const int r = Clamp_Byte(luma + (16 * cr) / 10);
        unsigned short pixel;
        if (kSixBitGreen) {
          pixel = static_cast<unsigned short>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
        } else {
          pixel = static_cast<unsigned short>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
        }
        block_out[(i >> 3) * TESSALIN_WIDTH + (i & 7)] = pixel;
      }
    }
  }
  return 1;
}

}  // namespace

extern "C" {

int Tessalin_Unpack_15(const unsigned char* record, unsigned short* out) {
  return Unpack<false>(record, SIZE_MAX, out);
}

int Tessalin_Unpack_16(const unsigned char* record, unsigned short* out) {
  return Unpack<true>(record, SIZE_MAX, out);
}

int Tessalin_Unpack_15_Sized(const unsigned char* record, size_t size, unsigned short* out) {
  return Unpack<false>(record, size, out);
}

int Tessalin_Unpack_16_Sized(const unsigned char* record, size_t size, unsigned short* out) {
  return Unpack<true>(record, size, out);
}

int Tessalin_Read_Block(const unsigned char* nibbles, size_t nibble_count, size_t* position, short coefficients[192]) {
  Nibble_Reader in{nibbles, nibble_count, *position};
  for (int plane = 0; plane < 3; ++plane) Read_Plane(in, coefficients + plane * 64);
  *position = in.pos;
  return in.overrun ? 0 : 1;
}

}  // extern "C"
