// Pixel-row routines over one 640 x 480 frame, to compare with BM_Frame_Memcpy.
// Each routine is called row by row as presenting and drawing call it; the
// reference versions are timed beside the fast ones.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "draw/rows.h"
#include "platform/display_modes.h"

namespace {
constexpr uint32_t width = 640, height = 480;

std::vector<uint16_t> random_frame(uint32_t seed, size_t count = width * height) {
  std::mt19937 rng(seed);
  std::vector<uint16_t> frame(count);
  for (auto& p : frame) p = static_cast<uint16_t>(rng());
  return frame;
}

void frame_bytes(benchmark::State& state) {
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(width * height * 2));
}

void BM_Row_Copy(benchmark::State& state) {
  auto source = random_frame(1);
  std::vector<uint16_t> target(width * height);
  for (auto _ : state) {
    for (uint32_t y = 0; y < height; ++y) Row_Copy(&source[y * width], &target[y * width], width * 2);
    benchmark::ClobberMemory();
  }
  frame_bytes(state);
}
BENCHMARK(BM_Row_Copy);

void BM_Row_Table_16(benchmark::State& state) {
  auto source = random_frame(2);
  std::vector<uint16_t> target(width * height);
  std::vector<uint32_t> table(65536);
  Colour_Table_Build(15, table.data());
  for (auto _ : state) {
    for (uint32_t y = 0; y < height; ++y) Row_Table_16(&source[y * width], &target[y * width], table.data(), width);
    benchmark::ClobberMemory();
  }
  frame_bytes(state);
}
BENCHMARK(BM_Row_Table_16);

template <void (*Routine)(const uint16_t*, uint16_t*, uint32_t, int32_t)>
void brightness(benchmark::State& state) {
  auto source = random_frame(3);
  std::vector<uint16_t> target(width * height);
  int32_t level = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    for (uint32_t y = 0; y < height; ++y) Routine(&source[y * width], &target[y * width], width, level);
    benchmark::ClobberMemory();
  }
  frame_bytes(state);
}
void BM_Row_Brightness(benchmark::State& state) { brightness<Row_Brightness>(state); }
void BM_Row_Brightness_Reference(benchmark::State& state) { brightness<row_reference::Row_Brightness>(state); }
BENCHMARK(BM_Row_Brightness)->Arg(100)->Arg(-100);
BENCHMARK(BM_Row_Brightness_Reference)->Arg(100)->Arg(-100);

template <void (*Routine)(const uint16_t*, const uint16_t*, uint16_t*, uint32_t)>
void add(benchmark::State& state) {
  auto a = random_frame(4), b = random_frame(5);
  std::vector<uint16_t> target(width * height);
  for (auto _ : state) {
    for (uint32_t y = 0; y < height; ++y) Routine(&a[y * width], &b[y * width], &target[y * width], width);
    benchmark::ClobberMemory();
  }
  frame_bytes(state);
}
void BM_Row_Add(benchmark::State& state) { add<Row_Add>(state); }
void BM_Row_Add_Reference(benchmark::State& state) { add<row_reference::Row_Add>(state); }
BENCHMARK(BM_Row_Add);
BENCHMARK(BM_Row_Add_Reference);

// A 320 x 240 picture scaled up to the whole frame, and a 1024 x 768 one down.
template <void (*Routine)(const uint16_t*, uint32_t, uint32_t, uint16_t*, uint32_t, uint32_t)>
void scale(benchmark::State& state) {
  uint32_t sw = static_cast<uint32_t>(state.range(0)), sh = sw * 3 / 4;
  auto source = random_frame(6, sw * sh);
  std::vector<uint16_t> target(width * height);
  for (auto _ : state) {
    Routine(source.data(), sw, sh, target.data(), width, height);
    benchmark::ClobberMemory();
  }
  frame_bytes(state);
}
void BM_Block_Scale(benchmark::State& state) { scale<Block_Scale>(state); }
void BM_Block_Scale_Reference(benchmark::State& state) { scale<row_reference::Block_Scale>(state); }
BENCHMARK(BM_Block_Scale)->Arg(320)->Arg(1024);
BENCHMARK(BM_Block_Scale_Reference)->Arg(320)->Arg(1024);

}  // namespace
