#include "sound/mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/byte_order.h"

struct Mixer::Buffer {
  int id = 0;
  Mixer_Format format;
  uint32_t block = 0;   // bytes per frame
  uint32_t frames = 0;  // whole frames held
  std::vector<uint8_t> data;
  uint64_t cursor = 0;  // play position in frames, 32.32 fixed point
  uint64_t step = 0;    // source frames per output frame, 32.32
  bool playing = false;
  bool looping = false;
  int32_t volume = 0;
  int32_t pan = 0;
  int32_t gain_left = 65536;
  int32_t gain_right = 65536;
};

namespace {
// Mixing works on blocks of this many output frames, taking the lock once per block
// so that a writer never waits for more than one block's work.
constexpr size_t Chunk_Frames = 512;

double decibel_hundredths_to_linear(int32_t hundredths) { return std::pow(10.0, hundredths / 2000.0); }

template <int Bits, int Channels>
inline void fetch(const uint8_t* data, uint32_t frame, int32_t& left, int32_t& right) {
  if constexpr (Bits == 8) {
    const uint8_t* p = data + static_cast<size_t>(frame) * Channels;
    left = (static_cast<int32_t>(p[0]) - 128) << 8;
    right = Channels == 2 ? (static_cast<int32_t>(p[1]) - 128) << 8 : left;
  } else {
    const uint8_t* p = data + static_cast<size_t>(frame) * 2 * Channels;
    left = static_cast<int16_t>(Load_Le16(p));
    right = Channels == 2 ? static_cast<int16_t>(Load_Le16(p + 2)) : left;
  }
}

// Adds `frames` output frames of one buffer into the accumulator and advances its
// cursor. Between two source frames the sample is interpolated linearly; past the
// last frame the interpolation reaches the first one when looping, else it holds.
template <int Bits, int Channels>
void mix_buffer(Mixer::Buffer& buffer, int32_t* accumulator, size_t frames) {
  const uint8_t* data = buffer.data.data();
  const uint64_t end = static_cast<uint64_t>(buffer.frames) << 32;
  const uint64_t step = buffer.step;
  const int32_t gain_left = buffer.gain_left;
  const int32_t gain_right = buffer.gain_right;
  uint64_t cursor = buffer.cursor;
  for (size_t i = 0; i < frames; ++i) {
    const uint32_t index = static_cast<uint32_t>(cursor >> 32);
    const uint32_t fraction = static_cast<uint32_t>(cursor) >> 16;
    int32_t left, right;
    fetch<Bits, Channels>(data, index, left, right);
    if (fraction != 0) {
      uint32_t next = index + 1;
      if (next >= buffer.frames) next = buffer.looping ? 0 : index;
      int32_t next_left, next_right;
      fetch<Bits, Channels>(data, next, next_left, next_right);
      left += static_cast<int32_t>((static_cast<int64_t>(next_left - left) * fraction) >> 16);
      right += static_cast<int32_t>((static_cast<int64_t>(next_right - right) * fraction) >> 16);
    }
    accumulator[2 * i] += (left * gain_left) >> 16;
    accumulator[2 * i + 1] += (right * gain_right) >> 16;
    cursor += step;
    if (cursor >= end) {
      if (buffer.looping) {
        cursor %= end;
      } else {
        buffer.playing = false;
        cursor = 0;
        break;
      }
    }
  }
  buffer.cursor = cursor;
}
}  // namespace

void Mixer_Gains(int32_t volume, int32_t pan, int32_t* left, int32_t* right) {
  volume = std::clamp(volume, Mixer_Volume_Silent, 0);
  pan = std::clamp(pan, Mixer_Pan_Left, Mixer_Pan_Right);
  // At -100 dB and beyond the buffer is silent, exactly.
  double amplitude = volume <= Mixer_Volume_Silent ? 0.0 : decibel_hundredths_to_linear(volume);
  // A pan to one side attenuates the other side by that many hundredths of a decibel.
  double left_factor = pan >= Mixer_Pan_Right ? 0.0 : pan > 0 ? decibel_hundredths_to_linear(-pan) : 1.0;
  double right_factor = pan <= Mixer_Pan_Left ? 0.0 : pan < 0 ? decibel_hundredths_to_linear(pan) : 1.0;
  *left = static_cast<int32_t>(std::lround(65536.0 * amplitude * left_factor));
  *right = static_cast<int32_t>(std::lround(65536.0 * amplitude * right_factor));
}

Mixer::Mixer(uint32_t output_rate) : output_rate_(output_rate), accumulator_(2 * Chunk_Frames) {}

Mixer::~Mixer() = default;

Mixer::Buffer* Mixer::find(int buffer) {
  for (auto& b : buffers_) {
    if (b->id == buffer) return b.get();
  }
  return nullptr;
}

