// Saved-game cards: a white card with the slot's thumbnail and its three caption
// lines, drawn into a face of the current panorama so that the player sees the
// cards around them and clicks them through the scene's zones.
#pragma once
#include <cstdint>
#include <vector>

struct Save_Slot;

// The card picture of a slot (5-6-5, rows top to bottom): (thumbnail width + 6)
// by (thumbnail width + 30) pixels.
std::vector<uint16_t> Card_Build(const Save_Slot& slot, int* width, int* height);
// Draws a card into a 512 x 512 face (rows top to bottom, as seen from the cube's
// centre): the card stands 1.3982568 x its width in front of the viewer, its
// centre 32 units above the horizon and turned sideways by `tilt` radians, kept
// parallel to the face; nearest-pixel lookup.
void Card_Project(uint16_t* face, const uint16_t* card, int width, int height, float tilt);
// The face a slot's card goes on: slots 1-2 face 4, 3-4 face 3, 5-6 face 5, 7-8 face 1.
int Card_Face(uint32_t slot_index);
// Builds the slot's card and draws it into its face of the current panorama.
void Card_Draw_Into_Panorama(const Save_Slot& slot);
// The caption font (FreeType, found through fontconfig as "Arial", 17 pixels,
// bold): draws Windows-1252 text in `colour` centred on centre_x with the top of
// its cell at `top`. False when no font is available.
bool Card_Text_Draw(uint16_t* pixels, int width, int height, int centre_x, int top, const char* text,
                    uint16_t colour);
