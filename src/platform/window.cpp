#include "platform/window.h"

#include <SDL.h>

#include <chrono>
#include <deque>
#include <thread>

#include "platform/keys.h"
#include "platform/platform_state.h"

namespace {

struct Window_State {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  int texture_width = 0;
  int texture_height = 0;
  bool full_screen = false;
  bool swallow_enter_release = false;
  // The window's place and size before it went full screen, given back when it
  // leaves full screen.
  SDL_Rect windowed_rect = {0, 0, 0, 0};

  // The presentation: whether the texture holds a frame yet, the output size the
  // scaling was last fitted to, and when the window was last presented (unchanged
  // frames wait for the next refresh instead of being presented again).
  bool have_frame = false;
  int output_width = 0;
  int output_height = 0;
  std::chrono::steady_clock::time_point last_show;
  Window_Counts counts;
  bool swallow_g_release = false;

  // One SDL event can give several engine events (a key and its character).
  std::deque<Platform_Event> translated;
};

Window_State state;

bool is_enter(SDL_Keycode key) { return key == SDLK_RETURN || key == SDLK_KP_ENTER; }
// Ctrl+G lets the mouse out of the window (and takes it back), as SDL games do.
bool is_release_key(const SDL_Keysym& key) { return key.sym == SDLK_g && (key.mod & KMOD_CTRL) != 0; }

void push(Platform_Event_Type type, int a = 0, int b = 0) { state.translated.push_back({type, a, b}); }

void translate_window_event(const SDL_WindowEvent& e) {
  if (e.event == SDL_WINDOWEVENT_FOCUS_LOST) {
    push(Platform_Event_Type::Focus_Lost);
  } else if (e.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
    push(Platform_Event_Type::Focus_Gained);
  } else if (e.event == SDL_WINDOWEVENT_CLOSE) {
    push(Platform_Event_Type::Quit);
  } else if (e.event == SDL_WINDOWEVENT_EXPOSED || e.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
             e.event == SDL_WINDOWEVENT_SHOWN || e.event == SDL_WINDOWEVENT_RESTORED) {
    // The window's contents were lost or must be scaled anew.
    push(Platform_Event_Type::Exposed);
  }
}

// Alt+Enter and Ctrl+G act on the window and are not passed on; their releases
// are swallowed too.
bool window_key_down(const SDL_KeyboardEvent& e) {
  if (is_enter(e.keysym.sym) && (e.keysym.mod & KMOD_ALT) != 0) {
    if (e.repeat == 0) Window_Toggle_Full_Screen();
    state.swallow_enter_release = true;
    return true;
  }
  if (is_release_key(e.keysym)) {
    if (e.repeat == 0) Window_Set_Relative_Mouse(SDL_GetRelativeMouseMode() == SDL_FALSE);
    state.swallow_g_release = true;
    return true;
  }
  return false;
}

bool window_key_up(const SDL_KeyboardEvent& e) {
  if (is_enter(e.keysym.sym) && state.swallow_enter_release) {
    state.swallow_enter_release = false;
    return true;
  }
  if (e.keysym.sym == SDLK_g && state.swallow_g_release) {
    state.swallow_g_release = false;
    return true;
  }
  return false;
}

void translate_key(const SDL_KeyboardEvent& e, bool down) {
  if (down ? window_key_down(e) : window_key_up(e)) return;
  int vk = Virtual_Key_From_Sdl(e.keysym.sym, e.keysym.scancode);
  int scan = Scan_Code_From_Sdl(e.keysym.scancode);
  if (vk == 0 && scan == 0) return;
  push(down ? Platform_Event_Type::Key_Down : Platform_Event_Type::Key_Up, vk, scan);
  // Keys that produce a control character besides their key code: text input
  // does not report them, so the character follows the key here.
  if (down && (vk == 8 || vk == 9 || vk == 13 || vk == 27)) push(Platform_Event_Type::Character, vk, 0);
}

void translate_button(const SDL_MouseButtonEvent& e) {
  int button = e.button == SDL_BUTTON_LEFT     ? 1
               : e.button == SDL_BUTTON_RIGHT  ? 2
               : e.button == SDL_BUTTON_MIDDLE ? 3
                                               : 0;
  if (button == 0) return;
  push(e.type == SDL_MOUSEBUTTONDOWN ? Platform_Event_Type::Button_Down : Platform_Event_Type::Button_Up, button, 0);
}

void translate(const SDL_Event& e) {
  switch (e.type) {
    case SDL_QUIT: push(Platform_Event_Type::Quit); break;
    case SDL_WINDOWEVENT: translate_window_event(e.window); break;
    case SDL_KEYDOWN: translate_key(e.key, true); break;
    case SDL_KEYUP: translate_key(e.key, false); break;
    case SDL_TEXTINPUT:
      for (uint8_t c : Utf8_To_Cp1252(e.text.text)) push(Platform_Event_Type::Character, c, 0);
      break;
    case SDL_MOUSEMOTION:
      if (e.motion.xrel != 0 || e.motion.yrel != 0)
        push(Platform_Event_Type::Mouse_Motion, e.motion.xrel, e.motion.yrel);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: translate_button(e.button); break;
    default: break;
  }
}

// Takes the renderer's current output size for the scaling: the viewport that
// keeps the picture's aspect is computed anew whenever the size changed.
void fit_output() {
  int w = 0, h = 0;
  if (SDL_GetRendererOutputSize(state.renderer, &w, &h) != 0) return;
  if (w == state.output_width && h == state.output_height) return;
  state.output_width = w;
  state.output_height = h;
  SDL_RenderSetLogicalSize(state.renderer, state.texture_width, state.texture_height);
}

// Draws the texture scaled into the window and presents it.
void show() {
  fit_output();
  SDL_RenderClear(state.renderer);
  if (state.have_frame) SDL_RenderCopy(state.renderer, state.texture, nullptr, nullptr);
  SDL_RenderPresent(state.renderer);
  state.last_show = std::chrono::steady_clock::now();
  ++state.counts.presents;
}

// Waits as long as presenting would have: until one refresh of the display has
// passed since the window was last presented. Keeps the frame rate of the game
// where the frame is not presented again.
void wait_for_refresh() {
  SDL_DisplayMode mode;
  int rate = SDL_GetWindowDisplayMode(state.window, &mode) == 0 && mode.refresh_rate > 0 ? mode.refresh_rate : 60;
  auto interval = std::chrono::nanoseconds(1000000000 / rate);
  auto now = std::chrono::steady_clock::now();
  auto due = state.last_show + interval;
  if (now < due && due - now <= interval) std::this_thread::sleep_for(due - now);
  now = std::chrono::steady_clock::now();
  // Later waits keep to the same cadence unless the game fell behind.
  state.last_show = now - due < interval ? due : now;
}

}  // namespace

