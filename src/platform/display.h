// The display: the 640 x 480 RGB565 frame buffer every part of the engine draws
// into, and presenting it (through an SDL window, or headless).
#pragma once
#include <cstdint>

constexpr int Screen_Width = 640;
constexpr int Screen_Height = 480;

uint16_t* Screen_Buffer();                 // 640 x 480 pixels, 5-6-5, rows top to bottom
int Present_Frame(const uint16_t* source); // pump, copy to the screen, advance the frame clock
int Pump_Messages();                       // 0, or -1 right after focus came back
int Display_Bits_Per_Pixel();              // 16, or 15 when the screen is 5-5-5
bool Quit_Requested();                     // the window was closed
