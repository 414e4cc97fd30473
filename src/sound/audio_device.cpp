#include "sound/audio_device.h"

#include <SDL.h>

#include <atomic>

#include "platform/platform.h"
#include "sound/mixer.h"
#include "sound/sound_internal.h"

namespace {
struct Audio_Device_State {
  SDL_AudioDeviceID device = 0;
  bool paused = false;
  // SDL's audio thread, once the callback has run: closing the device from that
  // thread would wait for itself.
  std::atomic<SDL_threadID> callback_thread{0};
};

Audio_Device_State state;

// Runs on SDL's audio thread: mixes straight into SDL's block. The mixer takes
// its lock per block of 512 frames only.
void audio_callback(void* user, Uint8* stream, int length) {
  state.callback_thread.store(SDL_ThreadID(), std::memory_order_relaxed);
  auto* mixer = static_cast<Mixer*>(user);
  mixer->mix(reinterpret_cast<int16_t*>(stream), static_cast<size_t>(length) / 4);
}

// The way out of the program closes the device before anything is released.
void stop_for_exit() {
  if (state.device != 0 && SDL_ThreadID() == state.callback_thread.load()) return;
  Audio_Device_Close();
}

// The game paused in the background: play silence rather than the mixer's
// buffers, which nobody refills until the game resumes.
void pause_with_the_game(bool game_paused) { Audio_Device_Pause(game_paused); }
}  // namespace

bool Audio_Device_Open(Mixer* mixer) {
  if (state.device != 0) return false;
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
  state.device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
  if (state.device == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  Platform_Add_Thread_Stopper(stop_for_exit);
  Platform_Add_Pause_Listener(pause_with_the_game);
  state.paused = false;
  SDL_PauseAudioDevice(state.device, 0);
  return true;
}

void Audio_Device_Pause(bool pause) {
  if (state.device == 0 || pause == state.paused) return;
  state.paused = pause;
  // Waits for a callback in progress: none runs once this returns with pause set.
  SDL_PauseAudioDevice(state.device, pause ? 1 : 0);
}

void Audio_Device_Close() {
  if (state.device == 0) return;
  Platform_Remove_Thread_Stopper(stop_for_exit);
  Platform_Remove_Pause_Listener(pause_with_the_game);
  // Returns once SDL's audio thread has ended.
  SDL_CloseAudioDevice(state.device);
  state.device = 0;
  state.paused = false;
  state.callback_thread = 0;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void sound_state::Reset_Audio_Device() {
  Audio_Device_Close();
  state.device = 0;
  state.paused = false;
  state.callback_thread = 0;
}
