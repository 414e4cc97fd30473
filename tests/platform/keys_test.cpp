#include "platform/keys.h"

#include <gtest/gtest.h>

TEST(KeyTranslation, SdlKeysGetTheirVirtualKeyAndScanCodes) {
  struct Case {
    SDL_Keycode key;
    SDL_Scancode scan;
    int vk, pc;
  } cases[] = {
      {SDLK_a, SDL_SCANCODE_A, 65, 30},          {SDLK_z, SDL_SCANCODE_Z, 90, 44},
      {SDLK_q, SDL_SCANCODE_A, 81, 30},          // a French keyboard: letter by key, scan code by place
      {SDLK_0, SDL_SCANCODE_0, 48, 11},          {SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, 27, 1},
      {SDLK_RETURN, SDL_SCANCODE_RETURN, 13, 28}, {SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER, 13, 28},
      {SDLK_QUOTE, SDL_SCANCODE_APOSTROPHE, 222, 40}, {SDLK_F1, SDL_SCANCODE_F1, 112, 59},
      {SDLK_F12, SDL_SCANCODE_F12, 123, 88},     {SDLK_LEFT, SDL_SCANCODE_LEFT, 37, 75},
      {SDLK_UP, SDL_SCANCODE_UP, 38, 72},        {SDLK_RIGHT, SDL_SCANCODE_RIGHT, 39, 77},
      {SDLK_DOWN, SDL_SCANCODE_DOWN, 40, 80},    {SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE, 8, 14},
      {SDLK_TAB, SDL_SCANCODE_TAB, 9, 15},       {SDLK_DELETE, SDL_SCANCODE_DELETE, 46, 83},
      {SDLK_SPACE, SDL_SCANCODE_SPACE, 32, 57},  {SDLK_PAGEUP, SDL_SCANCODE_PAGEUP, 33, 73},
      {SDLK_KP_8, SDL_SCANCODE_KP_8, 104, 72},   {static_cast<SDL_Keycode>(0xE9), SDL_SCANCODE_2, 0, 3},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Virtual_Key_From_Sdl(c.key, c.scan), c.vk) << SDL_GetScancodeName(c.scan);
    EXPECT_EQ(Scan_Code_From_Sdl(c.scan), c.pc) << SDL_GetScancodeName(c.scan);
  }
}

TEST(KeyTranslation, TextBecomesWindows1252) {
  struct Case {
    const char* utf8;
    std::vector<uint8_t> codes;
  } cases[] = {
      {"a", {'a'}},
      {"\xC3\xA9", {0xE9}},            // e acute
      {"\xE2\x82\xAC", {0x80}},        // euro sign
      {"\xC5\x93", {0x9C}},            // oe ligature
      {"\xE4\xB8\xAD", {}},            // no Windows-1252 code
      {"\xC3", {}},                    // cut short
      {"x\x80y", {'x', 'y'}},          // stray continuation byte
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8_To_Cp1252(c.utf8), c.codes) << c.utf8;
}
