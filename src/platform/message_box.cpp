#include "platform/message_box.h"

#include <SDL.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>

#include "platform/platform_state.h"

namespace {

struct Message_Box_State {
  bool headless = false;
};

Message_Box_State state;

bool display_available() {
  if (state.headless) return false;
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 && x11[0]) || (wayland && wayland[0]);
}

// Windows-1252 to UTF-8. The five unassigned bytes become U+FFFD.
std::string utf8_of(const char* text) {
  static const char16_t high[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                                    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
  std::string out;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    unsigned code = *p >= 0x80 && *p < 0xA0 ? high[*p - 0x80] : *p;
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}

}  // namespace

void Message_Box_Set_Headless(bool value) { state.headless = value; }

int Message_Box_Show(const char* title, const char* text, bool information) {
  std::string utf8_title = utf8_of(title);
  std::string utf8_text = utf8_of(text);
  std::fprintf(stderr, "%s: %s\n", utf8_title.c_str(), utf8_text.c_str());
  std::fflush(stderr);
  if (display_available()) {
    Uint32 flags = information ? SDL_MESSAGEBOX_INFORMATION : SDL_MESSAGEBOX_ERROR;
    if (SDL_ShowSimpleMessageBox(flags, utf8_title.c_str(), utf8_text.c_str(), nullptr) != 0) {
      // On Wayland SDL needs a dialog helper program; without one the player
      // would see nothing at all.
      std::fprintf(stderr, "osterlin: the message box could not be shown (%s); its text is the line above\n",
                   SDL_GetError());
      std::fflush(stderr);
    }
  }
  return 1;
}

void Tell_Player(const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  static std::mutex lock;
  static std::set<std::string> told;
  std::lock_guard<std::mutex> guard(lock);
  if (!told.insert(text).second) return;
  std::fprintf(stderr, "osterlin: %s\n", text);
  std::fflush(stderr);
}

void platform_state::Reset_Message_Box() { state = Message_Box_State{}; }
