// osterlin-tool tessalin: unpack panorama records, and produce them from raw
// 256 x 6144 B,G,R pictures.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "roz/block_core.h"
#include "tessalin/tessalin.h"
#include "tool.h"

namespace {

const char* kUsage =
    "osterlin-tool tessalin unpack --bits 15|16 IN OUT\n"
    "osterlin-tool tessalin pack --quality Q IN OUT";

constexpr int kWidth = TESSALIN_WIDTH, kHeight = TESSALIN_HEIGHT;

int Usage(const std::string& message) { return Tool_Usage_Error("tessalin", message); }

// --- Producer: forward transform and quantisation --------------------------------

using namespace block_core;

inline int Mul16(int x, int k) { return static_cast<int>((static_cast<long long>(x) * k) >> 16); }

void Forward_Pass(int* v, int stride) {
  int d[8];
  for (int i = 0; i < 8; ++i) d[i] = v[i * stride];
  int tmp0 = d[0] + d[7], tmp7 = d[0] - d[7], tmp1 = d[1] + d[6], tmp6 = d[1] - d[6];
  int tmp2 = d[2] + d[5], tmp5 = d[2] - d[5], tmp3 = d[3] + d[4], tmp4 = d[3] - d[4];
  int t10 = tmp0 + tmp3, t13 = tmp0 - tmp3, t11 = tmp1 + tmp2, t12 = tmp1 - tmp2;
  v[0] = t10 + t11;
  v[4 * stride] = t10 - t11;
  int z1 = Mul16(t12 + t13, 46341);
  v[2 * stride] = t13 + z1;
  v[6 * stride] = t13 - z1;
  t10 = tmp4 + tmp5;
  t11 = tmp5 + tmp6;
  t12 = tmp6 + tmp7;
  int z5 = Mul16(t10 - t12, 25080);
  int z2 = Mul16(t10, 35468) + z5;
  int z4 = Mul16(t12, 85627) + z5;
  int z3 = Mul16(t11, 46341);
  int z11 = tmp7 + z3, z13 = tmp7 - z3;
  v[5 * stride] = z13 + z2;
  v[3 * stride] = z13 - z2;
  v[stride] = z11 + z4;
  v[7 * stride] = z11 - z4;
}

struct Quantiser {
  int divisor[2][64];     // encoding divisors, natural order (0 luminance, 1 chrominance)
  int multiplier[2][64];  // the decoder's multipliers, to keep its 16-bit products exact
  explicit Quantiser(int quality) {
    const int scale = quality >= 50 ? 200 - 2 * quality : 5000 / quality;
    const int* bases[2] = {kBaseLuminance, kBaseChrominance};
    for (int t = 0; t < 2; ++t) {
      for (int i = 0; i < 64; ++i) {
        int q = (scale * bases[t][i] + 50) / 100;
        q = q < 8 ? 8 : (q > 255 ? 255 : q);
        divisor[t][i] = (kAan[i] * q + 1024) >> 11;
        multiplier[t][i] = (kAan[i] * q) >> 13;
      }
    }
  }
};

// One block of B,G,R pixels to three planes of quantised coefficients in stream order.
void Block_Coefficients(const unsigned char* pixels, const Quantiser& quantiser, int out[3][64]) {
  int planes[3][64];
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const unsigned char* p = pixels + (y * kWidth + x) * 3;
      const int b = p[0], g = p[1], r = p[2];
      const int luma = (b + 6 * g + 3 * r) / 10;
      planes[0][y * 8 + x] = luma - 128;
      planes[1][y * 8 + x] = (b - luma) / 2;
      planes[2][y * 8 + x] = 10 * (r - luma) / 16;
    }
  }
  for (int k = 0; k < 3; ++k) {
    for (int row = 0; row < 8; ++row) Forward_Pass(planes[k] + row * 8, 1);
    for (int column = 0; column < 8; ++column) Forward_Pass(planes[k] + column, 8);
    const int table = k == 0 ? 0 : 1;
    for (int pos = 0; pos < 64; ++pos) {
      const int n = kZigzag[pos];
      const int q = quantiser.divisor[table][n];
      const int v = planes[k][n];
      int c = v >= 0 ? (v + q / 2) / q : -((q / 2 - v) / q);
      // Byte codes hold -128..127, and the decoder keeps each product in 16 bits.
      const int limit = 32767 / quantiser.multiplier[table][n];
      const int high = limit < 127 ? limit : 127, low = limit < 128 ? -limit : -128;
      out[k][pos] = c < low ? low : (c > high ? high : c);
    }
  }
}