bool Window_Open(int width, int height, const char* title, std::string* error) {
  if (state.window != nullptr) return true;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    *error = std::string("SDL video: ") + SDL_GetError();
    return false;
  }
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
  state.window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
                                  SDL_WINDOW_RESIZABLE | SDL_WINDOW_SHOWN);
  if (state.window == nullptr) {
    *error = std::string("SDL window: ") + SDL_GetError();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return false;
  }
  state.renderer = SDL_CreateRenderer(state.window, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
  if (state.renderer == nullptr) state.renderer = SDL_CreateRenderer(state.window, -1, SDL_RENDERER_SOFTWARE);
  if (state.renderer != nullptr) {
    state.texture =
        SDL_CreateTexture(state.renderer, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING, width, height);
  }
  if (state.texture == nullptr) {
    *error = std::string("SDL renderer: ") + SDL_GetError();
    Window_Close();
    return false;
  }
  state.texture_width = width;
  state.texture_height = height;
  state.have_frame = false;
  // Scaled to the window with the aspect kept: black bars fill the rest.
  state.output_width = state.output_height = 0;
  fit_output();
  SDL_ShowCursor(SDL_DISABLE);
  SDL_StartTextInput();
  Window_Set_Relative_Mouse(true);
  SDL_SetRenderDrawColor(state.renderer, 0, 0, 0, 255);
  SDL_RenderClear(state.renderer);
  SDL_RenderPresent(state.renderer);
  return true;
}

