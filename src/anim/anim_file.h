// Animation files with sound: an MTRD container whose "PICT" chunk is the first
// frame, whose "ANIM" chunks are the later frames (each packed against the frame
// before it) and whose "SAMP" chunks are the sound of each frame. Versions 1280
// to 1284 differ only in how the header is stored.
#pragma once
#include <cstddef>
#include <cstdint>

#include "pictures/picture.h"
#include "sound/sound.h"

// Bytes of frame (and of sound) history kept in front of each decoded block, so
// that back references of the LZ methods may reach into the previous one.
constexpr uint32_t Anim_History = 65536;

struct Anim_Player {
  Picture* picture;          // header, palette (768 bytes, 1280 after the 16-bit table)
  Sound* sound;              // rate, bits, stereo of the sound; null without sound
  uint32_t sound_method;     // pack method of the "SAMP" payloads (3 or 5 decode)
  uint32_t sound_bytes;      // sound bytes per frame as played
  uint32_t sound_packed;     // bytes a "SAMP" payload unpacks to (half for delta codes)
  int sound_form;            // how unpacked sound becomes samples (see anim_file.cpp)
  uint32_t fps;              // frames per second (never 0)
  int32_t frame_index;       // the next frame to decode
  int32_t frame_count;       // "ANIM" frames after the first one
  uint32_t frame_size;       // bytes of one frame; 0 when the animation has no picture
  int32_t accumulator;       // frame time carried over by the player, in ms
  uint8_t* frame_block;      // Anim_History + frame_size bytes; the frame is at the end
  uint8_t* sound_block;      // Anim_History + sound_packed bytes
  uint8_t* sound_out;        // sound_bytes of 16-bit samples (the sound record's own), or null when played as unpacked
  uint8_t* read_buffer;      // one chunk payload
  uint32_t read_size;
  int slot;                  // the open file slot
  int32_t file_size;
  int32_t payload_start;     // search range: the MTRD payload
  int32_t payload_end;
  int32_t search;            // where the next "ANIM" or "SAMP" search begins
  int32_t pict_start;        // the first frame's packed payload
  int32_t pict_size;
};

// Opens the file (the slot stays open), reads and checks the header and allocates
// every block playback needs. None when the file is missing, damaged or of a form
// that cannot be played.
Anim_Player* Anim_Open(const char* file);
// Decodes the next frame and its sound. Returns the index of the next frame to
// decode, 0 after the last frame (the next call starts again at the first), or -1
// when a chunk cannot be read (larger than any chunk of this animation can be, or
// cut off by the end of the file); players stop there. A missing chunk keeps the
// previous frame or sound; a chunk that unpacks short or damaged keeps what it
// decoded (the rest of the frame stays as it was, the rest of the sound is
// silence), and playback goes on.
int Anim_Next_Frame(Anim_Player* player);
// Closes the slot and frees everything; null is ignored.
void Anim_Close(Anim_Player* player);

// The frame just decoded (frame_size bytes: 8-bit indices or 5-6-5 pixels).
inline const uint8_t* Anim_Frame(const Anim_Player* player) { return player->frame_block + Anim_History; }
// The sound of the frame just decoded (sound_bytes bytes), null without sound.
const uint8_t* Anim_Frame_Sound(const Anim_Player* player);

// Turns delta codes into 16-bit samples: each code adds its table value to a
// running sum that starts at 0; stereo codes hold all left samples, then all right.
void Anim_Delta_Decode(const uint8_t* codes, uint32_t count, bool stereo, int16_t* out);
int16_t Anim_Delta_Value(uint8_t code);

// The animation layer keeps nothing between calls: every player is its caller's,
// closed with Anim_Close. Here so that every subsystem resets alike.
void Anim_State_Reset();

// Plays a whole animation file modally into the frame buffer. Flags: bit 0 doubles
// the size, bit 1 stretches to the whole frame buffer; x = y = -1 centres it.
// Escape ends playback. Returns 0 after playing, -1 when the file cannot be played.
int Anim_Play(const char* file, int x, int y, int flags);
