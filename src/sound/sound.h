// Sampled sound: the Sound record, eight tracked channels over the software mixer,
// the two-half stream buffer and streamed music.
//
// Output goes either to an audio device (an SDL callback pulls the mixer) or, in
// headless and replay runs, nowhere real: the frame clock pulls the mixer, each
// presented frame consuming the samples of its length, so play positions, loop
// counts and stream refills depend only on the frame lengths.
//
// Every operation may be called from the main thread and from the load timer's
// thread; the device callback only ever takes the mixer's own short lock.
#pragma once
#include <cstdint>

// A sound in memory. Made by Wav_Load or Sound_Create; freed with Sound_Free.
struct Sound {
  char name[256];      // NUL-terminated
  uint32_t version;    // always 256
  uint32_t rate;       // samples per second
  uint32_t bits;       // bits per sample (8 or 16)
  uint32_t stereo;     // 0 for one channel, 1 for two
  uint32_t reserved;   // 0
  uint32_t size;       // bytes of sample data
  uint32_t unused[2];  // 0
  uint8_t* data;       // the PCM samples, owned by the record
};

// A new record with `size` bytes of silence (0x80 for 8 bits, 0 for 16); the name
// is cut to 255 characters. None when size is 0 (there would be nothing to hold).
Sound* Sound_Create(const char* name, uint32_t rate, uint32_t bits, uint32_t stereo, uint32_t size);
void Sound_Free(Sound* sound);  // frees the samples and the record; null is ignored

// --- Output -----------------------------------------------------------------
enum class Sound_Output {
  Device,  // an SDL audio device (the default)
  Pull,    // no device: the frame clock pulls the mixer (headless and replay runs)
};
constexpr int Sound_Output_Rate = 44100;  // the mixer's output: 16-bit stereo

// Chooses the output for the next Sound_Init; ignored while sound is initialised.
void Sound_Set_Output_Mode(Sound_Output mode);
Sound_Output Sound_Get_Output_Mode();

// Pull mode: mixes `ms` milliseconds of output (fractions of a sample carry over
// to the next call). Sound_Init installs this as the frame clock's tick listener
// (replacing any other). Play cursors then move only when frames are presented:
// a loop that waits for a sound or for Stream_Feed to accept must present frames
// (or call this) on each turn, or it waits for ever.
void Sound_Pull(int32_t ms);
// Pull mode: receives every block Sound_Pull mixes (interleaved left/right).
using Sound_Pull_Sink = void (*)(const int16_t* samples, int frames, void* user);
void Sound_Set_Pull_Sink(Sound_Pull_Sink sink, void* user);

// --- Channels -----------------------------------------------------------------
// Engine scales: volume 0 (silent) to 255 (full), pan -255 (left) to 255 (right).
// Flags of Sound_Play: bit 0 loop, bit 1 may take over a channel that plays a
// non-looping sound.
constexpr int Sound_Channel_Count = 8;

int Sound_Init();        // 0, or -1 (also when already initialised); sets Sound_Status
void Sound_Shutdown();   // stops music and channels, releases the output
int32_t Sound_Status();  // result of the last Sound_Init: 0 sound available, -1 not
// Returns sound to the state of a fresh process (between tests; safe to call
// twice): stops music and the double buffer, shuts the channels and the output
// down, releases every mixer buffer and forgets the output mode and pull sink.
void Sound_State_Reset();

// Channel 1 to 8 for a looping sound, 0 for a non-looping one, -1 on failure. The
// samples are copied: the record may be freed as soon as this returns.
int Sound_Play(const Sound* sound, int volume, int pan, uint32_t flags);
void Sound_Stop(int channel);                       // 1..8; others and free ones ignored
void Sound_Set(int channel, int volume, int pan);   // a playing channel's volume and pan
void Sound_Refresh();                               // frees channels that have finished
int32_t Sound_Position(int channel);                // play position in bytes, 0 if free

// Sounds owned by their caller (a video's sound track): played once from the
// start in a mixer buffer of their own, outside the eight tracked channels, so
// they never take a channel from the scene and are never freed by a refresh.
// Sound_Play_Owned returns a handle (> 0), or -1 without output or sound;
// Sound_Release_Owned stops and frees it (0, unknown and stale handles are
// ignored; Sound_Shutdown releases every buffer).
int Sound_Play_Owned(const Sound* sound, int volume, int pan);
void Sound_Release_Owned(int handle);

// Engine scales to the mixer's: hundredths of a decibel (-10000..0), pan x 10.
int32_t Sound_Volume_To_Hundredths(int volume);
int32_t Sound_Pan_To_Hundredths(int pan);

// --- Double buffer -------------------------------------------------------------
// A looping buffer of two halves of buffer_size / 2 bytes. Start plays the first
// half of `data`; Feed copies buffer_size / 2 bytes of `data` into the half that has
// just been played and returns 1, or returns 0 when that half is still playing
// (nothing taken). Feed returns 1 when no stream is active.
int Stream_Start(const void* data, uint32_t rate, uint32_t bits, uint32_t stereo, uint32_t buffer_size,
                 int volume, int pan);
int Stream_Feed(const void* data, int volume, int pan);
void Stream_Stop();

// --- Music --------------------------------------------------------------------
// A WAV file streamed from disk in blocks of 16384 bytes through a 32768-byte
// double buffer, looping over the file's data without a gap. Music_Update is
// called every frame (and by the load timer).
void Music_Play(const char* name, int volume, int pan);
void Music_Update(int volume, int pan);
// Music_Update at the volume and pan last given to Music_Play or Music_Update:
// for players that keep the music going without knowing its level.
void Music_Feed();
void Music_Stop();
