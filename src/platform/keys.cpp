#include "platform/keys.h"

#include <cstring>

int Virtual_Key_From_Sdl(SDL_Keycode key, SDL_Scancode scan) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + static_cast<int>(key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + static_cast<int>(key - SDLK_0);
  if (key >= SDLK_F1 && key <= SDLK_F12) return 112 + static_cast<int>(key - SDLK_F1);
  switch (key) {
    case SDLK_BACKSPACE: return 8;
    case SDLK_TAB: return 9;
    case SDLK_RETURN: case SDLK_KP_ENTER: return 13;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return 16;
    case SDLK_LCTRL: case SDLK_RCTRL: return 17;
    case SDLK_LALT: case SDLK_RALT: return 18;
    case SDLK_PAUSE: return 19;
    case SDLK_CAPSLOCK: return 20;
    case SDLK_ESCAPE: return 27;
    case SDLK_SPACE: return 32;
    case SDLK_PAGEUP: return 33;
    case SDLK_PAGEDOWN: return 34;
    case SDLK_END: return 35;
    case SDLK_HOME: return 36;
    case SDLK_LEFT: return 37;
    case SDLK_UP: return 38;
    case SDLK_RIGHT: return 39;
    case SDLK_DOWN: return 40;
    case SDLK_PRINTSCREEN: return 44;
    case SDLK_INSERT: return 45;
    case SDLK_DELETE: return 46;
    case SDLK_KP_0: return 96;
    case SDLK_KP_1: return 97;
    case SDLK_KP_2: return 98;
    case SDLK_KP_3: return 99;
    case SDLK_KP_4: return 100;
    case SDLK_KP_5: return 101;
    case SDLK_KP_6: return 102;
    case SDLK_KP_7: return 103;
    case SDLK_KP_8: return 104;
    case SDLK_KP_9: return 105;
    case SDLK_KP_MULTIPLY: return 106;
    case SDLK_KP_PLUS: return 107;
    case SDLK_KP_MINUS: return 109;
    case SDLK_KP_PERIOD: return 110;
    case SDLK_KP_DIVIDE: return 111;
    case SDLK_NUMLOCKCLEAR: return 144;
    case SDLK_SCROLLLOCK: return 145;
    case SDLK_SEMICOLON: return 186;
    case SDLK_EQUALS: return 187;
    case SDLK_COMMA: return 188;
    case SDLK_MINUS: return 189;
    case SDLK_PERIOD: return 190;
    case SDLK_SLASH: return 191;
    case SDLK_BACKQUOTE: return 192;
    case SDLK_LEFTBRACKET: return 219;
    case SDLK_BACKSLASH: return 220;
    case SDLK_RIGHTBRACKET: return 221;
    case SDLK_QUOTE: return 222;
    default: break;
  }
  // Keys of other layouts (accented letters and the like) get the code of the
  // key at the same place on a US keyboard.
  if (scan >= SDL_SCANCODE_A && scan <= SDL_SCANCODE_Z) return 'A' + static_cast<int>(scan - SDL_SCANCODE_A);
  switch (scan) {
    case SDL_SCANCODE_SEMICOLON: return 186;
    case SDL_SCANCODE_APOSTROPHE: return 222;
    case SDL_SCANCODE_GRAVE: return 192;
    case SDL_SCANCODE_LEFTBRACKET: return 219;
    case SDL_SCANCODE_RIGHTBRACKET: return 221;
    case SDL_SCANCODE_BACKSLASH: return 220;
    case SDL_SCANCODE_COMMA: return 188;
    case SDL_SCANCODE_PERIOD: return 190;
    case SDL_SCANCODE_SLASH: return 191;
    case SDL_SCANCODE_MINUS: return 189;
    case SDL_SCANCODE_EQUALS: return 187;
    case SDL_SCANCODE_NONUSBACKSLASH: return 226;
    default: return 0;
  }
}

