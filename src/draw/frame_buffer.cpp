#include "draw/frame_buffer.h"

#include <algorithm>

#include "draw/draw_state.h"
#include "draw/rows.h"
#include "platform/display.h"

namespace {
struct Frame_Buffer_State {
  uint16_t* target_pixels = nullptr;  // null: Screen_Buffer
  int32_t target_width = Screen_Width;
  int32_t target_height = Screen_Height;
};

Frame_Buffer_State state;
}  // namespace

void Draw_Set_Target(uint16_t* pixels, int32_t width, int32_t height) {
  state.target_pixels = pixels;
  state.target_width = pixels != nullptr ? width : Screen_Width;
  state.target_height = pixels != nullptr ? height : Screen_Height;
}

uint16_t* Draw_Target() { return state.target_pixels != nullptr ? state.target_pixels : Screen_Buffer(); }
int32_t Draw_Target_Width() { return state.target_width; }
int32_t Draw_Target_Height() { return state.target_height; }

void Pixel_Put(int32_t x, int32_t y, uint16_t colour) {
  if (static_cast<uint32_t>(x) >= static_cast<uint32_t>(state.target_width) ||
      static_cast<uint32_t>(y) >= static_cast<uint32_t>(state.target_height)) {
    return;
  }
  Draw_Target()[static_cast<size_t>(y) * state.target_width + x] = colour;
}

uint16_t Pixel_Get(int32_t x, int32_t y) {
  if (static_cast<uint32_t>(x) >= static_cast<uint32_t>(state.target_width) ||
      static_cast<uint32_t>(y) >= static_cast<uint32_t>(state.target_height)) {
    return 0;
  }
  return Draw_Target()[static_cast<size_t>(y) * state.target_width + x];
}

void Rect_Fill(int32_t x, int32_t y, int32_t w, int32_t h, uint16_t colour) {
  // 64-bit bounds: x + w may not fit in 32 bits.
  int64_t left = std::max<int64_t>(x, 0);
  int64_t top = std::max<int64_t>(y, 0);
  int64_t right = std::min<int64_t>(static_cast<int64_t>(x) + w - 1, state.target_width - 1);
  int64_t bottom = std::min<int64_t>(static_cast<int64_t>(y) + h - 1, state.target_height - 1);
  if (left > right || top > bottom) return;
  uint16_t* pixels = Draw_Target();
  for (int64_t row = top; row <= bottom; ++row) {
    Row_Fill_16(pixels + row * state.target_width + left, colour, static_cast<uint32_t>(right - left + 1));
  }
}

void Draw_State_Reset() {
  draw_state::Reset_Cursor();
  draw_state::Reset_Fonts();
  state = Frame_Buffer_State{};
}