struct Nibble_Writer {
  std::vector<unsigned char>& out;
  size_t count = 0;  // nibbles written after the header
  size_t base;
  void Put(int nibble) {
    if ((count & 1) == 0) {
      out.push_back(static_cast<unsigned char>(nibble & 15));
    } else {
      out.back() = static_cast<unsigned char>(out.back() | (nibble & 15) << 4);
    }
    ++count;
  }
  void Byte(int value) {
    Put((value >> 4) & 15);
    Put(value & 15);
  }
};

bool Is_Small(int v) { return v == 1 || v == 2 || v == -1 || v == -2; }
bool Is_Wide(int v) { return v != 0 && v >= -8 && v <= 8; }
int Small_Field(int v) { return v > 0 ? v - 1 : v + 4; }
int Wide_Nibble(int v) { return v > 0 ? v - 1 : v + 16; }

// Codes one plane: the DC byte, then the cheapest opcode a greedy look at the
// next zeros and values finds, until the last non-zero coefficient is placed.
void Write_Plane(Nibble_Writer& w, const int* c) {
  w.Byte(c[0]);
  int last = 0;
  for (int p = 1; p < 64; ++p) {
    if (c[p] != 0) last = p;
  }
  int p = 1;
  while (p <= last) {
    int zeros = 0;
    while (c[p + zeros] == 0) ++zeros;  // stops at `last` at the latest
    auto run_of = [&](int from, bool (*kind)(int), int most) {
      int n = 0;
      while (n < most && from + n <= last && kind(c[from + n])) ++n;
      return n;
    };
    if (zeros >= 5) {
      w.Put(1);
      p += 5;
      continue;
    }
    if (zeros >= 1) {
      const int at = p + zeros;
      const int smalls = run_of(at, Is_Small, 5);
      const int wides = run_of(at, Is_Wide, 4);
      if (smalls >= 2 && (smalls >= wides || smalls >= 3)) {
        w.Put(8);
        w.Put(((zeros - 1) << 2) | (smalls - 2));
        for (int i = 0; i < smalls; i += 2) {
          const int second = i + 1 < smalls ? Small_Field(c[at + i + 1]) : 0;
          w.Put(Small_Field(c[at + i]) << 2 | second);
        }
        p = at + smalls;
      } else if (zeros <= 3 && (c[at] == 1 || c[at] == -1) && wides < 2) {
        w.Put(2 * zeros + (c[at] < 0 ? 1 : 0));
        p = at + 1;
      } else if (wides >= 1) {
        w.Put(9);
        w.Put(((zeros - 1) << 2) | (wides - 1));
        for (int i = 0; i < wides; ++i) w.Put(Wide_Nibble(c[at + i]));
        p = at + wides;
      } else {
        w.Put(14);  // the value after needs a byte
        p += 1;
      }
      continue;
    }
    const int smalls = run_of(p, Is_Small, 2);
    const int wides = run_of(p, Is_Wide, 3);
    if (smalls == 2 && wides < 3) {
      w.Put(10);
      w.Put(Small_Field(c[p]) << 2 | Small_Field(c[p + 1]));
      p += 2;
    } else if (wides >= 1) {
      w.Put(10 + wides);
      for (int i = 0; i < wides; ++i) w.Put(Wide_Nibble(c[p + i]));
      p += wides;
    } else {
      w.Put(15);
      w.Byte(c[p]);
      p += 1;
    }
  }
  if (p <= 63) w.Put(0);
}

