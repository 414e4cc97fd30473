#include "platform/input.h"

#include "platform/display.h"
#include "platform/events.h"
#include "platform/platform_state.h"

namespace {

struct Button {
  bool down = false;
  bool pressed_since_read = false;
};

struct Keyboard_Mouse_State {
  Input_State input_state{};

  // Ring of key codes: empty when both indices are equal, so one slot always stays
  // free and at most 255 codes are held.
  uint32_t key_queue[256] = {};
  uint32_t key_write = 0;
  uint32_t key_read = 0;

  uint8_t key_down_by_scan[128] = {};
  bool virtual_key_down[256] = {};
  uint16_t key_releases[256] = {};  // releases not yet taken, per virtual key

  int32_t keyboard_step = 7;

  // Mouse movement accumulated since the last update (the distance the system
  // cursor would have moved from the screen centre).
  int64_t pending_dx = 0;
  int64_t pending_dy = 0;

  Button buttons[4];  // 1 left, 2 right, 3 middle
};

Keyboard_Mouse_State state;

int button_virtual_key(int button) { return button == 1 ? 1 : button == 2 ? 2 : 4; }

uint32_t key_down_code(int virtual_key, bool* push) {
  *push = true;
  switch (virtual_key) {
    case 8: return 9;   // Backspace
    case 9: return 8;   // Tab
    case 27: return 27;
    case 33: case 34: case 35: case 36: case 45: return 0;  // paging keys, Insert
    case 37: return 0x4B00;
    case 38: return 0x4800;
    case 39: return 0x4D00;
    case 40: return 0x5000;
    case 46: return 8;  // Delete
    default:
      if (virtual_key >= 112 && virtual_key <= 123) return static_cast<uint32_t>(virtual_key - 112 + 128);
      *push = false;
      return 0;
  }
}

int32_t clamp(int32_t value, int32_t low, int32_t high) {
  if (value < low) return low;
  if (value > high) return high;
  return value;
}

int32_t saturate(int64_t value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

}  // namespace

Input_State& Input() { return state.input_state; }

void Input_Reset() {
  state.input_state = Input_State{};
  state.input_state.clip_right = Screen_Width - 1;
  state.input_state.clip_bottom = Screen_Height - 1;
}

void Push_Key(uint32_t code) {
  uint32_t next = (state.key_write + 1) & 255u;
  if (next == state.key_read) return;  // full: the code is lost
  state.key_queue[state.key_write] = code;
  state.key_write = next;
}

void Key_Queue_Clear() { state.key_read = state.key_write; }

int32_t Read_Key() {
  Pump_Messages();
  if (state.key_read == state.key_write) return 0;
  uint32_t code = state.key_queue[state.key_read];
  state.key_read = (state.key_read + 1) & 255u;
  return static_cast<int32_t>(code);
}

void Input_Apply_Event(const Platform_Event& event) {
  switch (event.type) {
    case Platform_Event_Type::Key_Down: {
      state.key_down_by_scan[event.b & 127] = 0xFF;
      state.virtual_key_down[event.a & 255] = true;
      bool push = false;
      uint32_t code = key_down_code(event.a, &push);
      if (push) Push_Key(code);
      break;
    }
    case Platform_Event_Type::Key_Up:
      state.key_down_by_scan[event.b & 127] = 0;
      state.virtual_key_down[event.a & 255] = false;
      if (state.key_releases[event.a & 255] < UINT16_MAX) ++state.key_releases[event.a & 255];
      break;
    case Platform_Event_Type::Character:
      Push_Key(static_cast<uint32_t>(event.a));
      break;
    case Platform_Event_Type::Mouse_Motion:
      state.pending_dx += event.a;
      state.pending_dy += event.b;
      break;
    case Platform_Event_Type::Button_Down:
    case Platform_Event_Type::Button_Up: {
      if (event.a < 1 || event.a > 3) break;
      Button& button = state.buttons[event.a];
      bool down = event.type == Platform_Event_Type::Button_Down;
      if (down) button.pressed_since_read = true;
      button.down = down;
      state.virtual_key_down[button_virtual_key(event.a)] = down;
      if (!down && state.key_releases[button_virtual_key(event.a)] < UINT16_MAX) {
        ++state.key_releases[button_virtual_key(event.a)];
      }
      break;
    }
    default:
      break;
  }
}

void Input_Release_All() {
  for (auto& button : state.buttons) button = Button{};
  for (auto& down : state.virtual_key_down) down = false;
  for (auto& down : state.key_down_by_scan) down = 0;
  state.pending_dx = state.pending_dy = 0;
}

int32_t Input_Read_Button(int button) {
  if (button < 1 || button > 3) return 0;
  Button& b = state.buttons[button];
  if (b.pressed_since_read) {
    b.pressed_since_read = false;
    return 1;
  }
  return b.down ? 2 : 0;
}

void Input_Update() {
  Input_State& s = state.input_state;
  Pump_Messages();
  if (Display_Inactive()) {
    s.left_button = s.escape = s.right_button = s.key = 0;
    return;
  }
  s.escape = 0;
  s.key = Read_Key();

  // The virtual cursor moves at half the speed of the system cursor.
  s.mouse_dx = saturate(state.pending_dx >> 1);
  s.mouse_dy = saturate(state.pending_dy >> 1);
  state.pending_dx = state.pending_dy = 0;

  const int32_t step = state.keyboard_step;
  switch (s.key) {
    case 0x4800: case '8': s.mouse_dy -= step; break;
    case 0x5000: case '2': s.mouse_dy += step; break;
    case 0x4B00: case '4': s.mouse_dx -= step; break;
    case 0x4D00: case '6': s.mouse_dx += step; break;
    case 8: state.keyboard_step = step ^ 6; break;
    default: break;
  }
  s.mouse_x = clamp(saturate(static_cast<int64_t>(s.mouse_x) + s.mouse_dx), s.clip_left, s.clip_right);
  s.mouse_y = clamp(saturate(static_cast<int64_t>(s.mouse_y) + s.mouse_dy), s.clip_top, s.clip_bottom);

  s.left_button = Input_Read_Button(1);
  s.right_button = Input_Read_Button(2);

  if (s.key == 13) s.left_button = 1;
  if (s.key == 8) s.right_button = 1;
  if (s.key == 27) s.escape = 1;
}

bool Async_Key_Down(int virtual_key) {
  if (virtual_key < 0 || virtual_key > 255) return false;
  return state.virtual_key_down[virtual_key];
}

int32_t Keyboard_Step() { return state.keyboard_step; }

uint8_t Key_Down(int scan_code) {
  if (scan_code < 0 || scan_code > 127) return 0;
  return state.key_down_by_scan[scan_code];
}

bool Take_Key_Release(int virtual_key) {
  if (virtual_key < 0 || virtual_key > 255 || state.key_releases[virtual_key] == 0) return false;
  --state.key_releases[virtual_key];
  return true;
}

void Forget_Key_Releases() {
  for (auto& count : state.key_releases) count = 0;
}

void platform_state::Reset_Input() { state = Keyboard_Mouse_State{}; }
