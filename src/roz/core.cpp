// Class ROZ, numeric core: quality tables, transforms, quantisation, colour
// conversion and the 16-bit output with error diffusion.
#include <cstdlib>
#include <cstring>

#include "roz/roz.h"
#include "roz/roz_internal.h"

using namespace roz;

namespace {
inline int Clamp(int v, int low, int high) { return v < low ? low : (v > high ? high : v); }

// One 8-point forward pass over v[0], v[stride], ..., v[7 * stride].
void Forward_Pass(int32_t* v, int stride) {
  const int32_t d0 = v[0], d1 = v[stride], d2 = v[2 * stride], d3 = v[3 * stride];
  const int32_t d4 = v[4 * stride], d5 = v[5 * stride], d6 = v[6 * stride], d7 = v[7 * stride];
  int32_t tmp0 = Add(d0, d7), tmp7 = Sub(d0, d7), tmp1 = Add(d1, d6), tmp6 = Sub(d1, d6);
  int32_t tmp2 = Add(d2, d5), tmp5 = Sub(d2, d5), tmp3 = Add(d3, d4), tmp4 = Sub(d3, d4);
  // Even part.
  int32_t t10 = Add(tmp0, tmp3), t13 = Sub(tmp0, tmp3), t11 = Add(tmp1, tmp2), t12 = Sub(tmp1, tmp2);
  v[0] = Add(t10, t11);
  v[4 * stride] = Sub(t10, t11);
  int32_t z1 = Mul16(Add(t12, t13), 46341);
  v[2 * stride] = Add(t13, z1);
  v[6 * stride] = Sub(t13, z1);
  // Odd part.
  t10 = Add(tmp4, tmp5);
  t11 = Add(tmp5, tmp6);
  t12 = Add(tmp6, tmp7);
  int32_t z5 = Mul16(Sub(t10, t12), 25080);
  int32_t z2 = Add(Mul16(t10, 35468), z5);
  int32_t z4 = Add(Mul16(t12, 85627), z5);
  int32_t z3 = Mul16(t11, 46341);
  int32_t z11 = Add(tmp7, z3), z13 = Sub(tmp7, z3);
  v[5 * stride] = Add(z13, z2);
  v[3 * stride] = Sub(z13, z2);
  v[stride] = Add(z11, z4);
  v[7 * stride] = Sub(z11, z4);
}

int Quantize(int v, int q) { return v >= 0 ? (v + q / 2) / q : -((q / 2 - v) / q); }

}  // namespace

ROZ::ROZ()
    : Scale(0),
      Coefficients(nullptr),
      Dc_Buffer(nullptr),
      Dc_Capacity(0),
      Dc_Position(0),
      Dc_Mask(0x80),
      Ac_Code_Buffer(nullptr),
      Ac_Code_Capacity(0),
      Ac_Code_Position(0),
      Ac_Buffer(nullptr),
      Ac_Capacity(0),
      Ac_Position(0),
      Ac_Mask(0x80),
      Dc_Source(nullptr),
      Dc_Length(0),
      Ac_Source(nullptr),
      Ac_Length(0),
      Ac_Code_Length(0),
      Blue_Plane(nullptr),
      Green_Plane(nullptr),
      Red_Plane(nullptr) {
  for (int i = 0; i < 16321; ++i) Range_Table[i] = Clamp((i - 8160) / 16, -128, 127);
  std::memset(Luminance, 0, sizeof Luminance);
  std::memset(Chrominance, 0, sizeof Chrominance);
  std::memset(Y, 0, sizeof Y);
  std::memset(Cb, 0, sizeof Cb);
  std::memset(Cr, 0, sizeof Cr);
}

ROZ::~ROZ() { Release_Buffers(); }

ROZ::ROZ(const ROZ& other) : ROZ() { Copy_From(other); }

ROZ& ROZ::operator=(const ROZ& other) {
  if (this != &other) Copy_From(other);
  return *this;
}