int Run_Pack(std::vector<std::string>& args) {
  std::string text;
  long long quality = 0;
  if (!Tool_Take_Option(args, "--quality", text)) return Usage("missing --quality");
  if (!Tool_Parse_Int(text, quality) || quality < 1 || quality > 100) return Usage("bad value for --quality: " + text);
  if (args.size() != 2) return Usage("expected IN and OUT");
  std::vector<unsigned char> in;
  if (!Tool_Read_File(args[0], in)) return Tool_Fail("cannot read " + args[0]);
  const size_t expected = static_cast<size_t>(kWidth) * kHeight * 3;
  if (in.size() != expected) {
    return Tool_Fail(args[0] + ": expected " + std::to_string(expected) + " bytes of pixels, found " +
                     std::to_string(in.size()));
  }
  std::vector<unsigned char> out(36, 0);
  std::memcpy(out.data(), TESSALIN_SIGNATURE, sizeof TESSALIN_SIGNATURE);
  for (int i = 0; i < 4; ++i) out[32 + i] = static_cast<unsigned char>(static_cast<uint32_t>(quality) >> (8 * i));
  Nibble_Writer writer{out, 0, 36};
  const Quantiser quantiser(static_cast<int>(quality));
  int coefficients[3][64];
  for (int by = 0; by < kHeight / 8; ++by) {
    for (int bx = 0; bx < kWidth / 8; ++bx) {
      Block_Coefficients(in.data() + (static_cast<size_t>(by) * 8 * kWidth + bx * 8) * 3, quantiser, coefficients);
      for (int k = 0; k < 3; ++k) Write_Plane(writer, coefficients[k]);
    }
  }
  if (!Tool_Write_File(args[1], out.data(), out.size())) return Tool_Fail("cannot write " + args[1]);
  return Tool_Ok;
}

int Run_Unpack(std::vector<std::string>& args) {
  std::string text;
  if (!Tool_Take_Option(args, "--bits", text)) return Usage("missing --bits");
  if (text != "15" && text != "16") return Usage("bad value for --bits: " + text);
  if (args.size() != 2) return Usage("expected IN and OUT");
  std::vector<unsigned char> in;
  if (!Tool_Read_File(args[0], in)) return Tool_Fail("cannot read " + args[0]);
  std::vector<unsigned short> pixels(static_cast<size_t>(kWidth) * kHeight, 0);
  const int done = text == "16" ? Tessalin_Unpack_16_Sized(in.data(), in.size(), pixels.data())
                                : Tessalin_Unpack_15_Sized(in.data(), in.size(), pixels.data());
  if (!done) {
    const bool signed_ok = in.size() >= sizeof TESSALIN_SIGNATURE &&
                           std::memcmp(in.data(), TESSALIN_SIGNATURE, sizeof TESSALIN_SIGNATURE) == 0;
    return Tool_Fail(args[0] + (signed_ok ? ": record ends before its last block" : ": not a panorama record"));
  }
  std::vector<unsigned char> bytes(pixels.size() * 2);
  for (size_t i = 0; i < pixels.size(); ++i) {
    bytes[2 * i] = static_cast<unsigned char>(pixels[i]);
    bytes[2 * i + 1] = static_cast<unsigned char>(pixels[i] >> 8);
  }
  if (!Tool_Write_File(args[1], bytes.data(), bytes.size())) return Tool_Fail("cannot write " + args[1]);
  return Tool_Ok;
}

int Run(const std::vector<std::string>& args) {
  if (args.empty()) return Usage("missing action");
  std::vector<std::string> rest(args.begin() + 1, args.end());
  if (args[0] == "pack") return Run_Pack(rest);
  if (args[0] == "unpack") return Run_Unpack(rest);
  return Usage("unknown action " + args[0]);
}

const Tool_Registration kRegistration({"tessalin", kUsage, "pack and unpack panorama records", Run});

}  // namespace
