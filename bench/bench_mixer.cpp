// The software mixer: one second of 44.1 kHz output with eight 16-bit stereo
// channels and the music stream (a 32768-byte looping buffer refilled a half at a
// time), mixed in the device callback's blocks of 1024 frames. The counter
// "core_percent" is the share of one core that real-time output costs.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "sound/mixer.h"

namespace {
std::vector<uint8_t> noise_bytes(size_t size, uint32_t seed) {
  std::vector<uint8_t> out(size);
  for (auto& b : out) {
    seed = seed * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(seed >> 24);
  }
  return out;
}

void mix_one_second(benchmark::State& state, uint32_t channel_rate) {
  constexpr uint32_t Rate = 44100;
  Mixer mixer(Rate);
  std::vector<uint8_t> sound = noise_bytes(4 * 50000, 1);
  for (int i = 0; i < 8; ++i) {
    int b = mixer.create({channel_rate, 16, 2}, static_cast<uint32_t>(sound.size()));
    mixer.write(b, 0, sound.data(), static_cast<uint32_t>(sound.size()));
    mixer.set_volume(b, -300 * i);
    mixer.set_pan(b, 1000 * i - 4000);
    mixer.play(b, true);
  }
  std::vector<uint8_t> block = noise_bytes(16384, 2);
  int music = mixer.create({Rate, 16, 2}, 32768);
  mixer.write(music, 0, block.data(), 16384);
  mixer.play(music, true);

  std::vector<int16_t> out(2 * 1024);
  for (auto _ : state) {
    bool first_half_next = false;
    for (uint32_t done = 0; done < Rate; done += 1024) {
      mixer.mix(out.data(), 1024);
      // The music refill, as the stream does it each frame.
      int64_t position = mixer.position(music);
      if (first_half_next ? position >= 16384 : position < 16384) {
        mixer.write(music, first_half_next ? 0 : 16384, block.data(), 16384);
        first_half_next = !first_half_next;
      }
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.counters["core_percent"] = benchmark::Counter(
      static_cast<double>(state.iterations()) / 100.0, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.SetItemsProcessed(state.iterations() * Rate);
}

void BM_Mixer_8_Channels_And_Music_1s(benchmark::State& state) { mix_one_second(state, 44100); }
// The same with the eight channels at 22050 Hz, through the interpolating path.
void BM_Mixer_8_Resampled_Channels_And_Music_1s(benchmark::State& state) { mix_one_second(state, 22050); }
}  // namespace

BENCHMARK(BM_Mixer_8_Channels_And_Music_1s)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Mixer_8_Resampled_Channels_And_Music_1s)->Unit(benchmark::kMicrosecond);
