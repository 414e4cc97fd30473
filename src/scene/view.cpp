#include "scene/view.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "draw/font.h"
#include "draw/frame_buffer.h"
#include "draw/picture_draw.h"
#include "draw/rows.h"
#include "files/byte_reader.h"
#include "files/file.h"
#include "pictures/picture.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/input.h"
#include "scene/command_rows.h"
#include "scene/renderer.h"
#include "scene/runtime.h"
#include "scene/scene_sound.h"
#include "scene/script_compiler.h"
#include "scene/state_resets.h"
#include "video/animation_step.h"
#include "zel_vr/zel_vr.h"

namespace {

constexpr float Pi = 3.14159265f;
constexpr float Two_Pi = 6.28318531f;
constexpr int Screen_Pixels = Screen_Width * Screen_Height;

struct View_File_State {
  View_State view = {0, 0, 0, 0, 1536, -1, -1, 90.0f};
  bool flat = false;  // the node is a flat picture
  char print_text[257] = {};
  char print_font[257] = {};
};
View_File_State state;

// Float to integer toward zero without undefined behaviour for values a damaged
// zone file may hold.
int32_t trunc_to_int(float value) {
  if (!(value > -2147483520.0f && value < 2147483520.0f)) return 0;
  return static_cast<int32_t>(value);
}

int32_t floor_half(int32_t value) { return value >= 0 ? value / 2 : -((-value + 1) / 2); }

// The progress step of an effect frame: speed units per 16 ms (wide, so that no
// speed a script can write overflows it).
int64_t effect_step(int64_t speed) { return (speed * Clock_Delta()) >> 4; }

int32_t wrap_pitch(int32_t value) {
  int32_t p = value & 8191;
  return p > 4095 ? p - 8192 : p;
}

void eased_turn_and_zoom(int32_t p, int32_t y, bool turn, float zoom_to, bool zoom, int32_t speed) {
  View_State& view = state.view;
  std::vector<float> easing;
  View_Build_Easing(easing);
  int32_t target_pitch = p & 8191;
  int32_t target_yaw = y & 8191;
  if (turn) {
    view.pitch &= 8191;
    view.yaw &= 8191;
    // The shortest way round on each axis.
    if (view.pitch - target_pitch > 4096) target_pitch += 8192;
    if (view.pitch - target_pitch < -4096) view.pitch += 8192;
    if (view.yaw - target_yaw > 4096) target_yaw += 8192;
    if (view.yaw - target_yaw < -4096) view.yaw += 8192;
  }
  // A speed that cannot move the effect forward finishes it at once.
  if (speed > 0) {
    int32_t t = 0;
    do {
      int32_t pitch = view.pitch;
      int32_t yaw = view.yaw;
      float fov = view.fov;
      if (turn) {
        pitch = view.pitch + static_cast<int32_t>(static_cast<float>(target_pitch - view.pitch) * easing[t]);
        yaw = view.yaw + static_cast<int32_t>(static_cast<float>(target_yaw - view.yaw) * easing[t]);
      }
      if (zoom) fov = (zoom_to - view.fov) * static_cast<float>(t) * (1.0f / 4096.0f) + view.fov;
      View_Draw(pitch, yaw, fov);
      Effect_Frame();
      int64_t step = effect_step(speed);
      t = step > 0 ? static_cast<int32_t>(std::min<int64_t>(t + step, 4096)) : t + 1;
    } while (t < 4096);
  }
  if (turn) {
    view.pitch = wrap_pitch(target_pitch);
    view.yaw = target_yaw;
  }
  if (zoom) view.fov = zoom_to;
  View_Draw_Current();
  Animation_Step();
}

void fade(int32_t from, int32_t to, int32_t speed_field) {
  View_Draw_Current();
  Animation_Step();
  uint16_t* screen = Screen_Buffer();
  std::vector<uint16_t> work(screen, screen + Screen_Pixels);
  if (from == to) return;
  const bool down = to < from;
  // Negated in 64 bits: the field may hold the most negative 32-bit value.
  const int64_t speed = down ? -static_cast<int64_t>(speed_field) : speed_field;
  // Each frame moves the level by the speed's step plus one more in the speed's
  // direction (0 counts as upward). Fading down thus needs a negative speed and
  // fading up one of at least 0; any other speed would never reach `to`, and the
  // fade finishes at once.
  if (down ? speed >= 0 : speed < 0) return;
  // The level only ever lies between `from` and `to` while it is drawn; the last
  // step may go beyond the 32-bit range, so it is kept in 64 bits.
  int64_t level = from;
  do {
    Row_Brightness(work.data(), screen, Screen_Pixels, static_cast<int32_t>(level));
    Effect_Frame();
    int64_t step = effect_step(speed);
    step = speed < 0 ? step - 1 : step + 1;
    level += step;
  } while (down ? level > to : level < to);
}

void transfade(int32_t speed) {
  uint16_t* screen = Screen_Buffer();
  std::vector<uint16_t> old_picture(screen, screen + Screen_Pixels);
  View_Draw_Current();
  Animation_Step();
  std::vector<uint16_t> new_picture(screen, screen + Screen_Pixels);
  if (speed <= 0) return;  // would never finish: the new picture stays
  std::vector<uint16_t> work(Screen_Pixels);
  // Steps are 64-bit: a huge speed ends each half in one frame without overflow.
  int64_t level = -255;
  do {
    Row_Brightness(new_picture.data(), work.data(), Screen_Pixels, static_cast<int32_t>(level));
    Row_Add(old_picture.data(), work.data(), screen, Screen_Pixels);
    Effect_Frame();
    int64_t step = effect_step(speed);
    level += step > 0 ? step : 1;
  } while (level < 0);
  level = 0;
  do {
    Row_Brightness(old_picture.data(), work.data(), Screen_Pixels, static_cast<int32_t>(level));
    Row_Add(new_picture.data(), work.data(), screen, Screen_Pixels);
    Effect_Frame();
    int64_t step = effect_step(speed);
    level -= step > 0 ? step : 1;
  } while (level > -256);
}

void draw_cursor_pixels(const Picture* cursor, int32_t left, int32_t top) {
  const auto* pixels = reinterpret_cast<const uint16_t*>(cursor->pixels);
  for (int32_t y = 0; y < cursor->height; ++y) {
    for (int32_t x = 0; x < cursor->width; ++x) {
      uint16_t p = pixels[static_cast<size_t>(y) * cursor->width + x];
      if (p != 0) Pixel_Put(left + x, top + y, p);
    }
  }
}

}  // namespace

