// The channel table over the mixer, the output (device or frame-clock pull) and
// the conversions of the engine's volume and pan scales.
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/clock.h"
#include "sound/audio_device.h"
#include "sound/mixer.h"
#include "sound/sound.h"
#include "sound/sound_internal.h"

namespace {
struct Channel {
  uint32_t flags = 0;            // 0: free
  const Sound* sound = nullptr;  // not owned
  int buffer = 0;                // the mixer buffer playing it
};

using Music_Stopper = void (*)();

struct Channels_State {
  // Guarded by Sound_Lock().
  Channel channels[Sound_Channel_Count];
  std::vector<int> one_shots;  // buffers of sounds started with flags 0: outside the table
  std::vector<int> owned;      // buffers of Sound_Play_Owned, until their owner releases them
  bool initialised = false;
  int32_t status = -1;
  Sound_Output output_mode = Sound_Output::Device;
  Sound_Output active_mode = Sound_Output::Device;
  Sound_Pull_Sink pull_sink = nullptr;
  void* pull_sink_user = nullptr;
  int64_t pull_remainder = 0;  // sample-milliseconds not yet mixed
  std::vector<int16_t> pull_block;
  Music_Stopper music_stopper = nullptr;
};

Channels_State state;

void release_channel(Channel& channel) {
  Sound_Mixer().release(channel.buffer);
  channel = Channel{};
}

void refresh_locked() {
  Mixer& mixer = Sound_Mixer();
  for (Channel& channel : state.channels) {
    if (channel.flags == 0) continue;
    int state = mixer.status(channel.buffer);
    if (state < 0 || (state & Mixer_Playing) == 0) release_channel(channel);
  }
  std::erase_if(state.one_shots, [&mixer](int buffer) {
    int state = mixer.status(buffer);
    if (state >= 0 && (state & Mixer_Playing) != 0) return false;
    mixer.release(buffer);
    return true;
  });
}

Channel* channel_in_use(int channel) {
  if (channel < 1 || channel > Sound_Channel_Count) return nullptr;
  Channel& entry = state.channels[channel - 1];
  return entry.flags != 0 ? &entry : nullptr;
}

void apply_volume_pan(int buffer, int volume, int pan) {
  Mixer& mixer = Sound_Mixer();
  mixer.set_volume(buffer, Sound_Volume_To_Hundredths(volume));
  mixer.set_pan(buffer, Sound_Pan_To_Hundredths(pan));
}
}  // namespace

std::recursive_mutex& Sound_Lock() {
  static std::recursive_mutex lock;
  return lock;
}

Mixer& Sound_Mixer() {
  static Mixer mixer(Sound_Output_Rate);
  return mixer;
}

bool Sound_Channel_Write(int channel, uint32_t offset, const void* data, uint32_t count) {
  std::lock_guard lock(Sound_Lock());
  Channel* entry = channel_in_use(channel);
  return entry != nullptr && Sound_Mixer().write(entry->buffer, offset, data, count);
}

void Sound_Set_Music_Stopper(void (*stopper)()) {
  std::lock_guard lock(Sound_Lock());
  state.music_stopper = stopper;
}

int32_t Sound_Volume_To_Hundredths(int volume) {
  volume = std::clamp(volume, 0, 255);
  if (volume == 0) return Mixer_Volume_Silent;
  if (volume == 255) return 0;
  return static_cast<int32_t>(-2000.0 * std::log10(255.0 / volume));  // truncated toward zero
}

int32_t Sound_Pan_To_Hundredths(int pan) { return std::clamp(pan, -255, 255) * 10; }

void Sound_Set_Output_Mode(Sound_Output mode) {
  std::lock_guard lock(Sound_Lock());
  state.output_mode = mode;
}

Sound_Output Sound_Get_Output_Mode() {
  std::lock_guard lock(Sound_Lock());
  return state.output_mode;
}

void Sound_Set_Pull_Sink(Sound_Pull_Sink sink, void* user) {
  std::lock_guard lock(Sound_Lock());
  state.pull_sink = sink;
  state.pull_sink_user = user;
}

void Sound_Pull(int32_t ms) {
  std::lock_guard lock(Sound_Lock());
  if (!state.initialised || state.active_mode != Sound_Output::Pull || ms <= 0) return;
  // Whole output frames for this frame's length; the fraction carries over so that
  // frames of 30 ms, say, consume exactly 1323 samples each.
  state.pull_remainder += static_cast<int64_t>(ms) * Sound_Output_Rate;
  size_t frames = static_cast<size_t>(state.pull_remainder / 1000);
  state.pull_remainder %= 1000;
  state.pull_block.resize(2 * frames);
  Sound_Mixer().mix(state.pull_block.data(), frames);
  if (state.pull_sink != nullptr)
    state.pull_sink(state.pull_block.data(), static_cast<int>(frames), state.pull_sink_user);
}

int Sound_Init() {
  std::lock_guard lock(Sound_Lock());
  if (state.initialised) {
    state.status = -1;
    return -1;
  }
  state.active_mode = state.output_mode;
  if (state.active_mode == Sound_Output::Device) {
    if (!Audio_Device_Open(&Sound_Mixer())) {
      state.status = -1;
      return -1;
    }
  } else {
    state.pull_remainder = 0;
    Clock_Set_Tick_Listener(Sound_Pull);
  }
  for (Channel& channel : state.channels) channel = Channel{};
  state.one_shots.clear();
  state.owned.clear();
  state.initialised = true;
  state.status = 0;
  return 0;
}

