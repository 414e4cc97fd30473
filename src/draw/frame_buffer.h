// Clipped pixel and rectangle operations on the frame buffer (Screen_Buffer
// unless another target is set).
#pragma once
#include <cstdint>

void Pixel_Put(int32_t x, int32_t y, uint16_t colour);  // nothing outside the buffer
uint16_t Pixel_Get(int32_t x, int32_t y);                // 0 outside the buffer
// Fills [x, x + w - 1] x [y, y + h - 1], clipped to the buffer.
void Rect_Fill(int32_t x, int32_t y, int32_t w, int32_t h, uint16_t colour);

// The buffer these operations (and text and the cursor) draw into: rows of
// `width` pixels without gaps. Null restores Screen_Buffer.
void Draw_Set_Target(uint16_t* pixels, int32_t width, int32_t height);
uint16_t* Draw_Target();
int32_t Draw_Target_Width();
int32_t Draw_Target_Height();

// Returns drawing to the state of a fresh process (between tests; safe to call
// twice): the target back to Screen_Buffer, every font removed, the cursor's
// saved area forgotten.
void Draw_State_Reset();
