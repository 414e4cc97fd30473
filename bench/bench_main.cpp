// osterlin-bench: timings of the engine's hot paths beside reference lines.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

// The reference line: a plain copy of one 640 x 480 16-bit frame.
static void BM_Frame_Memcpy(benchmark::State& state) {
  std::vector<unsigned short> source(640 * 480, 0x1234), target(640 * 480);
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), source.size() * 2);
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(source.size() * 2));
}
BENCHMARK(BM_Frame_Memcpy);

BENCHMARK_MAIN();