void Window_Close() {
  if (state.texture != nullptr) SDL_DestroyTexture(state.texture);
  if (state.renderer != nullptr) SDL_DestroyRenderer(state.renderer);
  if (state.window != nullptr) {
    SDL_SetRelativeMouseMode(SDL_FALSE);
    SDL_ShowCursor(SDL_ENABLE);
    SDL_DestroyWindow(state.window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
  state.texture = nullptr;
  state.renderer = nullptr;
  state.window = nullptr;
  state.translated.clear();
  state.full_screen = false;
  state.have_frame = false;
}

bool Window_Is_Open() { return state.window != nullptr; }

bool Window_Poll_Event(Platform_Event* event, int wait_ms) {
  if (state.window == nullptr) return false;
  SDL_Event e;
  while (state.translated.empty()) {
    bool got = wait_ms > 0 ? SDL_WaitEventTimeout(&e, wait_ms) != 0 : SDL_PollEvent(&e) != 0;
    if (!got) return false;
    translate(e);
  }
  *event = state.translated.front();
  state.translated.pop_front();
  return true;
}

bool Window_Lock(uint8_t** pixels, int* pitch) {
  if (state.texture == nullptr) return false;
  void* p = nullptr;
  if (SDL_LockTexture(state.texture, nullptr, &p, pitch) != 0) return false;
  *pixels = static_cast<uint8_t*>(p);
  return true;
}

void Window_Unlock() {
  SDL_UnlockTexture(state.texture);
  state.have_frame = true;
  ++state.counts.uploads;
}

void Window_Show(bool changed) {
  if (state.renderer == nullptr) return;
  if (changed) {
    show();
  } else {
    wait_for_refresh();
  }
}

void Window_Repaint() {
  if (state.renderer != nullptr) show();
}

bool Window_Has_Frame() { return state.have_frame; }

Window_Counts Window_Get_Counts() { return state.counts; }

bool Window_Read_Back(std::vector<uint32_t>* pixels, int* width, int* height) {
  if (state.renderer == nullptr) return false;
  int w = 0, h = 0;
  if (SDL_GetRendererOutputSize(state.renderer, &w, &h) != 0 || w <= 0 || h <= 0) return false;
  SDL_RenderClear(state.renderer);
  SDL_RenderCopy(state.renderer, state.texture, nullptr, nullptr);
  pixels->assign(static_cast<size_t>(w) * h, 0);
  // Read the whole output in real pixels, outside the logical-size viewport.
  SDL_RenderSetLogicalSize(state.renderer, 0, 0);
  SDL_RenderSetViewport(state.renderer, nullptr);
  SDL_RenderSetScale(state.renderer, 1, 1);
  int rc = SDL_RenderReadPixels(state.renderer, nullptr, SDL_PIXELFORMAT_RGB888, pixels->data(), w * 4);
  SDL_RenderSetLogicalSize(state.renderer, state.texture_width, state.texture_height);
  SDL_RenderPresent(state.renderer);
  if (rc != 0) return false;
  for (auto& p : *pixels) p &= 0x00FFFFFFu;
  *width = w;
  *height = h;
  return true;
}

void Window_Toggle_Full_Screen() {
  if (state.window == nullptr) return;
  state.full_screen = !state.full_screen;
  if (state.full_screen) {
    // The window is first made as large as its display itself: without a window
    // manager nobody acts on the full-screen request, and the window would keep
    // its size while the presentation scaled for the whole display.
    SDL_GetWindowPosition(state.window, &state.windowed_rect.x, &state.windowed_rect.y);
    SDL_GetWindowSize(state.window, &state.windowed_rect.w, &state.windowed_rect.h);
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(state.window), &bounds) == 0) {
      SDL_SetWindowPosition(state.window, bounds.x, bounds.y);
      SDL_SetWindowSize(state.window, bounds.w, bounds.h);
    }
    SDL_SetWindowFullscreen(state.window, SDL_WINDOW_FULLSCREEN_DESKTOP);
  } else {
    SDL_SetWindowFullscreen(state.window, 0);
    if (state.windowed_rect.w > 0 && state.windowed_rect.h > 0) {
      SDL_SetWindowSize(state.window, state.windowed_rect.w, state.windowed_rect.h);
      SDL_SetWindowPosition(state.window, state.windowed_rect.x, state.windowed_rect.y);
    }
  }
  // The next frame is scaled for the output size the toggle gave.
  fit_output();
}

void Window_Set_Relative_Mouse(bool on) {
  if (state.window == nullptr) return;
  SDL_SetRelativeMouseMode(on ? SDL_TRUE : SDL_FALSE);
  // A released mouse shows its pointer, so the player sees where it goes.
  SDL_ShowCursor(on ? SDL_DISABLE : SDL_ENABLE);
}

bool Window_Mouse_Confined() { return state.window != nullptr && SDL_GetRelativeMouseMode() == SDL_TRUE; }

void platform_state::Reset_Window() {
  Window_Close();
  state = Window_State{};
}