void Sound_Shutdown() {
  void (*stop_music)() = nullptr;
  {
    std::lock_guard lock(Sound_Lock());
    stop_music = state.music_stopper;
  }
  if (stop_music != nullptr) stop_music();
  Stream_Stop();
  std::lock_guard lock(Sound_Lock());
  if (!state.initialised) return;
  for (int channel = 1; channel <= Sound_Channel_Count; ++channel) Sound_Stop(channel);
  // Stop the output first so that nothing mixes while the buffers go.
  if (state.active_mode == Sound_Output::Device) {
    Audio_Device_Close();
  } else {
    Clock_Set_Tick_Listener(nullptr);
  }
  Sound_Mixer().release_all();
  state.one_shots.clear();
  state.owned.clear();
  state.initialised = false;
  state.status = -1;
}

int32_t Sound_Status() {
  std::lock_guard lock(Sound_Lock());
  return state.status;
}

int Sound_Play(const Sound* sound, int volume, int pan, uint32_t flags) {
  std::lock_guard lock(Sound_Lock());
  if (!state.initialised || sound == nullptr) return -1;
  refresh_locked();
  volume = std::clamp(volume, 0, 255);
  pan = std::clamp(pan, -255, 255);

  // Without bit 1 only a free entry will do; with it, also one whose sound does
  // not loop (looping sounds are never cut off).
  int chosen = -1;
  for (int i = 0; i < Sound_Channel_Count && chosen < 0; ++i) {
    if (state.channels[i].flags == 0 || ((flags & 2) != 0 && (state.channels[i].flags & 1) == 0)) chosen = i;
  }
  if (chosen < 0) return -1;
  Channel& entry = state.channels[chosen];
  if (entry.flags != 0) release_channel(entry);

  Mixer& mixer = Sound_Mixer();
  Mixer_Format format;
  format.rate = sound->rate;
  format.bits = sound->bits;
  format.channels = sound->stereo + 1;
  if (sound->data == nullptr) return -1;
  int buffer = mixer.create(format, sound->size, sound->data);
  if (buffer == 0) return -1;
  // Volume and pan first, so that not one sample plays at the wrong level.
  apply_volume_pan(buffer, volume, pan);
  if (!mixer.play(buffer, (flags & 1) != 0)) {
    mixer.release(buffer);
    return -1;
  }

  // A sound started with flags 0 leaves its entry free: it is kept aside until it
  // has played out, then released.
  if (flags == 0) {
    state.one_shots.push_back(buffer);
    return 0;
  }
  entry.flags = flags;
  entry.sound = sound;
  entry.buffer = buffer;
  return (flags & 1) != 0 ? chosen + 1 : 0;
}

int Sound_Play_Owned(const Sound* sound, int volume, int pan) {
  std::lock_guard lock(Sound_Lock());
  if (!state.initialised || sound == nullptr || sound->data == nullptr) return -1;
  Mixer& mixer = Sound_Mixer();
  Mixer_Format format;
  format.rate = sound->rate;
  format.bits = sound->bits;
  format.channels = sound->stereo + 1;
  int buffer = mixer.create(format, sound->size, sound->data);
  if (buffer == 0) return -1;
  apply_volume_pan(buffer, std::clamp(volume, 0, 255), std::clamp(pan, -255, 255));
  if (!mixer.play(buffer, false)) {
    mixer.release(buffer);
    return -1;
  }
  state.owned.push_back(buffer);
  return buffer;
}

void Sound_Release_Owned(int handle) {
  std::lock_guard lock(Sound_Lock());
  // Only handles given out by Sound_Play_Owned: a stale or foreign number must
  // not release a tracked channel's buffer.
  auto it = std::find(state.owned.begin(), state.owned.end(), handle);
  if (it == state.owned.end()) return;
  state.owned.erase(it);
  Sound_Mixer().release(handle);
}

void Sound_Stop(int channel) {
  std::lock_guard lock(Sound_Lock());
  Channel* entry = channel_in_use(channel);
  if (entry == nullptr) return;
  Sound_Mixer().stop(entry->buffer);
  release_channel(*entry);
}

void Sound_Set(int channel, int volume, int pan) {
  std::lock_guard lock(Sound_Lock());
  refresh_locked();
  Channel* entry = channel_in_use(channel);
  if (entry == nullptr) return;
  int state = Sound_Mixer().status(entry->buffer);
  if (state < 0) {
    release_channel(*entry);
    return;
  }
  if ((state & Mixer_Playing) != 0) apply_volume_pan(entry->buffer, volume, pan);
}

void Sound_Refresh() {
  std::lock_guard lock(Sound_Lock());
  refresh_locked();
}

int32_t Sound_Position(int channel) {
  std::lock_guard lock(Sound_Lock());
  refresh_locked();
  Channel* entry = channel_in_use(channel);
  if (entry == nullptr) return 0;
  int64_t position = Sound_Mixer().position(entry->buffer);
  if (position < 0) {
    release_channel(*entry);
    return 0;
  }
  return static_cast<int32_t>(position);
}

void sound_state::Reset_Channels() {
  Sound_Shutdown();
  std::lock_guard lock(Sound_Lock());
  // Buffers played while no output was set up are released too.
  Sound_Mixer().release_all();
  state = Channels_State{};
}
