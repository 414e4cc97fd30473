// Panorama decoding: the fixed-size ROZ decoder beside libjpeg-turbo decoding the
// same 256 x 6144 picture (4:4:4 baseline, quality chosen for a similar size)
// to dithered RGB565, and the panorama record unpacker.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "roz/roz.h"
#include "roz/roz_reference.h"
#include "tessalin/tessalin.h"

#if defined(BENCH_HAVE_JPEG)
#include <jpeglib.h>
#endif

namespace {

constexpr int kWidth = 256, kHeight = 6144, kQuality = 75;

// A photograph-like panorama: broad gradients, mid-frequency texture and grain.
const std::vector<unsigned char>& Panorama_Pixels() {
  static const std::vector<unsigned char> pixels = [] {
    std::vector<unsigned char> p(static_cast<size_t>(kWidth) * kHeight * 3);
    std::mt19937 random(3);
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const double sky = 0.5 + 0.5 * std::sin(y / 300.0);
        const double texture = std::sin(x / 7.0 + std::sin(y / 23.0) * 3) * std::cos(y / 11.0);
        const double grain = static_cast<double>(random() % 17) - 8;
        auto channel = [&](double base, double tint) {
          double v = base + 60 * sky * tint + 35 * texture + grain;
          return static_cast<unsigned char>(v < 0 ? 0 : (v > 255 ? 255 : v));
        };
        unsigned char* q = &p[(static_cast<size_t>(y) * kWidth + x) * 3];
        q[0] = channel(90, 1.2);   // blue
        q[1] = channel(110, 0.6);  // green
        q[2] = channel(120, -0.4); // red
      }
    }
    return p;
  }();
  return pixels;
}

const std::vector<unsigned char>& Roz_Stream() {
  static const std::vector<unsigned char> stream = [] {
    std::vector<unsigned char> pixels = Panorama_Pixels();
    std::vector<unsigned char> out(static_cast<size_t>(Roz_Max_Stream_Size((kWidth / 8) * (kHeight / 8))));
    int length = 0;
    ROZ codec;
    codec.Pack_Picture_Rgb_24(out.data(), &length, pixels.data(), kWidth, kHeight, kQuality);
    out.resize(static_cast<size_t>(length));
    return out;
  }();
  return stream;
}

