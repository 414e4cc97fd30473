// The chunk ids of a ROZ chunk file (node pictures and their block animations),
// shared by the reader and by the tools that write and export these files.
#pragma once
#include <cstdint>

constexpr uint32_t Roz_File_Header = 0x12FA84AB;  // the file's first chunk
constexpr uint32_t Roz_Panorama = 0xA0B1C200;     // a cube panorama picture
constexpr uint32_t Roz_Flat = 0xA0B1C400;         // a 640 x 480 picture
constexpr uint32_t Roz_Anim_Header = 0xA0B1C201;  // a block animation's name and blocks
constexpr uint32_t Roz_Anim_Frame = 0xA0B1C211;   // one frame of it
constexpr uint32_t Roz_Anim_Loop = 0xA0B1C221;    // where its loop starts
