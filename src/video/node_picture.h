// Node pictures: loading a node's picture whatever its form (Targa, video, ROZ
// chunk file, raw panorama), the named block animations of ROZ chunk files, and
// the panorama faces.
#pragma once
#include <cstdint>

// The block animations of the ROZ file last loaded.
#include "video/block_animation.h"

// 1 flat picture loaded into the node picture, 0 panorama loaded into the
// panorama buffer, -1 nothing loaded: no such file, or a Targa or ROZ file that
// is damaged (it is never shown as a raw panorama).
int Load_Node_Picture(const char* name);

// 256 after a ROZ panorama, 640 after a flat ROZ picture, 0 otherwise: block
// animations draw into the panorama buffer at 256, else into the node picture.
int Node_Picture_Width();
// Closes every block animation and forgets the file they belong to; width 0.
void Node_Picture_State_Reset();

// Copies one 512 x 512 face out of / into the panorama buffer (tile layout).
void Panorama_Face_Get(uint16_t* face, int face_index);
void Panorama_Face_Put(int face_index, const uint16_t* face);