void ROZ::Release_Buffers() {
  std::free(Dc_Buffer);
  std::free(Ac_Code_Buffer);
  std::free(Ac_Buffer);
  Dc_Buffer = Ac_Code_Buffer = Ac_Buffer = nullptr;
  Dc_Capacity = Ac_Code_Capacity = Ac_Capacity = 0;
}

void ROZ::Copy_From(const ROZ& other) {
  Release_Buffers();
  std::memcpy(Range_Table, other.Range_Table, sizeof Range_Table);
  std::memcpy(Luminance, other.Luminance, sizeof Luminance);
  std::memcpy(Chrominance, other.Chrominance, sizeof Chrominance);
  Scale = other.Scale;
  std::memcpy(Y, other.Y, sizeof Y);
  std::memcpy(Cb, other.Cb, sizeof Cb);
  std::memcpy(Cr, other.Cr, sizeof Cr);
  // Work buffers of a running operation are never shared.
  Coefficients = nullptr;
  Blue_Plane = Green_Plane = Red_Plane = nullptr;
  Dc_Source = Ac_Source = nullptr;
  Dc_Length = Ac_Length = Ac_Code_Length = 0;
  Grow_Buffer(Dc_Buffer, Dc_Capacity, other.Dc_Capacity);
  Grow_Buffer(Ac_Code_Buffer, Ac_Code_Capacity, other.Ac_Code_Capacity);
  Grow_Buffer(Ac_Buffer, Ac_Capacity, other.Ac_Capacity);
  if (other.Dc_Capacity) std::memcpy(Dc_Buffer, other.Dc_Buffer, static_cast<size_t>(other.Dc_Capacity));
  if (other.Ac_Code_Capacity)
    std::memcpy(Ac_Code_Buffer, other.Ac_Code_Buffer, static_cast<size_t>(other.Ac_Code_Capacity));
  if (other.Ac_Capacity) std::memcpy(Ac_Buffer, other.Ac_Buffer, static_cast<size_t>(other.Ac_Capacity));
  Dc_Position = other.Dc_Position;
  Dc_Mask = other.Dc_Mask;
  Ac_Code_Position = other.Ac_Code_Position;
  Ac_Position = other.Ac_Position;
  Ac_Mask = other.Ac_Mask;
}

// --- Tables ----------------------------------------------------------------

void ROZ::Set_Quality(int quality) { Scale = Quality_Scale(quality); }
void ROZ::Calcul_Luminance() { Scaled_Table(kBaseLuminance, Scale, Luminance); }
void ROZ::Calcul_Chrominance() { Scaled_Table(kBaseChrominance, Scale, Chrominance); }

void ROZ::Forward_Normalize_Quantification(int table[64]) {
  for (int i = 0; i < 64; ++i) table[i] = (kAan[i] * table[i] + 1024) >> 11;
}

void ROZ::Inverse_Normalize_Quantification(int table[64]) {
  for (int i = 0; i < 64; ++i) table[i] = (kAan[i] * table[i]) >> 13;
}

void ROZ::Forward_Init(int quality) {
  Set_Quality(quality);
  Calcul_Luminance();
  Calcul_Chrominance();
  Forward_Normalize_Quantification(Luminance);
  Forward_Normalize_Quantification(Chrominance);
}

void ROZ::Inverse_Init(int quality) {
  Set_Quality(quality);
  Calcul_Luminance();
  Calcul_Chrominance();
  Inverse_Normalize_Quantification(Luminance);
  Inverse_Normalize_Quantification(Chrominance);
}

// --- Transforms ----------------------------------------------------------------

void ROZ::Forward(int plane[64]) {
  for (int row = 0; row < 8; ++row) Forward_Pass(plane + row * 8, 1);
  for (int column = 0; column < 8; ++column) Forward_Pass(plane + column, 8);
}

void ROZ::Inverse(int plane[64]) {
  for (int column = 0; column < 8; ++column) Inverse_Pass(plane + column, 8);
  for (int row = 0; row < 8; ++row) Inverse_Pass(plane + row * 8, 1);
  for (int i = 0; i < 64; ++i) plane[i] = Range_Table[Clamp(plane[i], -8160, 8160) + 8160];
}