View_State& View() { return state.view; }

void View_State_Reset() { state = View_File_State{}; }

void View_Set_Flat(bool flat) { state.flat = flat; }
bool View_Is_Flat() { return state.flat; }

void View_Draw(int32_t pitch, int32_t yaw, float fov) {
  if (state.flat) {
    Picture_Draw(Node_Picture(), 0, 0);
    return;
  }
  ZEL_VR* renderer = Renderer();
  if (renderer == nullptr) return;
  float horizontal = static_cast<float>(yaw & 8191) * View_Radians_Per_Unit - View_Quarter_Turn;
  float vertical = static_cast<float>(pitch & 8191) * View_Radians_Per_Unit + View_Quarter_Turn;
  renderer->Draw(Screen_Buffer(), horizontal, vertical, 0.0f, fov * 0.01745328f);
}

void View_Draw_Current() { View_Draw(state.view.pitch, state.view.yaw, state.view.fov); }

void View_Build_Easing(std::vector<float>& table) {
  table.resize(4096);
  for (int j = 0; j < 4096; ++j) {
    table[static_cast<size_t>(4095 - j)] = 1.0f - static_cast<float>(j * j) / 16777216.0f;
  }
}

void Zone_Snap(Zone& zone) {
  auto snap_h = [](float a) {
    return static_cast<float>(trunc_to_int(a * View_Units_Per_Radian) & 8191) * View_Radians_Per_Unit;
  };
  auto snap_v = [](float b) {
    return static_cast<float>(trunc_to_int((b - View_Quarter_Turn) * View_Units_Per_Radian) & 8191) *
               View_Radians_Per_Unit +
           View_Quarter_Turn;
  };
  zone.a1 = snap_h(zone.a1);
  zone.a2 = snap_h(zone.a2);
  zone.b1 = snap_v(zone.b1);
  zone.b2 = snap_v(zone.b2);
}

