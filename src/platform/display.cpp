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
#include "platform/record.h"
#include "platform/window.h"

namespace {

uint16_t frame_buffer[Screen_Width * Screen_Height];
uint16_t last_frame[Screen_Width * Screen_Height];
bool have_last_frame = false;

// The memory surface of headless runs, with the mode's size and depth.
std::vector<uint8_t> headless_surface;

Display_Mode display_mode = [] {
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
}();
std::vector<uint32_t> colour_table;  // empty for 5-6-5 screens

// The window's texture holds last_frame as the current mode converts it, and
// for how many more frames the window is presented although the frame is
// unchanged: a few after every expose or resize, because the window system may
// take a frame or two to give the drawing its new size.
bool texture_current = false;
int repaint_frames = 0;
constexpr int repaints_after_expose = 8;

bool inactive = false;
bool minimised = false;
bool display_active = true;
bool quit_requested = false;
bool pause_in_background = true;

std::deque<Platform_Event> injected;
Present_Listener present_listener = nullptr;

// The next event for the pump: from the replay file, else the injection queue,
// else the window. While replaying, the window's own events are drained so that
// it stays responsive, and closing it still ends the run.
bool next_event(Platform_Event* event, bool wait) {
  if (Replaying()) {
    Platform_Event ignored;
    while (Window_Poll_Event(&ignored, 0)) {
      if (ignored.type == Platform_Event_Type::Quit) quit_requested = true;
      if (ignored.type == Platform_Event_Type::Exposed) repaint_frames = repaints_after_expose;
    }
    return Replay_Next_Event(event);
  }
  if (!injected.empty()) {
    *event = injected.front();
    injected.pop_front();
    return true;
  }
  return Window_Poll_Event(event, wait ? 50 : 0);
}

void apply_event(const Platform_Event& event) {
  if (event.type == Platform_Event_Type::Exposed) {
    // No frame comes while the game is paused: the last one is shown again now
    // (and by the wait below).
    if (inactive) Window_Repaint();
    repaint_frames = repaints_after_expose;
    return;
  }
  Record_Event(event);
  switch (event.type) {
    case Platform_Event_Type::Focus_Lost:
      inactive = true;
      Input_Release_All();
      Window_Set_Relative_Mouse(false);
      break;
    case Platform_Event_Type::Focus_Gained:
      inactive = false;
      Window_Set_Relative_Mouse(true);
      break;
    case Platform_Event_Type::Quit:
      quit_requested = true;
      break;
    default:
      Input_Apply_Event(event);
      break;
  }
}

// In the background the display is given up (a full-screen window is minimised
// by SDL itself); the texture and Screen_Buffer are kept, so coming back only
// clears the state.
void minimise() {
  if (!display_active || minimised) return;
  minimised = true;
}

void restore() {
  if (!display_active || !minimised) return;
  minimised = false;
}

}  // namespace

uint16_t* Screen_Buffer() { return frame_buffer; }

