// Shared state of the sound subsystem's files (channels, stream, music).
#pragma once
#include <cstdint>
#include <mutex>

class Mixer;

// One lock for the channel table, the stream and the music: the main thread and
// the load timer's thread both call in. It is never taken by the device callback.
std::recursive_mutex& Sound_Lock();
Mixer& Sound_Mixer();
// Copies bytes into the buffer of a tracked channel (1..8); false if the channel
// is free or the range does not fit.
bool Sound_Channel_Write(int channel, uint32_t offset, const void* data, uint32_t count);
// Music registers how it stops, so that Sound_Shutdown can stop it without the
// channels depending on the file layer that music reads through.
void Sound_Set_Music_Stopper(void (*stopper)());

// The resets of the files behind Sound_State_Reset: each gives every variable of
// its file the value it has in a fresh process, after what it held was released.
namespace sound_state {
void Reset_Audio_Device();
void Reset_Channels();
void Reset_Music();
void Reset_Stream();
}  // namespace sound_state
