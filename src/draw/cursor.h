// The small software cursor: an 8 x 12 arrow pointing up-left, drawn into the
// frame buffer over a save area and taken away again.
#pragma once
#include <cstdint>

constexpr int Cursor_Width = 8;
constexpr int Cursor_Height = 12;

// Saves what the arrow covers at (x, y) and draws it, clipped to the buffer.
void Arrow_Draw(int32_t x, int32_t y);
// Puts back what the last Arrow_Draw covered.
void Arrow_Restore();
// Shows the arrow at the mouse until a mouse button goes down or a key code
// arrives (or the window is closed); both are left in Input() for the caller.
void Cursor_Modal_Loop();
