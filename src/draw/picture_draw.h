// Drawing a whole picture into the frame buffer.
#pragma once

struct Picture;

// Draws the picture with its top-left corner at (x, y), clipped to the screen, at
// 8 bits (through the 16-bit palette), 16 or 24 bits per pixel; other depths and a
// null picture draw nothing. Packed pixels are unpacked first. Every value is
// drawn, 0 included (no transparency).
void Picture_Draw(Picture* picture, int x, int y);
