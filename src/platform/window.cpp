#include "platform/window.h"

#include <SDL.h>

#include <chrono>
#include <deque>
#include <thread>

#include "platform/keys.h"

namespace {

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

bool is_enter(SDL_Keycode key) { return key == SDLK_RETURN || key == SDLK_KP_ENTER; }
// Ctrl+G lets the mouse out of the window (and takes it back), as SDL games do.
bool is_release_key(const SDL_Keysym& key) { return key.sym == SDLK_g && (key.mod & KMOD_CTRL) != 0; }

void translate(const SDL_Event& e) {
  switch (e.type) {
    case SDL_QUIT:
      translated.push_back({Platform_Event_Type::Quit});
      break;
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
        translated.push_back({Platform_Event_Type::Focus_Lost});
      } else if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
        translated.push_back({Platform_Event_Type::Focus_Gained});
      } else if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
        translated.push_back({Platform_Event_Type::Quit});
      } else if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
                 e.window.event == SDL_WINDOWEVENT_SHOWN || e.window.event == SDL_WINDOWEVENT_RESTORED) {
        // The window's contents were lost or must be scaled anew.
        translated.push_back({Platform_Event_Type::Exposed});
      }
      break;
    case SDL_KEYDOWN: {
      if (is_enter(e.key.keysym.sym) && (e.key.keysym.mod & KMOD_ALT) != 0) {
        if (e.key.repeat == 0) Window_Toggle_Full_Screen();
        swallow_enter_release = true;
        break;
      }
      if (is_release_key(e.key.keysym)) {
        if (e.key.repeat == 0) Window_Set_Relative_Mouse(SDL_GetRelativeMouseMode() == SDL_FALSE);
        swallow_g_release = true;
        break;
      }
      int vk = Virtual_Key_From_Sdl(e.key.keysym.sym, e.key.keysym.scancode);
      int scan = Scan_Code_From_Sdl(e.key.keysym.scancode);
      if (vk == 0 && scan == 0) break;
      translated.push_back({Platform_Event_Type::Key_Down, vk, scan});
      // Keys that produce a control character besides their key code: text input
      // does not report them, so the character follows the key here.
      if (vk == 8 || vk == 9 || vk == 13 || vk == 27) {
        translated.push_back({Platform_Event_Type::Character, vk, 0});
      }
      break;
    }
    case SDL_KEYUP: {
      if (is_enter(e.key.keysym.sym) && swallow_enter_release) {
        swallow_enter_release = false;
        break;
      }
      if (e.key.keysym.sym == SDLK_g && swallow_g_release) {
        swallow_g_release = false;
        break;
      }
      int vk = Virtual_Key_From_Sdl(e.key.keysym.sym, e.key.keysym.scancode);
      int scan = Scan_Code_From_Sdl(e.key.keysym.scancode);
      if (vk == 0 && scan == 0) break;
      translated.push_back({Platform_Event_Type::Key_Up, vk, scan});
      break;
    }
    case SDL_TEXTINPUT:
      for (uint8_t c : Utf8_To_Cp1252(e.text.text)) {
        translated.push_back({Platform_Event_Type::Character, c, 0});
      }
      break;
    case SDL_MOUSEMOTION:
      if (e.motion.xrel != 0 || e.motion.yrel != 0) {
        translated.push_back({Platform_Event_Type::Mouse_Motion, e.motion.xrel, e.motion.yrel});
      }
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      int button = e.button.button == SDL_BUTTON_LEFT    ? 1
                   : e.button.button == SDL_BUTTON_RIGHT ? 2
                   : e.button.button == SDL_BUTTON_MIDDLE ? 3
                                                          : 0;
      if (button == 0) break;
      translated.push_back({e.type == SDL_MOUSEBUTTONDOWN ? Platform_Event_Type::Button_Down
                                                          : Platform_Event_Type::Button_Up,
                            button, 0});
      break;
    }
    default:
      break;
  }
}


// Takes the renderer's current output size for the scaling: the viewport that
// keeps the picture's aspect is computed anew whenever the size changed.
void fit_output() {
  int w = 0, h = 0;
  if (SDL_GetRendererOutputSize(renderer, &w, &h) != 0) return;
  if (w == output_width && h == output_height) return;
  output_width = w;
  output_height = h;
  SDL_RenderSetLogicalSize(renderer, texture_width, texture_height);
}

// Draws the texture scaled into the window and presents it.
void show() {
  fit_output();
  SDL_RenderClear(renderer);
  if (have_frame) SDL_RenderCopy(renderer, texture, nullptr, nullptr);
  SDL_RenderPresent(renderer);
  last_show = std::chrono::steady_clock::now();
  ++counts.presents;
}

// Waits as long as presenting would have: until one refresh of the display has
// passed since the window was last presented. Keeps the frame rate of the game
// where the frame is not presented again.
void wait_for_refresh() {
  SDL_DisplayMode mode;
  int rate = SDL_GetWindowDisplayMode(window, &mode) == 0 && mode.refresh_rate > 0 ? mode.refresh_rate : 60;
  auto interval = std::chrono::nanoseconds(1000000000 / rate);
  auto now = std::chrono::steady_clock::now();
  auto due = last_show + interval;
  if (now < due && due - now <= interval) std::this_thread::sleep_for(due - now);
  now = std::chrono::steady_clock::now();
  // Later waits keep to the same cadence unless the game fell behind.
  last_show = now - due < interval ? due : now;
}

}  // namespace

