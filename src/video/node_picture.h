// Node pictures: loading a node's picture whatever its form (Targa, video, ROZ
// chunk file, raw panorama), the named block animations of ROZ chunk files, and
// the panorama faces.
#pragma once
#include <cstdint>
#include <cstdio>

// 1 flat picture loaded into the node picture, 0 panorama loaded into the
// panorama buffer, -1 nothing loaded: no such file, or a Targa or ROZ file that
// is damaged (it is never shown as a raw panorama).
int Load_Node_Picture(const char* name);

// 256 after a ROZ panorama, 640 after a flat ROZ picture, 0 otherwise: block
// animations draw into the panorama buffer at 256, else into the node picture.
int Node_Picture_Width();

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
int Anim_Open(Anim_Slot* slot, const char* name);
// Shows one frame into target (bits 16: 5-6-5, else 5-5-5; rows pitch pixels
// apart): 1 while the animation goes on, 0 when it has ended (file closed).
int Anim_Step(Anim_Slot* slot, uint16_t* target, int bits, int pitch);
// Closes every open animation and forgets the animation table.
void Anim_Close_All();

// Copies one 512 x 512 face out of / into the panorama buffer (tile layout).
void Panorama_Face_Get(uint16_t* face, int face_index);
void Panorama_Face_Put(int face_index, const uint16_t* face);

// Error-diffuses a true-colour picture (4 bytes a pixel: blue, green, red, unused)
// into 5-6-5 pixels (pitch in pixels).
void Targa_To_565(const uint8_t* bgrx, int width, int height, uint16_t* out, int pitch);
