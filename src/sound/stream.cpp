// The double buffer: one looping channel whose two halves are refilled in turn
// while the other half plays.
#include <cstring>

#include "sound/sound.h"
#include "sound/sound_internal.h"

namespace {
// Guarded by Sound_Lock().
bool active = false;
bool first_half_next = false;  // which half the next Stream_Feed fills
int stream_channel = 0;
uint32_t half_size = 0;
Sound* block = nullptr;  // the "Doublebuffer" record the channel was started from

void clear_stream() {
  Sound_Free(block);
  block = nullptr;
  active = false;
  stream_channel = 0;
}
}  // namespace

int Stream_Start(const void* data, uint32_t rate, uint32_t bits, uint32_t stereo, uint32_t buffer_size,
                 int volume, int pan) {
  std::lock_guard lock(Sound_Lock());
  // Sound_Play below refuses when there is no output.
  if (active || data == nullptr || buffer_size < 2) return -1;
  // The second half starts as silence rather than whatever the block held.
  block = Sound_Create("Doublebuffer", rate, bits, stereo, buffer_size);
  half_size = buffer_size / 2;
  std::memcpy(block->data, data, half_size);
  int channel = Sound_Play(block, volume, pan, 3);
  if (channel < 1) {
    clear_stream();
    return -1;
  }
  stream_channel = channel;
  first_half_next = false;
  active = true;
  return 0;
}

int Stream_Feed(const void* data, int volume, int pan) {
  std::lock_guard lock(Sound_Lock());
  if (!active) return 1;
  uint32_t position = static_cast<uint32_t>(Sound_Position(stream_channel));
  // A half is refilled only once the cursor has left it.
  bool fill = first_half_next ? position >= half_size : position < half_size;
  if (!fill) return 0;
  uint32_t offset = first_half_next ? 0 : half_size;
  if (!Sound_Channel_Write(stream_channel, offset, data, half_size)) {
    Sound_Stop(stream_channel);
    clear_stream();
    return 1;
  }
  first_half_next = !first_half_next;
  Sound_Set(stream_channel, volume, pan);
  return 1;
}

void Stream_Stop() {
  std::lock_guard lock(Sound_Lock());
  if (!active) return;
  Sound_Stop(stream_channel);
  clear_stream();
}