void ROZ::Forward_YCbCr() {
  Forward(Y);
  Forward(Cb);
  Forward(Cr);
}

void ROZ::Inverse_YCbCr() {
  Inverse(Y);
  Inverse(Cb);
  Inverse(Cr);
}

void ROZ::Forward_Quantification() {
  for (int i = 0; i < 64; ++i) {
    Y[i] = Quantize(Y[i], Luminance[i]);
    Cb[i] = Quantize(Cb[i], Chrominance[i]);
    Cr[i] = Quantize(Cr[i], Chrominance[i]);
  }
}

void ROZ::Inverse_Quantification() {
  for (int i = 0; i < 64; ++i) {
    Y[i] *= Luminance[i];
    Cb[i] *= Chrominance[i];
    Cr[i] *= Chrominance[i];
  }
}

// --- Pixels in and out ----------------------------------------------------------

void ROZ::Get_Bloc_Rgb_24(unsigned char* pixels, int pitch) {
  for (int y = 0; y < 8; ++y) {
    const unsigned char* p = pixels + static_cast<long>(y) * pitch;
    for (int x = 0; x < 8; ++x, p += 3) {
      int b = p[0], g = p[1], r = p[2];
      int luma = (b + 6 * g + 3 * r) / 10;
      Y[y * 8 + x] = luma - 128;
      Cb[y * 8 + x] = (b - luma) / 2;
      Cr[y * 8 + x] = 10 * (r - luma) / 16;
    }
  }
}

void ROZ::Get_Bloc_Rgb_32(unsigned char* pixels, int pitch) {
  for (int y = 0; y < 8; ++y) {
    const unsigned char* p = pixels + static_cast<long>(y) * pitch;
    for (int x = 0; x < 8; ++x, p += 4) {
      float b = p[0], g = p[1], r = p[2];
      Y[y * 8 + x] = static_cast<int>(0.299f * r + 0.587f * g + 0.114f * b) - 128;
      Cb[y * 8 + x] = static_cast<int>(0.434f * b - 0.146f * r - 0.288f * g);
      Cr[y * 8 + x] = static_cast<int>(0.617f * r - 0.517f * g - 0.1f * b);
    }
  }
}

void ROZ::Get_Bloc_YCbCr_24(signed char* pixels, int pitch) {
  for (int y = 0; y < 8; ++y) {
    const signed char* p = pixels + static_cast<long>(y) * pitch;
    for (int x = 0; x < 8; ++x, p += 3) {
      Y[y * 8 + x] = p[0];
      Cb[y * 8 + x] = p[1];
      Cr[y * 8 + x] = p[2];
    }
  }
}

void ROZ::Get_Bloc_YCbCr_32(signed char* pixels, int pitch) {
  for (int y = 0; y < 8; ++y) {
    const signed char* p = pixels + static_cast<long>(y) * pitch;
    for (int x = 0; x < 8; ++x, p += 4) {
      Y[y * 8 + x] = p[0];
      Cb[y * 8 + x] = p[1];
      Cr[y * 8 + x] = p[2];
    }
  }
}

namespace {
struct Rgb {
  int b, g, r;
};
// The class decoders' inverse colour transform, before clamping.
inline Rgb To_Rgb(int y, int cb, int cr) {
  int c = y + 128;
  return {c + 2 * cb, c + (-cb) / 3 - (8 * cr) / 10, c + (16 * cr) / 10};
}

// The block as clamped blue, green, red bytes, pixels `step` bytes apart (a
// fourth byte is left as it is), rows `pitch` bytes apart.
void Put_Block_Bgr(const int* Y, const int* Cb, const int* Cr, unsigned char* pixels, int pitch, int step) {
  for (int y = 0; y < 8; ++y) {
    unsigned char* p = pixels + static_cast<long>(y) * pitch;
    for (int x = 0; x < 8; ++x, p += step) {
      int i = y * 8 + x;
      Rgb c = To_Rgb(Y[i], Cb[i], Cr[i]);
      p[0] = static_cast<unsigned char>(Clamp(c.b, 0, 255));
      p[1] = static_cast<unsigned char>(Clamp(c.g, 0, 255));
      p[2] = static_cast<unsigned char>(Clamp(c.r, 0, 255));
    }
  }
}
}  // namespace

