#include "sound/audio_device.h"

#include <SDL.h>

#include "sound/mixer.h"

namespace {
SDL_AudioDeviceID device = 0;

// Runs on SDL's audio thread: mixes straight into SDL's block. The mixer takes
// its lock per block of 512 frames only.
void audio_callback(void* user, Uint8* stream, int length) {
  auto* mixer = static_cast<Mixer*>(user);
  mixer->mix(reinterpret_cast<int16_t*>(stream), static_cast<size_t>(length) / 4);
}
}  // namespace

bool Audio_Device_Open(Mixer* mixer) {
  if (device != 0) return false;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  SDL_AudioSpec wanted{};
  wanted.freq = static_cast<int>(mixer->output_rate());
  wanted.format = AUDIO_S16SYS;
  wanted.channels = 2;
  wanted.samples = 1024;
  wanted.callback = audio_callback;
  wanted.userdata = mixer;
  SDL_AudioSpec obtained{};
  // No format changes allowed: SDL converts if the hardware wants another one.
  device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
  if (device == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  SDL_PauseAudioDevice(device, 0);
  return true;
}

void Audio_Device_Close() {
  if (device == 0) return;
  SDL_CloseAudioDevice(device);
  device = 0;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}
