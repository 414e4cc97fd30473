// The software mixer that stands in for a sound card's buffers. Each buffer holds
// PCM samples in its own format (rate, 8 or 16 bits, one or two channels), a play
// cursor, a loop flag, a volume in hundredths of a decibel (-10000..0) and a pan
// (-10000 left .. 10000 right, the attenuation of the other side in hundredths of a
// decibel). Mix() resamples every playing buffer to the output rate (linear
// interpolation), applies gain and pan, sums and clips to 16-bit stereo.
//
// Every operation takes one internal lock for a short time, so buffers can be
// changed from any thread while another thread mixes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

struct Mixer_Format {
  uint32_t rate = 0;      // frames per second, 100 to 200000
  uint32_t bits = 0;      // 8 (unsigned) or 16 (signed little-endian)
  uint32_t channels = 0;  // 1 or 2
};

constexpr int32_t Mixer_Volume_Silent = -10000;
constexpr int32_t Mixer_Pan_Left = -10000;
constexpr int32_t Mixer_Pan_Right = 10000;

// Status bits of Mixer::status().
constexpr int Mixer_Playing = 1;
constexpr int Mixer_Looping = 2;

class Mixer {
 public:
  explicit Mixer(uint32_t output_rate);
  ~Mixer();
  Mixer(const Mixer&) = delete;
  Mixer& operator=(const Mixer&) = delete;

  uint32_t output_rate() const { return output_rate_; }

  // A new stopped buffer of `size` bytes, copied from `initial` (silence when
  // null) before the buffer is shown to the mixing thread, so a long sound costs
  // that thread no wait. 0 when the format is not one the mixer plays or the size
  // holds not even one frame.
  int create(const Mixer_Format& format, uint32_t size, const void* initial = nullptr);
  void release(int buffer);
  void release_all();
  // Copies bytes into the buffer at `offset` (the writer's lock of a region).
  bool write(int buffer, uint32_t offset, const void* data, uint32_t count);
  bool play(int buffer, bool loop);  // from the current cursor
  bool stop(int buffer);             // keeps the cursor
  bool set_position(int buffer, uint32_t byte_offset);
  bool set_volume(int buffer, int32_t hundredths);
  bool set_pan(int buffer, int32_t hundredths);
  int status(int buffer);            // Mixer_Playing | Mixer_Looping, or -1 for no such buffer
  int64_t position(int buffer);      // play cursor in bytes (whole frames), or -1
  size_t buffer_count();             // buffers held, playing or not

  // Writes `frames` frames of interleaved 16-bit stereo, mixing every playing
  // buffer and advancing their cursors. A non-looping buffer that reaches its end
  // stops with its cursor back at 0.
  void mix(int16_t* out, size_t frames);

  struct Buffer;

 private:
  Buffer* find(int buffer);
  void mix_chunk(int16_t* out, size_t frames);

  uint32_t output_rate_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<Buffer>> buffers_;
  std::vector<int32_t> accumulator_;
  int next_id_ = 1;
};

// Linear gain of a volume and a pan in hundredths of a decibel, 65536 = unity.
void Mixer_Gains(int32_t volume, int32_t pan, int32_t* left, int32_t* right);
