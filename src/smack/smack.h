// The video decoding layer: the handful of movie operations the engine uses,
// over FFmpeg. Any file FFmpeg can demultiplex and decode opens; the game's
// movies are Smacker files. Files are read through the file layer, so memory
// files and case-insensitive names work as for every other file.
//
// Frames are written as 16-bit pixels into a buffer the caller gives; pacing
// follows the file's frame rate on the clock module's counter (virtual under
// replay); the movie's sound goes to the engine's mixer.
#pragma once
#include <cstdint>

struct Smack_Decoder;

struct Smack {
  uint32_t Frames;    // frame count
  uint32_t FrameNum;  // the current frame, from 0
  int32_t Width;      // of the decoded frames
  int32_t Height;
  uint32_t Rate_Num;  // frames per second as a fraction
  uint32_t Rate_Den;
  Smack_Decoder* decoder;
};

// Destination formats of SmackToBuffer.
constexpr uint32_t Smack_Format_565 = 0xC0000000;
constexpr uint32_t Smack_Format_555 = 0x80000000;

// Whether movies opened from now on play their sound through the mixer.
void SmackSoundUseDirectSound(bool use_mixer);
// Returns the layer to the state of a fresh process (movies without sound). Open
// movies belong to their callers, who close them.
void Smack_State_Reset();
// Opens a movie; null when it cannot be played. The two values are kept for the
// callers' sake and have no effect here.
Smack* SmackOpen(const char* name, uint32_t flags, uint32_t extra_buffers);
// The format value matching a display of this many bits per pixel (16 or 15).
uint32_t SmackDDSurfaceType(int display_bits_per_pixel);
// Where SmackDoFrame writes: at (left, top) of a buffer of `height` rows of
// `pitch` bytes, in `format` (Smack_Format_565 or Smack_Format_555). Frames are
// clipped to the buffer.
void SmackToBuffer(Smack* smack, uint32_t left, uint32_t top, uint32_t pitch, uint32_t height, void* buffer,
                   uint32_t format);
// Decodes the current frame into the buffer. The first call starts the movie's
// clock and its sound. Returns 0, or -1 when no picture could be decoded (the
// buffer then keeps what it held).
int SmackDoFrame(Smack* smack);
// Moves to the next frame (the last frame stays current).
void SmackNextFrame(Smack* smack);
// Non-zero while it is too early for the current frame, 0 when it is due.
int SmackWait(Smack* smack);
// Stops the sound and releases everything; null is ignored.
void SmackClose(Smack* smack);

// The movie's sound as decoded when it was opened (null without sound, or when
// movies play without sound); owned by the movie.
const struct Sound* Smack_Sound(const Smack* smack);

// Frames are scaled to this size instead of kept at their own (0, 0: own size).
void Smack_Scale_To(Smack* smack, int width, int height);
