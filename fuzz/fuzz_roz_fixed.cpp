// The fixed-size decoders on arbitrary streams; the fast decoder must give the
// plain decoder's pixels. Byte 0 picks the decoder, byte 1 the quality.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "roz/roz.h"
#include "roz/roz_reference.h"

namespace {
void Quiet(const char*, const char*) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  Roz_Set_Message_Handler(Quiet);
  const int choice = data[0] % 6;
  const int quality = data[1] % 101;
  std::vector<unsigned char> stream(data + 2, data + size);
  const int length = static_cast<int>(stream.size());
  using Decoder = void (*)(unsigned short*, unsigned char*, int, int);
  static const Decoder kDecoders[6] = {Unpack_Picture_Rgb_15_15_640_480,   Unpack_Picture_Rgb_15_16_640_480,
                                       Unpack_Picture_Rgb_16_16_640_480,   Unpack_Picture_Rgb_15_15_256_6144,
                                       Unpack_Picture_Rgb_15_16_256_6144, Unpack_Picture_Rgb_16_16_256_6144};
  const bool panorama = choice >= 3;
  const int width = panorama ? 256 : 640, height = panorama ? 6144 : 480;
  std::vector<unsigned short> fast(static_cast<size_t>(width) * height, 0);
  std::vector<unsigned short> plain(fast.size(), 0);
  kDecoders[choice](fast.data(), stream.data(), length, quality);
  const int fast_status = Roz_Last_Status();
  Roz_Reference_Unpack_Fixed(plain.data(), stream.data(), length, quality, width, height, choice % 3);
  if (Roz_Last_Status() != fast_status || fast != plain) std::abort();
  return 0;
}
