// The display: the 640 x 480 RGB565 frame buffer every part of the engine draws
// into, and presenting it (through an SDL window, or headless). Headless is the
// state before Platform_Start and with --headless: frames are converted into a
// memory surface and the last one is kept for screenshots and frame hashes.
#pragma once
#include <cstdint>

constexpr int Screen_Width = 640;
constexpr int Screen_Height = 480;

uint16_t* Screen_Buffer();                 // 640 x 480 pixels, 5-6-5, rows top to bottom
// Pumps messages, then (unless the pump reported a return from the background)
// copies `source` to the screen and advances the frame clock. Returns 0 when the
// frame was shown, -1 when it was skipped. After the window was closed (or a
// replay ran out) it ends the program with status 0.
int Present_Frame(const uint16_t* source);
int Pump_Messages();                       // 0, or -1 right after focus came back
int Display_Bits_Per_Pixel();              // 16, or 15 when the screen is 5-5-5
bool Quit_Requested();                     // the window was closed; modal loops stop
bool Display_Inactive();                   // the application does not have the focus
bool Display_Headless();                   // no window

// Called at the end of every presented frame with the frame shown (frame hashes,
// screenshots, frame limits, scripted input). One listener; null removes it. The
// listener may end the program with Platform_Exit.
using Present_Listener = void (*)(const uint16_t* frame);
void Display_Set_Present_Listener(Present_Listener listener);

// The last presented frame (640 x 480 5-6-5), null before the first one.
const uint16_t* Display_Last_Frame();
// The memory surface the last frame was converted into when headless (1280 x 960
// with --scanlines); null before the first headless frame.
const uint8_t* Display_Surface(int* width, int* height, int* pitch, int* bits_per_pixel);
