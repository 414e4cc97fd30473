// The display and the message pump. The frame buffer lives for the whole run;
// frames are converted into the screen surface of the chosen mode (the window's
// texture, or a memory surface when headless).
#include "platform/display.h"

#include <cstring>
#include <deque>
#include <vector>

#include "platform/clock.h"
#include "platform/display_internal.h"
#include "platform/display_modes.h"
#include "platform/events.h"
#include "platform/input.h"
#include "platform/platform.h"
#include "platform/platform_state.h"
#include "platform/record.h"
#include "platform/window.h"

namespace {

// The mode before any set-up: the engine's own size in 5-6-5.
Display_Mode screen_mode() {
  Display_Mode mode;
  mode.index = 1;
  mode.kind = Display_Kind_Listed;
  mode.bits_per_pixel = 16;
  mode.colours = 1 << 16;
  mode.width = Screen_Width;
  mode.height = Screen_Height;
  mode.frame_bytes = Screen_Width * Screen_Height * 2;
  mode.pitch = Screen_Width * 2;
  return mode;
}

struct Display_State {
  uint16_t frame_buffer[Screen_Width * Screen_Height] = {};
  uint16_t last_frame[Screen_Width * Screen_Height] = {};
  bool have_last_frame = false;

  // The memory surface of headless runs, with the mode's size and depth.
  std::vector<uint8_t> headless_surface;

  Display_Mode display_mode = screen_mode();
  std::vector<uint32_t> colour_table;  // empty for 5-6-5 screens

  // The window's texture holds last_frame as the current mode converts it, and
  // for how many more frames the window is presented although the frame is
  // unchanged: a few after every expose or resize, because the window system may
  // take a frame or two to give the drawing its new size.
  bool texture_current = false;
  int repaint_frames = 0;

  bool inactive = false;
  bool minimised = false;
  bool display_active = true;
  bool quit_requested = false;
  bool pause_in_background = true;

  std::deque<Platform_Event> injected;
  Present_Listener present_listener = nullptr;
};

Display_State state;

constexpr int repaints_after_expose = 8;

// The next event for the pump: from the replay file, else the injection queue,
// else the window. While replaying, the window's own events are drained so that
// it stays responsive, and closing it still ends the run.
bool next_event(Platform_Event* event, bool wait) {
  if (Replaying()) {
    Platform_Event ignored;
    while (Window_Poll_Event(&ignored, 0)) {
      if (ignored.type == Platform_Event_Type::Quit) state.quit_requested = true;
      if (ignored.type == Platform_Event_Type::Exposed) state.repaint_frames = repaints_after_expose;
    }
    return Replay_Next_Event(event);
  }
  if (!state.injected.empty()) {
    *event = state.injected.front();
    state.injected.pop_front();
    return true;
  }
  return Window_Poll_Event(event, wait ? 50 : 0);
}

void apply_event(const Platform_Event& event) {
  if (event.type == Platform_Event_Type::Exposed) {
    // No frame comes while the game is paused: the last one is shown again now
    // (and by the wait below).
    if (state.inactive) Window_Repaint();
    state.repaint_frames = repaints_after_expose;
    return;
  }
  Record_Event(event);
  switch (event.type) {
    case Platform_Event_Type::Focus_Lost:
      state.inactive = true;
      Input_Release_All();
      Window_Set_Relative_Mouse(false);
      break;
    case Platform_Event_Type::Focus_Gained:
      state.inactive = false;
      Window_Set_Relative_Mouse(true);
      break;
    case Platform_Event_Type::Quit: state.quit_requested = true; break;
    default:
      Input_Apply_Event(event);
      break;
  }
}

// In the background the display is given up (a full-screen window is minimised
// by SDL itself); the texture and Screen_Buffer are kept, so coming back only
// clears the state.
void minimise() {
  if (!state.display_active || state.minimised) return;
  state.minimised = true;
}

void restore() {
  if (!state.display_active || !state.minimised) return;
  state.minimised = false;
}

}  // namespace

uint16_t* Screen_Buffer() { return state.frame_buffer; }

int Pump_Messages() {
  Replay_Pump_Begin();
  bool was_inactive = state.inactive;
  Platform_Event event;
  while (next_event(&event, false)) {
    apply_event(event);
    if (state.inactive) was_inactive = true;
  }
  if (state.inactive) {
    minimise();
    // The sound pauses with the game: nothing refills the music's buffer halves
    // while the game waits here.
    Platform_Notify_Pause(true);
    // Wait in the background until the focus comes back. Without a window there
    // is nothing to wait for: the focus counts as regained.
    while (state.inactive && !state.quit_requested) {
      if (state.repaint_frames > 0) {
        --state.repaint_frames;
        Window_Repaint();
      }
      if (!next_event(&event, true)) {
        if (!Window_Is_Open() || Replaying() || !state.pause_in_background) break;
        continue;
      }
      apply_event(event);
    }
    state.inactive = false;
    Platform_Notify_Pause(false);
  }
  Record_Pump_End();
  if (!was_inactive) {
    restore();
    return 0;
  }
  restore();
  // The click that brought the window back is not a click in the game.
  Input_Read_Button(1);
  return -1;
}

