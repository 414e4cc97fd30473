#include "draw/cursor.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "draw/draw_state.h"
#include "draw/frame_buffer.h"
#include "platform/display.h"
#include "platform/input.h"

namespace {

constexpr uint32_t T = 0;            // transparent
constexpr uint32_t O = 1;            // outline, pixel 0x0001
constexpr uint32_t F = 0xFFFFFFFFu;  // fill, pixel 0xFFFF

const uint32_t arrow[Cursor_Height][Cursor_Width] = {
    {O, T, T, T, T, T, T, T}, {O, O, T, T, T, T, T, T}, {O, F, O, T, T, T, T, T}, {O, F, F, O, T, T, T, T},
    {O, F, F, F, O, T, T, T}, {O, F, F, F, F, O, T, T}, {O, F, F, F, F, F, O, T}, {O, F, F, F, F, F, F, O},
    {O, F, F, F, F, F, O, T}, {O, F, O, O, O, F, O, T}, {O, O, T, T, O, F, F, O}, {T, T, T, T, T, O, O, T},
};

struct Cursor_State {
  uint16_t save_area[Cursor_Height][Cursor_Width] = {};
  // The clipped area the last draw covered, in buffer coordinates.
  int32_t saved_left = 0;
  int32_t saved_top = 0;
  int32_t saved_right = -1;
  int32_t saved_bottom = -1;
  int32_t saved_x = 0;
  int32_t saved_y = 0;
};

Cursor_State state;

bool button_or_key() {
  const Input_State& s = Input();
  return s.left_button != 0 || s.right_button != 0 || Async_Key_Down(4) || s.key != 0;
}

}  // namespace

void Arrow_Draw(int32_t x, int32_t y) {
  uint16_t* pixels = Draw_Target();
  const int32_t width = Draw_Target_Width();
  // Only the part inside the buffer: on the right and bottom edges, and on the
  // left and top too should a caller pass a negative corner.
  state.saved_x = x;
  state.saved_y = y;
  state.saved_left = std::max<int32_t>(x, 0);
  state.saved_top = std::max<int32_t>(y, 0);
  state.saved_right = std::min<int64_t>(static_cast<int64_t>(x) + Cursor_Width, width) - 1;
  state.saved_bottom = std::min<int64_t>(static_cast<int64_t>(y) + Cursor_Height, Draw_Target_Height()) - 1;
  for (int32_t py = state.saved_top; py <= state.saved_bottom; ++py) {
    for (int32_t px = state.saved_left; px <= state.saved_right; ++px) {
      uint16_t& pixel = pixels[static_cast<size_t>(py) * width + px];
      state.save_area[py - y][px - x] = pixel;
      uint32_t shape = arrow[py - y][px - x];
      if (shape != T) pixel = static_cast<uint16_t>(shape == O ? 0x0001 : 0xFFFF);
    }
  }
}

void Arrow_Restore() {
  uint16_t* pixels = Draw_Target();
  const int32_t width = Draw_Target_Width();
  for (int32_t py = state.saved_top; py <= state.saved_bottom; ++py) {
    for (int32_t px = state.saved_left; px <= state.saved_right; ++px) {
      pixels[static_cast<size_t>(py) * width + px] = state.save_area[py - state.saved_y][px - state.saved_x];
    }
  }
  state.saved_right = state.saved_bottom = -1;
}

void Cursor_Modal_Loop() {
  Input().key = 0;
  Input_Update();
  while (!Quit_Requested() && !button_or_key()) {
    Arrow_Draw(Input().mouse_x, Input().mouse_y);
    Present_Frame(Screen_Buffer());
    // Poll until something changes; no frames are presented meanwhile.
    for (;;) {
      Input_Update();
      if (Quit_Requested() || button_or_key() || Input().mouse_dx != 0 || Input().mouse_dy != 0) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    Arrow_Restore();
  }
}

void draw_state::Reset_Cursor() { state = Cursor_State{}; }
