// Streamed music: a WAV file read from its file slot in blocks of 16384 bytes into
// the double buffer, wrapping to the start of the data at its end.
#include <cstring>

#include "files/file.h"
#include "platform/memory.h"
#include "sound/sound.h"
#include "sound/sound_internal.h"
#include "sound/wav.h"

namespace {
constexpr uint32_t Block_Size = 16384;

struct Music_State {
  // Guarded by Sound_Lock().
  bool active = false;
  int slot = -1;
  Wav_Info* info = nullptr;
  uint8_t* staging = nullptr;
  uint32_t data_position = 0;  // bytes of the data already read in the current pass
  int last_volume = 255;       // as last given, for Music_Feed
  int last_pan = 0;
};

Music_State state;

// Reads the next block into the staging block. Data shorter than a block is read
// as many times as it takes to fill it. A read that delivers nothing (the file
// changed under us) fills the rest with silence instead of trying for ever.
void read_block() {
  uint32_t filled = 0;
  while (filled < Block_Size) {
    uint32_t wanted = Block_Size - filled;
    uint32_t left = state.info->data_size - state.data_position;
    if (wanted > left) wanted = left;
    int got = File_Read(state.slot, state.staging + filled, static_cast<int>(wanted));
    if (got <= 0) {
      std::memset(state.staging + filled, state.info->bits_per_sample == 8 ? 0x80 : 0, Block_Size - filled);
      return;
    }
    filled += static_cast<uint32_t>(got);
    state.data_position += static_cast<uint32_t>(got);
    if (state.data_position >= state.info->data_size) {
      state.data_position = 0;
      File_Seek(state.slot, static_cast<int>(state.info->data_offset), 0);
    }
  }
}

void release_music() {
  if (state.slot >= 0) File_Close(state.slot);
  state.slot = -1;
  Mem_Free(state.staging);
  state.staging = nullptr;
  Mem_Free(state.info);
  state.info = nullptr;
  state.active = false;
}
}  // namespace

void Music_Play(const char* name, int volume, int pan) {
  std::lock_guard lock(Sound_Lock());
  if (Sound_Status() != 0 || name == nullptr) return;
  Music_Stop();
  state.last_volume = volume;
  state.last_pan = pan;
  state.info = Wav_Read_Info(name);
  if (state.info == nullptr) return;
  state.staging = static_cast<uint8_t*>(Mem_Alloc(Block_Size));
  int opened = -1;
  File_Open(name, &opened, 1);
  if (opened < 0) {
    release_music();
    return;
  }
  state.slot = opened;
  File_Seek(state.slot, static_cast<int>(state.info->data_offset), 0);
  state.data_position = 0;
  read_block();
  if (Stream_Start(state.staging, state.info->samples_per_second, state.info->bits_per_sample, state.info->channels - 1,
                   2 * Block_Size, volume, pan) != 0) {
    release_music();
    return;
  }
  read_block();
  state.active = true;
  Sound_Set_Music_Stopper(Music_Stop);
}

void Music_Update(int volume, int pan) {
  std::lock_guard lock(Sound_Lock());
  if (!state.active) return;
  state.last_volume = volume;
  state.last_pan = pan;
  if (Stream_Feed(state.staging, volume, pan) == 1) read_block();
}

void Music_Feed() {
  std::lock_guard lock(Sound_Lock());
  Music_Update(state.last_volume, state.last_pan);
}

void Music_Stop() {
  std::lock_guard lock(Sound_Lock());
  if (!state.active && state.info == nullptr) return;
  Stream_Stop();
  release_music();
}

void sound_state::Reset_Music() {
  Music_Stop();
  std::lock_guard lock(Sound_Lock());
  state = Music_State{};
}
