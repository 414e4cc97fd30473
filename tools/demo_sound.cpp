// Sounds for the demo game, synthesised: a bell, a bird, a door's creak and a
// short arpeggio that loops cleanly as music. Written as 16-bit mono PCM WAV.
#include <cmath>
#include <cstdint>

#include "demo.h"

namespace {

constexpr double Pi = 3.14159265358979323846;

void put_u32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void put_u16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void put_tag(std::vector<uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

int16_t sample(double value) {
  value = std::fmax(-1.0, std::fmin(1.0, value));
  return static_cast<int16_t>(std::lround(value * 32000.0));
}

// A small fixed-seed generator, so the demo is the same on every run.
uint32_t next_random(uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return state >> 8;
}

}  // namespace

std::vector<uint8_t> Wav_File(const std::vector<int16_t>& samples, int rate) {
  std::vector<uint8_t> out;
  uint32_t data_size = static_cast<uint32_t>(samples.size() * 2);
  put_tag(out, "RIFF");
  put_u32(out, 36 + data_size);
  put_tag(out, "WAVE");
  put_tag(out, "fmt ");
  put_u32(out, 16);
  put_u16(out, 1);  // PCM
  put_u16(out, 1);  // mono
  put_u32(out, static_cast<uint32_t>(rate));
  put_u32(out, static_cast<uint32_t>(rate) * 2);
  put_u16(out, 2);
  put_u16(out, 16);
  put_tag(out, "data");
  put_u32(out, data_size);
  for (int16_t s : samples) put_u16(out, static_cast<uint16_t>(s));
  return out;
}

std::vector<int16_t> Synth_Chime(int rate) {
  std::vector<int16_t> out(static_cast<size_t>(rate * 1.2));
  for (size_t i = 0; i < out.size(); ++i) {
    double t = static_cast<double>(i) / rate;
    double envelope = std::exp(-3.5 * t) * std::fmin(1.0, t * 400.0);
    double tone = std::sin(2 * Pi * 880.0 * t) + 0.5 * std::sin(2 * Pi * 1320.0 * t) + 0.25 * std::sin(2 * Pi * 2217.0 * t);
    out[i] = sample(0.45 * envelope * tone);
  }
  return out;
}

std::vector<int16_t> Synth_Bird(int rate) {
  std::vector<int16_t> out(static_cast<size_t>(rate * 0.5), 0);
  double phase = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    double t = static_cast<double>(i) / rate;
    // Two chirps of 0.12 s, each sweeping up.
    double local = std::fmod(t, 0.22);
    if (local > 0.12 || t > 0.44) continue;
    double frequency = 2600.0 + 2400.0 * (local / 0.12);
    phase += 2 * Pi * frequency / rate;
    double envelope = std::sin(Pi * local / 0.12);
    out[i] = sample(0.4 * envelope * std::sin(phase));
  }
  return out;
}

std::vector<int16_t> Synth_Door(int rate) {
  std::vector<int16_t> out(static_cast<size_t>(rate * 0.9));
  uint32_t state = 12345;
  double phase = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    double t = static_cast<double>(i) / rate;
    double frequency = 95.0 + 40.0 * std::sin(2 * Pi * 1.3 * t);
    phase += 2 * Pi * frequency / rate;
    double saw = std::fmod(phase / (2 * Pi), 1.0) * 2.0 - 1.0;
    double noise = static_cast<double>(next_random(state) % 2001) / 1000.0 - 1.0;
    double envelope = std::sin(Pi * t / 0.9);
    out[i] = sample(envelope * (0.35 * saw + 0.08 * noise));
  }
  return out;
}

std::vector<int16_t> Synth_Music(int rate, int seconds) {
  // Am - F - C - G, one bar a second, eighth-note arpeggios over a soft bass.
  static constexpr double chords[4][3] = {
      {220.00, 261.63, 329.63}, {174.61, 220.00, 261.63}, {261.63, 329.63, 392.00}, {196.00, 246.94, 293.66}};
  std::vector<int16_t> out(static_cast<size_t>(rate) * seconds);
  for (size_t i = 0; i < out.size(); ++i) {
    double t = static_cast<double>(i) / rate;
    int bar = static_cast<int>(t) % 4;
    double in_bar = t - std::floor(t);
    int step = static_cast<int>(in_bar * 8.0);
    double in_step = in_bar * 8.0 - step;
    static constexpr int pattern[8] = {0, 1, 2, 1, 0, 1, 2, 1};
    double note = chords[bar][pattern[step]] * (step >= 4 ? 2.0 : 1.0);
    double pluck = std::exp(-6.0 * in_step / 8.0 * 8.0) * std::fmin(1.0, in_step * 200.0);
    double bass = 0.3 * std::sin(2 * Pi * chords[bar][0] / 2.0 * t) * (1.0 - 0.5 * in_bar);
    double value = 0.35 * pluck * (std::sin(2 * Pi * note * t) + 0.3 * std::sin(4 * Pi * note * t)) + bass;
    // The last few milliseconds fade so the loop point does not click.
    double tail = static_cast<double>(out.size() - i) / rate;
    if (tail < 0.01) value *= tail / 0.01;
    out[i] = sample(value * 0.8);
  }
  return out;
}