bool Window_Open(int width, int height, const char* title, std::string* error) {
  if (window != nullptr) return true;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    *error = std::string("SDL video: ") + SDL_GetError();
    return false;
  }
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
  window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
                            SDL_WINDOW_RESIZABLE | SDL_WINDOW_SHOWN);
  if (window == nullptr) {
    *error = std::string("SDL window: ") + SDL_GetError();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return false;
  }
  renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
  if (renderer == nullptr) renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
  if (renderer != nullptr) {
    texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING, width, height);
  }
  if (texture == nullptr) {
    *error = std::string("SDL renderer: ") + SDL_GetError();
    Window_Close();
    return false;
  }
  texture_width = width;
  texture_height = height;
  have_frame = false;
  // Scaled to the window with the aspect kept: black bars fill the rest.
  output_width = output_height = 0;
  fit_output();
  SDL_ShowCursor(SDL_DISABLE);
  SDL_StartTextInput();
  Window_Set_Relative_Mouse(true);
  SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
  SDL_RenderClear(renderer);
  SDL_RenderPresent(renderer);
  return true;
}

void Window_Close() {
  if (texture != nullptr) SDL_DestroyTexture(texture);
  if (renderer != nullptr) SDL_DestroyRenderer(renderer);
  if (window != nullptr) {
    SDL_SetRelativeMouseMode(SDL_FALSE);
    SDL_ShowCursor(SDL_ENABLE);
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
  texture = nullptr;
  renderer = nullptr;
  window = nullptr;
  translated.clear();
  full_screen = false;
  have_frame = false;
}

bool Window_Is_Open() { return window != nullptr; }

bool Window_Poll_Event(Platform_Event* event, int wait_ms) {
  if (window == nullptr) return false;
  SDL_Event e;
  while (translated.empty()) {
    bool got = wait_ms > 0 ? SDL_WaitEventTimeout(&e, wait_ms) != 0 : SDL_PollEvent(&e) != 0;
    if (!got) return false;
    translate(e);
  }
  *event = translated.front();
  translated.pop_front();
  return true;
}

bool Window_Lock(uint8_t** pixels, int* pitch) {
  if (texture == nullptr) return false;
  void* p = nullptr;
  if (SDL_LockTexture(texture, nullptr, &p, pitch) != 0) return false;
  *pixels = static_cast<uint8_t*>(p);
  return true;
}

void Window_Unlock() {
  SDL_UnlockTexture(texture);
  have_frame = true;
  ++counts.uploads;
}

void Window_Show(bool changed) {
  if (renderer == nullptr) return;
  if (changed) {
    show();
  } else {
    wait_for_refresh();
  }
}

void Window_Repaint() {
  if (renderer != nullptr) show();
}

bool Window_Has_Frame() { return have_frame; }

Window_Counts Window_Get_Counts() { return counts; }

bool Window_Read_Back(std::vector<uint32_t>* pixels, int* width, int* height) {
  if (renderer == nullptr) return false;
  int w = 0, h = 0;
  if (SDL_GetRendererOutputSize(renderer, &w, &h) != 0 || w <= 0 || h <= 0) return false;
  SDL_RenderClear(renderer);
  SDL_RenderCopy(renderer, texture, nullptr, nullptr);
  pixels->assign(static_cast<size_t>(w) * h, 0);
  // Read the whole output in real pixels, outside the logical-size viewport.
  SDL_RenderSetLogicalSize(renderer, 0, 0);
  SDL_RenderSetViewport(renderer, nullptr);
  SDL_RenderSetScale(renderer, 1, 1);
  int rc = SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_RGB888, pixels->data(), w * 4);
  SDL_RenderSetLogicalSize(renderer, texture_width, texture_height);
  SDL_RenderPresent(renderer);
  if (rc != 0) return false;
  for (auto& p : *pixels) p &= 0x00FFFFFFu;
  *width = w;
  *height = h;
  return true;
}

void Window_Toggle_Full_Screen() {
  if (window == nullptr) return;
  full_screen = !full_screen;
  if (full_screen) {
    // The window is first made as large as its display itself: without a window
    // manager nobody acts on the full-screen request, and the window would keep
    // its size while the presentation scaled for the whole display.
    SDL_GetWindowPosition(window, &windowed_rect.x, &windowed_rect.y);
    SDL_GetWindowSize(window, &windowed_rect.w, &windowed_rect.h);
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(window), &bounds) == 0) {
      SDL_SetWindowPosition(window, bounds.x, bounds.y);
      SDL_SetWindowSize(window, bounds.w, bounds.h);
    }
    SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
  } else {
    SDL_SetWindowFullscreen(window, 0);
    if (windowed_rect.w > 0 && windowed_rect.h > 0) {
      SDL_SetWindowSize(window, windowed_rect.w, windowed_rect.h);
      SDL_SetWindowPosition(window, windowed_rect.x, windowed_rect.y);
    }
  }
  // The next frame is scaled for the output size the toggle gave.
  fit_output();
}

void Window_Set_Relative_Mouse(bool on) {
  if (window == nullptr) return;
  SDL_SetRelativeMouseMode(on ? SDL_TRUE : SDL_FALSE);
  // A released mouse shows its pointer, so the player sees where it goes.
  SDL_ShowCursor(on ? SDL_DISABLE : SDL_ENABLE);
}

bool Window_Mouse_Confined() { return window != nullptr && SDL_GetRelativeMouseMode() == SDL_TRUE; }
