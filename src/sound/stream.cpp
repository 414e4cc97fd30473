// The double buffer: one looping channel whose two halves are refilled in turn
// while the other half plays.
#include <cstring>

#include "sound/sound.h"
#include "sound/sound_internal.h"

namespace {
struct Stream_State {
  // Guarded by Sound_Lock().
  bool active = false;
  bool first_half_next = false;  // which half the next Stream_Feed fills
  int stream_channel = 0;
  uint32_t half_size = 0;
  Sound* block = nullptr;  // the "Doublebuffer" record the channel was started from
};

Stream_State state;

void clear_stream() {
  Sound_Free(state.block);
  state.block = nullptr;
  state.active = false;
  state.stream_channel = 0;
}
}  // namespace

int Stream_Start(const void* data, uint32_t rate, uint32_t bits, uint32_t stereo, uint32_t buffer_size,
                 int volume, int pan) {
  std::lock_guard lock(Sound_Lock());
  // Sound_Play below refuses when there is no output.
  if (state.active || data == nullptr || buffer_size < 2) return -1;
  // The second half starts as silence rather than whatever the block held.
  state.block = Sound_Create("Doublebuffer", rate, bits, stereo, buffer_size);
  state.half_size = buffer_size / 2;
  std::memcpy(state.block->data, data, state.half_size);
  int channel = Sound_Play(state.block, volume, pan, 3);
  if (channel < 1) {
    clear_stream();
    return -1;
  }
  state.stream_channel = channel;
  state.first_half_next = false;
  state.active = true;
  return 0;
}

int Stream_Feed(const void* data, int volume, int pan) {
  std::lock_guard lock(Sound_Lock());
  if (!state.active) return 1;
  uint32_t position = static_cast<uint32_t>(Sound_Position(state.stream_channel));
  // A half is refilled only once the cursor has left it.
  bool fill = state.first_half_next ? position >= state.half_size : position < state.half_size;
  if (!fill) return 0;
  uint32_t offset = state.first_half_next ? 0 : state.half_size;
  if (!Sound_Channel_Write(state.stream_channel, offset, data, state.half_size)) {
    Sound_Stop(state.stream_channel);
    clear_stream();
    return 1;
  }
  state.first_half_next = !state.first_half_next;
  Sound_Set(state.stream_channel, volume, pan);
  return 1;
}

void Stream_Stop() {
  std::lock_guard lock(Sound_Lock());
  if (!state.active) return;
  Sound_Stop(state.stream_channel);
  clear_stream();
}

void sound_state::Reset_Stream() {
  Stream_Stop();
  std::lock_guard lock(Sound_Lock());
  state = Stream_State{};
}