int Present_Frame(const uint16_t* source) {
  int pumped = Pump_Messages();
  if (state.quit_requested) Display_Quit_Now();
  if (pumped != 0 || state.inactive) return -1;
  if (source == nullptr) source = state.frame_buffer;

  // A frame equal to the one shown is neither uploaded nor scaled again: a node
  // where nothing moves then costs little more than drawing it.
  bool changed = !state.have_last_frame || std::memcmp(state.last_frame, source, sizeof state.last_frame) != 0;
  if (changed) std::memcpy(state.last_frame, source, sizeof state.last_frame);
  state.have_last_frame = true;

  const uint32_t* table = state.colour_table.empty() ? nullptr : state.colour_table.data();
  uint8_t* pixels = nullptr;
  int pitch = 0;
  if (Window_Is_Open()) {
    bool upload = changed || !state.texture_current || !Window_Has_Frame();
    if (upload) {
      state.texture_current = false;
      // A texture that cannot be locked twice in a row costs this frame only.
      if (Window_Lock(&pixels, &pitch) || Window_Lock(&pixels, &pitch)) {
        Present_Copy(source, state.display_mode, table, pixels, pitch);
        Window_Unlock();
        state.texture_current = true;
      }
    }
    Window_Show(upload || state.repaint_frames > 0);
    if (state.repaint_frames > 0) --state.repaint_frames;
  } else {
    int screen_width = state.display_mode.width * (state.display_mode.kind == Display_Kind_Doubled ? 2 : 1);
    int screen_height = state.display_mode.height * (state.display_mode.kind == Display_Kind_Doubled ? 2 : 1);
    int bytes_per_pixel = state.display_mode.bits_per_pixel == 8 ? 1 : state.display_mode.bits_per_pixel <= 16 ? 2 : 4;
    pitch = screen_width * bytes_per_pixel;
    state.headless_surface.resize(static_cast<size_t>(pitch) * screen_height);
    state.display_mode.pitch = pitch;
    Present_Copy(source, state.display_mode, table, state.headless_surface.data(), pitch);
  }
  Clock_Tick();
  if (state.present_listener != nullptr) state.present_listener(state.last_frame);
  return 0;
}

void Display_Set_Present_Listener(Present_Listener listener) { state.present_listener = listener; }

int Display_Bits_Per_Pixel() { return state.display_mode.bits_per_pixel; }
bool Quit_Requested() { return state.quit_requested; }
bool Display_Inactive() { return state.inactive; }
bool Display_Headless() { return !Window_Is_Open(); }

const uint16_t* Display_Last_Frame() { return state.have_last_frame ? state.last_frame : nullptr; }

const uint8_t* Display_Surface(int* width, int* height, int* pitch, int* bits_per_pixel) {
  if (state.headless_surface.empty()) return nullptr;
  bool doubled = state.display_mode.kind == Display_Kind_Doubled;
  *width = state.display_mode.width * (doubled ? 2 : 1);
  *height = state.display_mode.height * (doubled ? 2 : 1);
  *pitch = state.display_mode.pitch;
  *bits_per_pixel = state.display_mode.bits_per_pixel;
  return state.headless_surface.data();
}

void Platform_Inject_Event(const Platform_Event& event) { state.injected.push_back(event); }

// --- set-up, used by platform.cpp and tests -------------------------------------

bool Display_Setup(const Mode_List& modes, const Display_Mode& request) {
  int32_t index = Mode_List_Choose(modes, request);
  if (index == 0) return false;
  state.display_mode = modes[static_cast<size_t>(index) - 1];
  state.display_mode.index = index;
  state.display_mode.frame_bytes = state.display_mode.width * state.display_mode.height * 2;
  state.colour_table.clear();
  if (state.display_mode.bits_per_pixel != 16) {
    state.colour_table.resize(65536);
    if (!Colour_Table_Build(state.display_mode.bits_per_pixel, state.colour_table.data())) state.colour_table.clear();
  }
  state.headless_surface.clear();
  state.texture_current = false;
  state.display_active = true;
  return true;
}

const Display_Mode& Display_Current_Mode() { return state.display_mode; }

void Display_Reset_State() {
  state.injected.clear();
  state.inactive = state.minimised = state.quit_requested = false;
  state.display_active = true;
  state.have_last_frame = false;
  state.texture_current = false;
  state.repaint_frames = 0;
}

void Display_Set_Pause_In_Background(bool pause) { state.pause_in_background = pause; }

void platform_state::Reset_Display() {
  Display_Reset_State();
  // Field by field: the two frames are too large for a temporary of the whole state.
  std::memset(state.frame_buffer, 0, sizeof state.frame_buffer);
  std::memset(state.last_frame, 0, sizeof state.last_frame);
  std::vector<uint8_t>().swap(state.headless_surface);
  state.display_mode = screen_mode();
  std::vector<uint32_t>().swap(state.colour_table);
  state.pause_in_background = true;
  state.present_listener = nullptr;
}
