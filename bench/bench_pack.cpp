// Pack methods: decode throughput of methods 1, 3, 5, 6 and 7 and pack
// throughput of methods 3 and 5, on a 640 x 480 16-bit picture and on text of
// the same size, with LZ4 and zlib decoding the same data as reference lines.
#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "files/pack_methods.h"
#include "support/sample_data.h"

#ifdef BENCH_HAVE_LZ4
#include <lz4.h>
#endif
#ifdef BENCH_HAVE_ZLIB
#include <zlib.h>
#endif

namespace {

enum Sample { Picture = 0, Text = 1 };

const std::vector<uint8_t>& sample(int which) {
  static const std::vector<uint8_t> picture = Sample_Picture_16();
  static const std::vector<uint8_t> text = Sample_Text(640 * 480 * 2);
  return which == Picture ? picture : text;
}

const std::vector<uint8_t>& packed(int method, int which) {
  static std::map<std::pair<int, int>, std::vector<uint8_t>> cache;
  auto key = std::make_pair(method, which);
  auto it = cache.find(key);
  if (it == cache.end()) {
    const auto& data = sample(which);
    it = cache.emplace(key, Pack_Encode(method, data.data(), data.size())).first;
  }
  return it->second;
}

const char* sample_name(int which) { return which == Picture ? "picture" : "text"; }

void BM_Pack_Decode(benchmark::State& state) {
  const int method = static_cast<int>(state.range(0));
  const int which = static_cast<int>(state.range(1));
  const auto& data = sample(which);
  const auto& stream = packed(method, which);
  std::vector<uint8_t> out(data.size(), 0);
  for (auto _ : state) {
    if (Pack_Decode(method, stream.data(), stream.size(), out.data(), out.size()) != 0) {
      state.SkipWithError("decode failed");
      break;
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  if (out != data) state.SkipWithError("decoded data differs");
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(data.size()));
  state.SetLabel(std::string(sample_name(which)) + " ratio " +
                 std::to_string(static_cast<double>(stream.size()) / static_cast<double>(data.size())).substr(0, 5));
}
BENCHMARK(BM_Pack_Decode)
    ->ArgNames({"method", "text"})
    ->ArgsProduct({{1, 3, 5, 6, 7}, {Picture, Text}})
    ->Unit(benchmark::kMicrosecond);

void BM_Pack_Encode(benchmark::State& state) {
  const int method = static_cast<int>(state.range(0));
  const int which = static_cast<int>(state.range(1));
  const auto& data = sample(which);
  size_t size = 0;
  for (auto _ : state) {
    std::vector<uint8_t> stream = Pack_Encode(method, data.data(), data.size());
    size = stream.size();
    benchmark::DoNotOptimize(stream.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(data.size()));
  state.SetLabel(std::string(sample_name(which)) + " packed " + std::to_string(size));
}
BENCHMARK(BM_Pack_Encode)
    ->ArgNames({"method", "text"})
    ->ArgsProduct({{3, 5}, {Picture, Text}})
    ->Unit(benchmark::kMillisecond);

#ifdef BENCH_HAVE_LZ4
void BM_Reference_Lz4_Decode(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  const auto& data = sample(which);
  std::vector<char> stream(static_cast<size_t>(LZ4_compressBound(static_cast<int>(data.size()))));
  const int n = LZ4_compress_default(reinterpret_cast<const char*>(data.data()), stream.data(),
                                     static_cast<int>(data.size()), static_cast<int>(stream.size()));
  std::vector<char> out(data.size());
  for (auto _ : state) {
    const int got = LZ4_decompress_safe(stream.data(), out.data(), n, static_cast<int>(out.size()));
    if (got != static_cast<int>(data.size())) {
      state.SkipWithError("lz4 failed");
      break;
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(data.size()));
  state.SetLabel(std::string(sample_name(which)) + " ratio " +
                 std::to_string(static_cast<double>(n) / static_cast<double>(data.size())).substr(0, 5));
}
BENCHMARK(BM_Reference_Lz4_Decode)->ArgName("text")->Arg(Picture)->Arg(Text)->Unit(benchmark::kMicrosecond);
#endif

#ifdef BENCH_HAVE_ZLIB
void BM_Reference_Zlib_Inflate(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  const auto& data = sample(which);
  uLongf n = compressBound(static_cast<uLong>(data.size()));
  std::vector<Bytef> stream(n);
  compress2(stream.data(), &n, data.data(), static_cast<uLong>(data.size()), Z_DEFAULT_COMPRESSION);
  std::vector<Bytef> out(data.size());
  for (auto _ : state) {
    uLongf got = static_cast<uLongf>(out.size());
    if (uncompress(out.data(), &got, stream.data(), n) != Z_OK || got != data.size()) {
      state.SkipWithError("inflate failed");
      break;
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(data.size()));
  state.SetLabel(std::string(sample_name(which)) + " ratio " +
                 std::to_string(static_cast<double>(n) / static_cast<double>(data.size())).substr(0, 5));
}
BENCHMARK(BM_Reference_Zlib_Inflate)->ArgName("text")->Arg(Picture)->Arg(Text)->Unit(benchmark::kMicrosecond);
#endif

}  // namespace