void ROZ::Put_Bloc_Rgb_24(unsigned char* pixels, int pitch) { Put_Block_Bgr(Y, Cb, Cr, pixels, pitch, 3); }

void ROZ::Put_Bloc_Rgb_32(unsigned char* pixels, int pitch) { Put_Block_Bgr(Y, Cb, Cr, pixels, pitch, 4); }

void ROZ::Put_Bloc_Rgb_64(int* blue, int* green, int* red, int width) {
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      int i = y * 8 + x;
      Rgb c = To_Rgb(Y[i], Cb[i], Cr[i]);
      blue[y * width + x] = c.b * 65536;
      green[y * width + x] = c.g * 65536;
      red[y * width + x] = c.r * 65536;
    }
  }
}

namespace {
// Serpentine error diffusion of one 8-row block held in three 16.16 planes
// (`width` wide, a ninth row receiving error). Neighbours are plain linear
// offsets: at the row ends they reach into the row above or the same row, as
// the pictures stored with this codec were made that way.
template <bool kSixBitGreen>
void Diffuse_Block(int* blue, int* green, int* red, unsigned short* pixels, int width, int pitch) {
  constexpr int kGreenMask = kSixBitGreen ? 0x3FFFF : 0x7FFFF;
  for (int y = 0; y < 8; ++y) {
    const int dir = (y & 1) ? -1 : 1;
    for (int step = 0; step < width; ++step) {
      const int x = dir > 0 ? step : width - 1 - step;
      const int i = y * width + x;
      const int b = Clamp(blue[i], 0, 0xFF0000), g = Clamp(green[i], 0, 0xFF0000), r = Clamp(red[i], 0, 0xFF0000);
      unsigned short pixel;
      if (kSixBitGreen) {
        pixel = static_cast<unsigned short>(((r >> 8) & 0xF800) | ((g >> 13) & 0x07E0) | (b >> 19));
      } else {
        pixel = static_cast<unsigned short>(((r >> 9) & 0x7C00) | ((g >> 14) & 0x03E0) | (b >> 19));
      }
      pixels[static_cast<long>(y) * pitch + x] = pixel;
      if (x == width - 1) continue;
      const int errors[3] = {b & 0x7FFFF, g & kGreenMask, r & 0x7FFFF};
      int* planes[3] = {blue, green, red};
      for (int c = 0; c < 3; ++c) {
        const int e = errors[c];
        int* p = planes[c];
        p[i + dir] = Add(p[i + dir], (e * 7) >> 4);
        p[i + width - dir] = Add(p[i + width - dir], (e * 3) >> 4);
        p[i + width] = Add(p[i + width], (e * 5) >> 4);
        p[i + width + dir] = Add(p[i + width + dir], e >> 4);
      }
    }
  }
}
}  // namespace

void ROZ::Put_Bloc_Rgb_16(unsigned short* pixels, int width, int pitch) {
  Diffuse_Block<true>(Blue_Plane, Green_Plane, Red_Plane, pixels, width, pitch);
}

void ROZ::Put_Bloc_Rgb_15(unsigned short* pixels, int width, int pitch) {
  Diffuse_Block<false>(Blue_Plane, Green_Plane, Red_Plane, pixels, width, pitch);
}

void ROZ::Put_Natural_Order(int offset) {
  int* planes[3] = {Y, Cb, Cr};
  for (int k = 0; k < 3; ++k) {
    for (int p = 0; p < 64; ++p) {
      int& v = planes[k][kZigzag[p]];
      v = Clamp(v, -128, 127);
      Coefficients[offset + k * 64 + p] = static_cast<signed char>(v);
    }
  }
}

void ROZ::Get_Natural_Order(int offset) {
  int* planes[3] = {Y, Cb, Cr};
  for (int k = 0; k < 3; ++k) {
    for (int p = 0; p < 64; ++p) planes[k][kZigzag[p]] = Coefficients[offset + k * 64 + p];
  }
}