bool Zone_Contains_View(const Zone& zone, int32_t yaw, int32_t pitch) {
  float h = static_cast<float>(yaw & 8191) * View_Radians_Per_Unit;
  float v = static_cast<float>(pitch & 8191) * View_Radians_Per_Unit + View_Quarter_Turn;
  auto interval = [](float a, float b, float& lo, float& hi) {
    lo = a < b ? a : b;
    hi = a < b ? b : a;
    if (hi - lo > Pi) {  // wraps through 0
      float old_lo = lo;
      lo = hi;
      hi = old_lo + Two_Pi;
    }
  };
  float lo, hi;
  interval(zone.a1, zone.a2, lo, hi);
  bool horizontal = (lo <= h && h <= hi) || (lo <= h + Two_Pi && h + Two_Pi <= hi);
  if (!horizontal) return false;
  interval(zone.b1, zone.b2, lo, hi);
  return (lo <= v && v <= hi) || (lo <= v + Two_Pi && v + Two_Pi <= hi);
}

bool Zone_Contains_Point(const Zone& zone, int32_t x, int32_t y) {
  int32_t x_lo = trunc_to_int(zone.a1 < zone.a2 ? zone.a1 : zone.a2);
  int32_t x_hi = trunc_to_int(zone.a1 < zone.a2 ? zone.a2 : zone.a1);
  int32_t y_lo = trunc_to_int(zone.b1 < zone.b2 ? zone.b1 : zone.b2);
  int32_t y_hi = trunc_to_int(zone.b1 < zone.b2 ? zone.b2 : zone.b1);
  return x_lo <= x && x <= x_hi && y_lo <= y && y <= y_hi;
}

int Zone_Hit(Zone& zone) {
  bool inside = state.flat ? Zone_Contains_Point(zone, Input().mouse_x, Input().mouse_y)
                           : Zone_Contains_View(zone, state.view.yaw, state.view.pitch);
  zone.state = inside ? 2 : 1;
  return zone.state;
}

std::vector<Zone> Zone_File_Load(const char* name) {
  std::vector<Zone> zones;
  std::vector<uint8_t> file;
  if (name == nullptr || !File_Load_Whole(name, file, 16u << 20)) return zones;
  Byte_Reader reader(file.data(), file.size());
  int32_t count = reader.i32le();
  if (!reader.ok() || count <= 0) return zones;
  size_t complete = reader.remaining() / 16;
  size_t n = static_cast<size_t>(count) < complete ? static_cast<size_t>(count) : complete;
  zones.resize(n);
  for (Zone& zone : zones) {
    zone.state = 1;
    zone.a1 = reader.f32le();
    zone.a2 = reader.f32le();
    zone.b1 = reader.f32le();
    zone.b2 = reader.f32le();
  }
  return zones;
}

void View_Stop_Turning() {
  Input().mouse_dx = 0;
  Input().mouse_dy = 0;
  state.view.pitch_speed = 0;
  state.view.yaw_speed = 0;
}

void View_Turn() {
  View_State& view = state.view;
  int32_t pan_speed = Engine_Params().pan_speed;
  const Input_State& input = Input();
  view.yaw_speed += static_cast<int32_t>((static_cast<int64_t>(pan_speed) * input.mouse_dx) >> 8);
  view.pitch_speed -= static_cast<int32_t>((static_cast<int64_t>(pan_speed) * input.mouse_dy) >> 8);
  for (int32_t* s : {&view.pitch_speed, &view.yaw_speed}) {
    int32_t v = *s;
    v = v > 0 ? v - 1 : v + 1;
    v -= v >> 2;
    if (v >= -1 && v <= 1) v = 0;
    *s = v;
  }
  if (!state.flat) {
    view.pitch += static_cast<int32_t>((static_cast<int64_t>(view.pitch_speed) * Clock_Delta()) >> 4);
    view.yaw += static_cast<int32_t>((static_cast<int64_t>(view.yaw_speed) * Clock_Delta()) >> 4);
  }
  if (view.pitch < -view.pitch_limit) view.pitch = -view.pitch_limit;
  if (view.pitch > view.pitch_limit) view.pitch = view.pitch_limit;
  if (!(view.yaw_min == -1 && view.yaw_max == -1)) {
    if (view.yaw < view.yaw_min) view.yaw = view.yaw_min;
    if (view.yaw > view.yaw_max) view.yaw = view.yaw_max;
  }
}

void Cursor_Draw(const Picture* cursor) {
  if (cursor == nullptr || cursor->bits_per_pixel != 16 || cursor->pixels == nullptr || cursor->pack_method != 0) {
    return;
  }
  if (state.flat) {
    draw_cursor_pixels(cursor, Input().mouse_x - floor_half(cursor->width),
                       Input().mouse_y - floor_half(cursor->height));
  } else {
    draw_cursor_pixels(cursor, floor_half(Screen_Width - cursor->width), floor_half(Screen_Height - cursor->height));
  }
}