void BM_Roz_Panorama_16_16(benchmark::State& state) {
  std::vector<unsigned char> stream = Roz_Stream();
  std::vector<unsigned short> out(static_cast<size_t>(kWidth) * kHeight);
  for (auto _ : state) {
    Unpack_Picture_Rgb_16_16_256_6144(out.data(), stream.data(), static_cast<int>(stream.size()), kQuality);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.counters["stream_bytes"] = static_cast<double>(stream.size());
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_Roz_Panorama_16_16)->Unit(benchmark::kMillisecond);

void BM_Roz_Panorama_16_16_Plain(benchmark::State& state) {
  std::vector<unsigned char> stream = Roz_Stream();
  std::vector<unsigned short> out(static_cast<size_t>(kWidth) * kHeight);
  for (auto _ : state) {
    Roz_Reference_Unpack_Fixed(out.data(), stream.data(), static_cast<int>(stream.size()), kQuality, kWidth, kHeight,
                               2);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_Roz_Panorama_16_16_Plain)->Unit(benchmark::kMillisecond);

#if defined(BENCH_HAVE_JPEG)
std::vector<unsigned char> Jpeg_Encode(int quality) {
  const std::vector<unsigned char>& pixels = Panorama_Pixels();
  jpeg_compress_struct c;
  jpeg_error_mgr error;
  c.err = jpeg_std_error(&error);
  jpeg_create_compress(&c);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &buffer, &size);
  c.image_width = kWidth;
  c.image_height = kHeight;
  c.input_components = 3;
  c.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  for (int i = 0; i < 3; ++i) c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;  // 4:4:4
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = const_cast<unsigned char*>(&pixels[static_cast<size_t>(c.next_scanline) * kWidth * 3]);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  std::vector<unsigned char> out(buffer, buffer + size);
  jpeg_destroy_compress(&c);
  std::free(buffer);
  return out;
}

// The JPEG quality whose file size is nearest the ROZ stream's.
const std::vector<unsigned char>& Jpeg_Stream() {
  static const std::vector<unsigned char> stream = [] {
    const long target = static_cast<long>(Roz_Stream().size());
    int low = 1, high = 100;
    while (low < high) {
      int mid = (low + high) / 2;
      if (static_cast<long>(Jpeg_Encode(mid).size()) < target) low = mid + 1;
      else high = mid;
    }
    std::vector<unsigned char> best = Jpeg_Encode(low);
    if (low > 1) {
      std::vector<unsigned char> below = Jpeg_Encode(low - 1);
      if (std::labs(static_cast<long>(below.size()) - target) < std::labs(static_cast<long>(best.size()) - target)) {
        best = below;
      }
    }
    return best;
  }();
  return stream;
}

void BM_Jpeg_Panorama_Rgb565_Dithered(benchmark::State& state) {
  const std::vector<unsigned char>& stream = Jpeg_Stream();
  std::vector<unsigned short> out(static_cast<size_t>(kWidth) * kHeight);
  for (auto _ : state) {
    jpeg_decompress_struct d;
    jpeg_error_mgr error;
    d.err = jpeg_std_error(&error);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, stream.data(), stream.size());
    jpeg_read_header(&d, TRUE);
    d.out_color_space = JCS_RGB565;
    d.dither_mode = JDITHER_ORDERED;
    jpeg_start_decompress(&d);
    while (d.output_scanline < d.output_height) {
      JSAMPROW row = reinterpret_cast<JSAMPROW>(&out[static_cast<size_t>(d.output_scanline) * kWidth]);
      jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.counters["stream_bytes"] = static_cast<double>(stream.size());
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_Jpeg_Panorama_Rgb565_Dithered)->Unit(benchmark::kMillisecond);
#endif

const std::vector<unsigned char>& Tessalin_Record() {
  // A record of the same picture: signature, quality, then every block's planes
  // as DC bytes and end opcodes is enough to time the fixed per-block work.
  static const std::vector<unsigned char> record = [] {
    std::vector<unsigned char> r(36, 0);
    std::memcpy(r.data(), TESSALIN_SIGNATURE, sizeof TESSALIN_SIGNATURE);
    r[32] = kQuality;
    std::mt19937 random(5);
    // Per plane: DC byte (two nibbles), three small AC values (opcode 10 + pair,
    // opcode 11 + wide), end: 7 nibbles; blocks pack into whole bytes in pairs.
    const size_t planes = static_cast<size_t>(kWidth / 8) * (kHeight / 8) * 3;
    std::vector<unsigned char> nibbles;
    for (size_t p = 0; p < planes; ++p) {
      const int dc = static_cast<int>(random() % 64) - 32;
      nibbles.insert(nibbles.end(), {static_cast<unsigned char>((dc >> 4) & 15), static_cast<unsigned char>(dc & 15),
                                     10, static_cast<unsigned char>(random() % 16), 11,
                                     static_cast<unsigned char>(random() % 16), 0});
    }
    if (nibbles.size() % 2) nibbles.push_back(0);
    for (size_t i = 0; i < nibbles.size(); i += 2) r.push_back(static_cast<unsigned char>(nibbles[i] | nibbles[i + 1] << 4));
    return r;
  }();
  return record;
}

void BM_Tessalin_Unpack_16(benchmark::State& state) {
  const std::vector<unsigned char>& record = Tessalin_Record();
  std::vector<unsigned short> out(static_cast<size_t>(kWidth) * kHeight);
  for (auto _ : state) {
    int done = Tessalin_Unpack_16_Sized(record.data(), record.size(), out.data());
    benchmark::DoNotOptimize(done);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_Tessalin_Unpack_16)->Unit(benchmark::kMillisecond);

}  // namespace