int Scan_Code_From_Sdl(SDL_Scancode scan) {
  // PC set-1 codes of the main block, in the order of their rows.
  static const struct {
    SDL_Scancode sdl;
    int pc;
  } table[] = {
      {SDL_SCANCODE_ESCAPE, 1},     {SDL_SCANCODE_1, 2},           {SDL_SCANCODE_2, 3},
      {SDL_SCANCODE_3, 4},          {SDL_SCANCODE_4, 5},           {SDL_SCANCODE_5, 6},
      {SDL_SCANCODE_6, 7},          {SDL_SCANCODE_7, 8},           {SDL_SCANCODE_8, 9},
      {SDL_SCANCODE_9, 10},         {SDL_SCANCODE_0, 11},          {SDL_SCANCODE_MINUS, 12},
      {SDL_SCANCODE_EQUALS, 13},    {SDL_SCANCODE_BACKSPACE, 14},  {SDL_SCANCODE_TAB, 15},
      {SDL_SCANCODE_Q, 16},         {SDL_SCANCODE_W, 17},          {SDL_SCANCODE_E, 18},
      {SDL_SCANCODE_R, 19},         {SDL_SCANCODE_T, 20},          {SDL_SCANCODE_Y, 21},
      {SDL_SCANCODE_U, 22},         {SDL_SCANCODE_I, 23},          {SDL_SCANCODE_O, 24},
      {SDL_SCANCODE_P, 25},         {SDL_SCANCODE_LEFTBRACKET, 26}, {SDL_SCANCODE_RIGHTBRACKET, 27},
      {SDL_SCANCODE_RETURN, 28},    {SDL_SCANCODE_LCTRL, 29},      {SDL_SCANCODE_A, 30},
      {SDL_SCANCODE_S, 31},         {SDL_SCANCODE_D, 32},          {SDL_SCANCODE_F, 33},
      {SDL_SCANCODE_G, 34},         {SDL_SCANCODE_H, 35},          {SDL_SCANCODE_J, 36},
      {SDL_SCANCODE_K, 37},         {SDL_SCANCODE_L, 38},          {SDL_SCANCODE_SEMICOLON, 39},
      {SDL_SCANCODE_APOSTROPHE, 40}, {SDL_SCANCODE_GRAVE, 41},     {SDL_SCANCODE_LSHIFT, 42},
      {SDL_SCANCODE_BACKSLASH, 43}, {SDL_SCANCODE_Z, 44},          {SDL_SCANCODE_X, 45},
      {SDL_SCANCODE_C, 46},         {SDL_SCANCODE_V, 47},          {SDL_SCANCODE_B, 48},
      {SDL_SCANCODE_N, 49},         {SDL_SCANCODE_M, 50},          {SDL_SCANCODE_COMMA, 51},
      {SDL_SCANCODE_PERIOD, 52},    {SDL_SCANCODE_SLASH, 53},      {SDL_SCANCODE_RSHIFT, 54},
      {SDL_SCANCODE_KP_MULTIPLY, 55}, {SDL_SCANCODE_LALT, 56},     {SDL_SCANCODE_SPACE, 57},
      {SDL_SCANCODE_CAPSLOCK, 58},  {SDL_SCANCODE_F1, 59},         {SDL_SCANCODE_F2, 60},
      {SDL_SCANCODE_F3, 61},        {SDL_SCANCODE_F4, 62},         {SDL_SCANCODE_F5, 63},
      {SDL_SCANCODE_F6, 64},        {SDL_SCANCODE_F7, 65},         {SDL_SCANCODE_F8, 66},
      {SDL_SCANCODE_F9, 67},        {SDL_SCANCODE_F10, 68},        {SDL_SCANCODE_NUMLOCKCLEAR, 69},
      {SDL_SCANCODE_SCROLLLOCK, 70}, {SDL_SCANCODE_KP_7, 71},      {SDL_SCANCODE_KP_8, 72},
      {SDL_SCANCODE_KP_9, 73},      {SDL_SCANCODE_KP_MINUS, 74},   {SDL_SCANCODE_KP_4, 75},
      {SDL_SCANCODE_KP_5, 76},      {SDL_SCANCODE_KP_6, 77},       {SDL_SCANCODE_KP_PLUS, 78},
      {SDL_SCANCODE_KP_1, 79},      {SDL_SCANCODE_KP_2, 80},       {SDL_SCANCODE_KP_3, 81},
      {SDL_SCANCODE_KP_0, 82},      {SDL_SCANCODE_KP_PERIOD, 83},  {SDL_SCANCODE_NONUSBACKSLASH, 86},
      {SDL_SCANCODE_F11, 87},       {SDL_SCANCODE_F12, 88},
      // Extended keys: the same codes as their keypad twins.
      {SDL_SCANCODE_KP_ENTER, 28},  {SDL_SCANCODE_RCTRL, 29},      {SDL_SCANCODE_KP_DIVIDE, 53},
      {SDL_SCANCODE_RALT, 56},      {SDL_SCANCODE_HOME, 71},       {SDL_SCANCODE_UP, 72},
      {SDL_SCANCODE_PAGEUP, 73},    {SDL_SCANCODE_LEFT, 75},       {SDL_SCANCODE_RIGHT, 77},
      {SDL_SCANCODE_END, 79},       {SDL_SCANCODE_DOWN, 80},       {SDL_SCANCODE_PAGEDOWN, 81},
      {SDL_SCANCODE_INSERT, 82},    {SDL_SCANCODE_DELETE, 83},
  };
  for (const auto& entry : table) {
    if (entry.sdl == scan) return entry.pc;
  }
  return 0;
}

std::vector<uint8_t> Utf8_To_Cp1252(const char* text) {
  // Code points of the Windows-1252 bytes 0x80 to 0x9F (0 where the byte is unused).
  static const uint16_t high_table[32] = {
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  std::vector<uint8_t> out;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  while (*p != 0) {
    uint32_t code = 0;
    int extra = 0;
    if (*p < 0x80) {
      code = *p;
    } else if ((*p & 0xE0) == 0xC0) {
      code = *p & 0x1F;
      extra = 1;
    } else if ((*p & 0xF0) == 0xE0) {
      code = *p & 0x0F;
      extra = 2;
    } else if ((*p & 0xF8) == 0xF0) {
      code = *p & 0x07;
      extra = 3;
    } else {
      ++p;  // a stray continuation byte
      continue;
    }
    ++p;
    bool complete = true;
    for (int i = 0; i < extra; ++i) {
      if ((*p & 0xC0) != 0x80) {
        complete = false;
        break;
      }
      code = (code << 6) | (*p & 0x3F);
      ++p;
    }
    if (!complete) continue;
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
      out.push_back(static_cast<uint8_t>(code));
      continue;
    }
    for (int i = 0; i < 32; ++i) {
      if (high_table[i] != 0 && high_table[i] == code) {
        out.push_back(static_cast<uint8_t>(0x80 + i));
        break;
      }
    }
  }
  return out;
}
