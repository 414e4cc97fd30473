// White-box access to class ROZ for the codec tests, and small stream helpers.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "roz/roz.h"

class ROZ_Inspector {
 public:
  explicit ROZ_Inspector(ROZ& codec) : c_(codec) {}

  void Set_Quality(int q) { c_.Set_Quality(q); }
  void Tables() {
    c_.Calcul_Luminance();
    c_.Calcul_Chrominance();
  }
  void Forward_Init(int q) { c_.Forward_Init(q); }
  void Inverse_Init(int q) { c_.Inverse_Init(q); }
  int* Luminance() { return c_.Luminance; }
  int* Chrominance() { return c_.Chrominance; }
  int* Y() { return c_.Y; }
  int* Cb() { return c_.Cb; }
  int* Cr() { return c_.Cr; }
  void Clear_Planes() {
    std::memset(c_.Y, 0, sizeof c_.Y);
    std::memset(c_.Cb, 0, sizeof c_.Cb);
    std::memset(c_.Cr, 0, sizeof c_.Cr);
  }
  void Inverse_Quantification() { c_.Inverse_Quantification(); }
  void Inverse_YCbCr() { c_.Inverse_YCbCr(); }
  void Put_Bloc_Rgb_24(unsigned char* pixels, int pitch) { c_.Put_Bloc_Rgb_24(pixels, pitch); }

  // 16-bit output of three 8 x 9 planes.
  void Put_16(int* blue, int* green, int* red, unsigned short* out, int pitch, bool six_bit_green) {
    c_.Blue_Plane = blue;
    c_.Green_Plane = green;
    c_.Red_Plane = red;
    if (six_bit_green) {
      c_.Put_Bloc_Rgb_16(out, 8, pitch);
    } else {
      c_.Put_Bloc_Rgb_15(out, 8, pitch);
    }
    c_.Blue_Plane = c_.Green_Plane = c_.Red_Plane = nullptr;
  }

  // Encodes blocks given directly as coefficient bytes (192 per block, stream
  // order) into a whole stream.
  std::vector<unsigned char> Pack_Coefficients(const std::vector<signed char>& coefficients) {
    const int blocks = static_cast<int>(coefficients.size() / 192);
    c_.Coefficients = static_cast<signed char*>(std::malloc(coefficients.size() + 1));
    std::memcpy(c_.Coefficients, coefficients.data(), coefficients.size());
    std::vector<unsigned char> out(static_cast<size_t>(Roz_Max_Stream_Size(blocks)));
    int length = 0;
    c_.Pack_Stream(out.data(), &length, blocks);
    out.resize(static_cast<size_t>(length));
    return out;
  }

  // The AC code bytes the last Pack_Coefficients produced.
  std::vector<unsigned char> Last_Codes() const {
    return std::vector<unsigned char>(c_.Ac_Code_Buffer, c_.Ac_Code_Buffer + c_.Ac_Code_Position);
  }

  // Decodes a stream's blocks back to coefficient bytes.
  std::vector<signed char> Unpack_Coefficients(std::vector<unsigned char> stream, int blocks) {
    std::vector<signed char> out(static_cast<size_t>(blocks) * 192);
    if (!c_.Open_Stream(stream.data(), static_cast<int>(stream.size()), blocks)) return {};
    c_.Coefficients = out.data();
    for (int k = 0; k < blocks; ++k) c_.Unpack_Bloc(k * 192);
    c_.Coefficients = nullptr;
    return out;
  }

 private:
  ROZ& c_;
};

inline uint32_t Stream_U32(const std::vector<unsigned char>& s, size_t at) {
  return static_cast<uint32_t>(s[at]) | static_cast<uint32_t>(s[at + 1]) << 8 | static_cast<uint32_t>(s[at + 2]) << 16 |
         static_cast<uint32_t>(s[at + 3]) << 24;
}
inline void Set_Stream_U32(std::vector<unsigned char>& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<unsigned char>(v >> (8 * i));
}