int Mixer::create(const Mixer_Format& format, uint32_t size, const void* initial) {
  if (format.bits != 8 && format.bits != 16) return 0;
  if (format.channels != 1 && format.channels != 2) return 0;
  if (format.rate < 100 || format.rate > 200000) return 0;
  const uint32_t block = format.bits / 8 * format.channels;
  if (size < block) return 0;
  auto b = std::make_unique<Buffer>();
  b->format = format;
  b->block = block;
  b->frames = size / block;
  if (initial != nullptr) {
    const auto* bytes = static_cast<const uint8_t*>(initial);
    b->data.assign(bytes, bytes + size);
  } else {
    b->data.assign(size, format.bits == 8 ? 0x80 : 0);
  }
  b->step = (static_cast<uint64_t>(format.rate) << 32) / output_rate_;
  std::lock_guard lock(mutex_);
  if (next_id_ <= 0) next_id_ = 1;  // ids stay positive even after wrapping
  b->id = next_id_++;
  buffers_.push_back(std::move(b));
  return buffers_.back()->id;
}

void Mixer::release(int buffer) {
  std::unique_ptr<Buffer> dropped;  // freed after the lock is let go
  {
    std::lock_guard lock(mutex_);
    for (auto it = buffers_.begin(); it != buffers_.end(); ++it) {
      if ((*it)->id == buffer) {
        dropped = std::move(*it);
        buffers_.erase(it);
        break;
      }
    }
  }
}

void Mixer::release_all() {
  std::vector<std::unique_ptr<Buffer>> dropped;
  {
    std::lock_guard lock(mutex_);
    dropped.swap(buffers_);
  }
}

bool Mixer::write(int buffer, uint32_t offset, const void* data, uint32_t count) {
  std::lock_guard lock(mutex_);
  Buffer* b = find(buffer);
  if (b == nullptr || offset > b->data.size() || count > b->data.size() - offset) return false;
  if (count != 0) std::memcpy(b->data.data() + offset, data, count);
  return true;
}

bool Mixer::play(int buffer, bool loop) {
  std::lock_guard lock(mutex_);
  Buffer* b = find(buffer);
  if (b == nullptr) return false;
  b->playing = true;
  b->looping = loop;
  return true;
}

bool Mixer::stop(int buffer) {
  std::lock_guard lock(mutex_);
  Buffer* b = find(buffer);
  if (b == nullptr) return false;
  b->playing = false;
  return true;
}

bool Mixer::set_position(int buffer, uint32_t byte_offset) {
  std::lock_guard lock(mutex_);
  Buffer* b = find(buffer);
  if (b == nullptr || byte_offset >= b->data.size()) return false;
  uint32_t frame = std::min(byte_offset / b->block, b->frames - 1);
  b->cursor = static_cast<uint64_t>(frame) << 32;
  return true;
}

bool Mixer::set_volume(int buffer, int32_t hundredths) {
  std::lock_guard lock(mutex_);
  Buffer* b = find(buffer);
  if (b == nullptr) return false;
  b->volume = std::clamp(hundredths, Mixer_Volume_Silent, 0);
  Mixer_Gains(b->volume, b->pan, &b->gain_left, &b->gain_right);
  return true;
}

bool Mixer::set_pan(int buffer, int32_t hundredths) {
  std::lock_guard lock(mutex_);
  Buffer* b = find(buffer);
  if (b == nullptr) return false;
  b->pan = std::clamp(hundredths, Mixer_Pan_Left, Mixer_Pan_Right);
  Mixer_Gains(b->volume, b->pan, &b->gain_left, &b->gain_right);
  return true;
}

int Mixer::status(int buffer) {
  std::lock_guard lock(mutex_);
  Buffer* b = find(buffer);
  if (b == nullptr) return -1;
  return (b->playing ? Mixer_Playing : 0) | (b->looping ? Mixer_Looping : 0);
}

int64_t Mixer::position(int buffer) {
  std::lock_guard lock(mutex_);
  Buffer* b = find(buffer);
  if (b == nullptr) return -1;
  return static_cast<int64_t>(b->cursor >> 32) * b->block;
}

size_t Mixer::buffer_count() {
  std::lock_guard lock(mutex_);
  return buffers_.size();
}

void Mixer::mix(int16_t* out, size_t frames) {
  while (frames > 0) {
    size_t n = std::min(frames, Chunk_Frames);
    mix_chunk(out, n);
    out += 2 * n;
    frames -= n;
  }
}

void Mixer::mix_chunk(int16_t* out, size_t frames) {
  std::lock_guard lock(mutex_);
  int32_t* accumulator = accumulator_.data();
  std::fill(accumulator, accumulator + 2 * frames, 0);
  for (auto& b : buffers_) {
    if (!b->playing) continue;
    const bool stereo = b->format.channels == 2;
    if (b->format.bits == 16) {
      stereo ? mix_buffer<16, 2>(*b, accumulator, frames) : mix_buffer<16, 1>(*b, accumulator, frames);
    } else {
      stereo ? mix_buffer<8, 2>(*b, accumulator, frames) : mix_buffer<8, 1>(*b, accumulator, frames);
    }
  }
  for (size_t i = 0; i < 2 * frames; ++i) {
    out[i] = static_cast<int16_t>(std::clamp(accumulator[i], -32768, 32767));
  }
}
