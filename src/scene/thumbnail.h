// The thumbnail: a reduced copy of the screen taken when the player leaves a node
// by a key jump (the view behind a menu), which saved games store.
#pragma once
#include <cstdint>

struct Picture;

void Thumbnail_Set_Size(int width, int height);  // frees the current thumbnail
void Thumbnail_Take();                           // copies and scales the screen buffer
// The thumbnail's 16-bit pixels (rows top to bottom); a black picture of the
// thumbnail size when none was taken.
uint16_t* Thumbnail_Pixels();
int Thumbnail_Width();
int Thumbnail_Height();
void Thumbnail_Free();