int Pump_Messages() {
  Replay_Pump_Begin();
  bool was_inactive = inactive;
  Platform_Event event;
  while (next_event(&event, false)) {
    apply_event(event);
    if (inactive) was_inactive = true;
  }
  if (inactive) {
    minimise();
    // The sound pauses with the game: nothing refills the music's buffer halves
    // while the game waits here.
    Platform_Notify_Pause(true);
    // Wait in the background until the focus comes back. Without a window there
    // is nothing to wait for: the focus counts as regained.
    while (inactive && !quit_requested) {
      if (repaint_frames > 0) {
        --repaint_frames;
        Window_Repaint();
      }
      if (!next_event(&event, true)) {
        if (!Window_Is_Open() || Replaying() || !pause_in_background) break;
        continue;
      }
      apply_event(event);
    }
    inactive = false;
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
  if (quit_requested) Display_Quit_Now();
  if (pumped != 0 || inactive) return -1;
  if (source == nullptr) source = frame_buffer;

  // A frame equal to the one shown is neither uploaded nor scaled again: a node
  // where nothing moves then costs little more than drawing it.
  bool changed = !have_last_frame || std::memcmp(last_frame, source, sizeof last_frame) != 0;
  if (changed) std::memcpy(last_frame, source, sizeof last_frame);
  have_last_frame = true;

  const uint32_t* table = colour_table.empty() ? nullptr : colour_table.data();
  uint8_t* pixels = nullptr;
  int pitch = 0;
  if (Window_Is_Open()) {
    bool upload = changed || !texture_current || !Window_Has_Frame();
    if (upload) {
      texture_current = false;
      // A texture that cannot be locked twice in a row costs this frame only.
      if (Window_Lock(&pixels, &pitch) || Window_Lock(&pixels, &pitch)) {
        Present_Copy(source, display_mode, table, pixels, pitch);
        Window_Unlock();
        texture_current = true;
      }
    }
    Window_Show(upload || repaint_frames > 0);
    if (repaint_frames > 0) --repaint_frames;
  } else {
    int screen_width = display_mode.width * (display_mode.kind == Display_Kind_Doubled ? 2 : 1);
    int screen_height = display_mode.height * (display_mode.kind == Display_Kind_Doubled ? 2 : 1);
    int bytes_per_pixel = display_mode.bits_per_pixel == 8 ? 1 : display_mode.bits_per_pixel <= 16 ? 2 : 4;
    pitch = screen_width * bytes_per_pixel;
    headless_surface.resize(static_cast<size_t>(pitch) * screen_height);
    display_mode.pitch = pitch;
    Present_Copy(source, display_mode, table, headless_surface.data(), pitch);
  }
  Clock_Tick();
  if (present_listener != nullptr) present_listener(last_frame);
  return 0;
}

void Display_Set_Present_Listener(Present_Listener listener) { present_listener = listener; }

int Display_Bits_Per_Pixel() { return display_mode.bits_per_pixel; }
bool Quit_Requested() { return quit_requested; }
bool Display_Inactive() { return inactive; }
bool Display_Headless() { return !Window_Is_Open(); }

const uint16_t* Display_Last_Frame() { return have_last_frame ? last_frame : nullptr; }

const uint8_t* Display_Surface(int* width, int* height, int* pitch, int* bits_per_pixel) {
  if (headless_surface.empty()) return nullptr;
  bool doubled = display_mode.kind == Display_Kind_Doubled;
  *width = display_mode.width * (doubled ? 2 : 1);
  *height = display_mode.height * (doubled ? 2 : 1);
  *pitch = display_mode.pitch;
  *bits_per_pixel = display_mode.bits_per_pixel;
  return headless_surface.data();
}

void Platform_Inject_Event(const Platform_Event& event) { injected.push_back(event); }

// --- set-up, used by platform.cpp and tests -------------------------------------

bool Display_Setup(const Mode_List& modes, const Display_Mode& request) {
  int32_t index = Mode_List_Choose(modes, request);
  if (index == 0) return false;
  display_mode = modes[static_cast<size_t>(index) - 1];
  display_mode.index = index;
  display_mode.frame_bytes = display_mode.width * display_mode.height * 2;
  colour_table.clear();
  if (display_mode.bits_per_pixel != 16) {
    colour_table.resize(65536);
    if (!Colour_Table_Build(display_mode.bits_per_pixel, colour_table.data())) colour_table.clear();
  }
  headless_surface.clear();
  texture_current = false;
  display_active = true;
  return true;
}

const Display_Mode& Display_Current_Mode() { return display_mode; }

void Display_Reset_State() {
  injected.clear();
  inactive = minimised = quit_requested = false;
  display_active = true;
  have_last_frame = false;
  texture_current = false;
  repaint_frames = 0;
}

void Display_Set_Pause_In_Background(bool pause) { pause_in_background = pause; }
