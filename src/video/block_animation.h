// Block animations: the named animations of the ROZ chunk file last loaded as a
// node picture, each played frame by frame from its own file slot by patching
// 8 x 8 blocks of the panorama buffer or of the node picture.
#pragma once
#include <cstdint>

#include "video/roz_chunks.h"

// One named block animation of the ROZ file last loaded.
struct Anim_Slot {
  uint32_t active;
  uint32_t stop_requested;
  char end_boolean[32];
  int reader;                    // file slot, -1 when closed
  uint32_t frame_count;
  uint32_t frame_index;
  uint32_t first_frame_position;
  uint32_t position;
  int32_t end_value;
  float speed;                   // frames per second
  float phase;
  uint64_t last_count, now_count, frequency;
};

int Anim_Count();
const char* Anim_Name(int index);  // up to 31 characters
Anim_Slot* Anim_Slot_At(int index);
int Anim_Find(const char* name);   // index of the animation (case folded), -1 if none
// Opens the node picture file for the named animation: 1, or 0 (slot closed).
int Block_Anim_Open(Anim_Slot* slot, const char* name);
// Shows one frame into target (bits 16: 5-6-5, else 5-5-5; rows pitch pixels
// apart): 1 while the animation goes on, 0 when it has ended (file closed).
int Anim_Step(Anim_Slot* slot, uint16_t* target, int bits, int pitch);
// Closes every open animation and forgets the animation table.
void Anim_Close_All();

// Used by the node-picture loader. Closes every animation and empties the table;
// the file name stays for the animations of the next table.
void Block_Anim_Forget();
// Remembers `file` (a ROZ chunk file, whole in `chunks`) and builds the table of
// its named animations, every slot closed.
void Block_Anim_Read_Table(const char* file, const Roz_Chunk_Cursor& chunks);
// Forgets the table and the file name.
void Block_Anim_Reset();