void Print_Set(const char* text, const char* font) {
  std::strncpy(state.print_text, text, sizeof state.print_text - 1);
  state.print_text[sizeof state.print_text - 1] = 0;
  for (char* c = state.print_text; *c; ++c) {
    if (*c == '_') *c = ' ';
  }
  std::strncpy(state.print_font, font, sizeof state.print_font - 1);
  state.print_font[sizeof state.print_font - 1] = 0;
}

void Print_Restore(const char* text, const char* font) {
  std::strncpy(state.print_text, text, sizeof state.print_text - 1);
  state.print_text[sizeof state.print_text - 1] = 0;
  std::strncpy(state.print_font, font, sizeof state.print_font - 1);
  state.print_font[sizeof state.print_font - 1] = 0;
}

void Print_Clear() { state.print_text[0] = 0; }

const char* Print_Text() { return state.print_text; }
const char* Print_Font() { return state.print_font; }

void Print_Draw() {
  if (state.print_text[0] == 0) return;
  int32_t length = static_cast<int32_t>(std::strlen(state.print_text));
  int32_t y = floor_half(Screen_Height - Font_Height(state.print_font));
  int32_t x = floor_half(Screen_Width - Font_Width(state.print_font) * length);
  Text_Draw(state.print_text, x, y, state.print_font);
}

void Effect_Frame() {
  Print_Draw();
  Animation_Step();
  Scene_Sound_Tick();
  Present_Frame(Screen_Buffer());
}

namespace {

Command_Next angle_x_max(const Command_Call& call) {
  state.view.pitch_limit = Field_Int(call.line, 1);
  return Command_Next::Go_On;
}

Command_Next angle_y_max(const Command_Call& call) {
  state.view.yaw_min = Field_Int(call.line, 1);
  state.view.yaw_max = Field_Int(call.line, 2);
  return Command_Next::Go_On;
}

Command_Next set_angle(const Command_Call& call) {
  state.view.pitch = wrap_pitch(Field_Int(call.line, 1));
  state.view.yaw = Field_Int(call.line, 2);
  return Command_Next::Go_On;
}

Command_Next set_north(const Command_Call& call) {
  state.view.yaw += Field_Int(call.line, 1);
  return Command_Next::Go_On;
}

Command_Next set_zoom(const Command_Call& call) {
  state.view.fov = static_cast<float>(Field_Int(call.line, 1));
  return Command_Next::Go_On;
}

Command_Next interpolate_angle(const Command_Call& call) {
  const char* line = call.line;
  eased_turn_and_zoom(Field_Int(line, 1), Field_Int(line, 2), true, 0.0f, false, Field_Int(line, 3));
  return Command_Next::Go_On;
}

Command_Next interpolate_zoom(const Command_Call& call) {
  const char* line = call.line;
  eased_turn_and_zoom(0, 0, false, static_cast<float>(Field_Int(line, 1)), true, Field_Int(line, 2));
  return Command_Next::Go_On;
}

Command_Next interpolate_angle_zoom(const Command_Call& call) {
  const char* line = call.line;
  eased_turn_and_zoom(Field_Int(line, 1), Field_Int(line, 2), true, static_cast<float>(Field_Int(line, 3)), true,
                      Field_Int(line, 4));
  return Command_Next::Go_On;
}

Command_Next fade_command(const Command_Call& call) {
  fade(Field_Int(call.line, 1), Field_Int(call.line, 2), Field_Int(call.line, 3));
  return Command_Next::Go_On;
}

Command_Next transfade_command(const Command_Call& call) {
  transfade(Field_Int(call.line, 1));
  return Command_Next::Go_On;
}

constexpr Command_Row view_rows[] = {
    {"ANGLEXMAX", angle_x_max},
    {"ANGLEYMAX", angle_y_max},
    {"SETANGLE", set_angle},
    {"SETNORD", set_north},
    {"SETZOOM", set_zoom},
    {"INTERPOLANGLE", interpolate_angle},
    {"INTERPOLZOOM", interpolate_zoom},
    {"INTERPOLANGLEZOOM", interpolate_angle_zoom},
    {"FADE", fade_command},
    {"TRANSFADE", transfade_command},
};

}  // namespace

std::span<const Command_Row> View_Command_Rows() { return view_rows; }
