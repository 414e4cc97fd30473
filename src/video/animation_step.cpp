// The animation step run once per engine frame: block animations paced by their
// speed, the wave distortion of the screen, and the error screen.
#include "video/animation_step.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "pictures/picture.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "video/engine_targets.h"
#include "video/movie.h"
#include "video/node_picture.h"
#include "video/scene_link.h"

namespace {
struct Animation_Step_State {
  bool waves_on = false;
  float wave_phase = 0.0f;  // keeps running across nodes
  uint64_t wave_last = 0;
  bool error_screen = false;
};
Animation_Step_State state;

// Seconds between two counter readings, from their low 32 bits.
double counter_seconds(uint64_t now, uint64_t last) {
  uint32_t difference = static_cast<uint32_t>(now) - static_cast<uint32_t>(last);
  return static_cast<double>(difference) / static_cast<double>(Counter_Frequency());
}

void fill_error_area() { std::memset(Screen_Buffer(), 0x1F, 307200); }

void draw_waves() {
  uint64_t now = Counter_Now();
  double dt = counter_seconds(now, state.wave_last);
  state.wave_last = Counter_Now();
  // The phase is stored in single precision but advanced in double: one
  // rounding per frame.
  state.wave_phase = static_cast<float>(static_cast<double>(state.wave_phase) + dt * 20.0);
  uint16_t* screen = Screen_Buffer();
  std::vector<uint16_t> copy(screen, screen + Screen_Width * Screen_Height);
  // Single-precision constants, but the angle and its sine are taken in double:
  // a float angle or sine moves a row by one in a few frames out of a hundred.
  constexpr double row_step = 0.039269909f;
  constexpr double phase_scale = 0.4f;
  for (int y = 0; y < Screen_Height; ++y) {
    double angle = row_step * y + phase_scale * static_cast<double>(state.wave_phase);
    int s = y - static_cast<int>(std::trunc(-3.0 * std::sin(angle)));
    if (s < 0) s = 0;
    if (s > Screen_Height - 1) s = Screen_Height - 1;
    std::memcpy(screen + y * Screen_Width, copy.data() + s * Screen_Width, Screen_Width * 2);
  }
}
}  // namespace

void Anim_Advance(bool forced) {
  int width = Node_Picture_Width();
  uint16_t* target = nullptr;
  if (width == 256) {
    target = Panorama_Buffer();
  } else if (Picture* picture = Node_Picture(); picture != nullptr && picture->bits_per_pixel == 16) {
    target = reinterpret_cast<uint16_t*>(picture->pixels);
  }
  for (int i = 0; i < Anim_Count(); ++i) {
    Anim_Slot* slot = Anim_Slot_At(i);
    if (slot == nullptr || !slot->active) continue;
    uint64_t now = Counter_Now();
    double t = counter_seconds(now, slot->last_count);
    slot->last_count = Counter_Now();
    t = t * slot->speed + slot->phase;
    if (forced || t >= 1.0) {
      if (Anim_Step(slot, target, 16, width) == 0) {
        slot->active = 0;
        slot->stop_requested = 0;
        Scene_Bool_Set(slot->end_boolean, slot->end_value);
      }
    }
    // Whole frames the engine fell behind are dropped, not caught up.
    slot->phase = static_cast<float>(t - std::floor(t));
  }
}

void Animation_Step() {
  Anim_Advance(false);
  if (state.waves_on) draw_waves();
  Node_Video_Step();
  if (state.error_screen) fill_error_area();
}

void Waves_Start() {
  if (!state.waves_on) state.wave_last = Counter_Now();
  state.waves_on = true;
}
void Waves_Stop() { state.waves_on = false; }
bool Waves_Active() { return state.waves_on; }
float Waves_Phase() { return state.wave_phase; }

void Error_Screen_Raise() {
  state.error_screen = true;
  fill_error_area();
}
void Error_Screen_Clear() { state.error_screen = false; }
bool Error_Screen_Raised() { return state.error_screen; }

void Animation_Step_Reset() { state = Animation_Step_State{}; }
