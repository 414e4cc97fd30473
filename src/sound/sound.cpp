#include "sound/sound.h"

#include <cstring>

#include "platform/memory.h"
#include "sound/sound_internal.h"

Sound* Sound_Create(const char* name, uint32_t rate, uint32_t bits, uint32_t stereo, uint32_t size) {
  if (size == 0) return nullptr;
  auto* sound = static_cast<Sound*>(Mem_Alloc_Zero(sizeof(Sound)));
  if (name != nullptr) std::strncpy(sound->name, name, sizeof sound->name - 1);
  sound->version = 256;
  sound->rate = rate;
  sound->bits = bits;
  sound->stereo = stereo;
  sound->size = size;
  sound->data = static_cast<uint8_t*>(Mem_Alloc(size));
  std::memset(sound->data, bits == 8 ? 0x80 : 0, size);
  return sound;
}

void Sound_Free(Sound* sound) {
  if (sound == nullptr) return;
  Mem_Free(sound->data);
  Mem_Free(sound);
}

void Sound_State_Reset() {
  sound_state::Reset_Music();
  sound_state::Reset_Stream();
  sound_state::Reset_Channels();
  sound_state::Reset_Audio_Device();
}
