#include "platform/keys.h"

#include <cstring>

namespace {

template <typename Code>
struct Key_Entry {
  Code sdl;
  int virtual_key;
};

// Keys by what they produce: the engine's virtual-key code of each SDL key code
// that is not a letter, digit or function key.
constexpr Key_Entry<SDL_Keycode> keys_by_code[] = {
    {SDLK_BACKSPACE, 8},      {SDLK_TAB, 9},           {SDLK_RETURN, 13},      {SDLK_KP_ENTER, 13},
    {SDLK_LSHIFT, 16},        {SDLK_RSHIFT, 16},       {SDLK_LCTRL, 17},       {SDLK_RCTRL, 17},
    {SDLK_LALT, 18},          {SDLK_RALT, 18},         {SDLK_PAUSE, 19},       {SDLK_CAPSLOCK, 20},
    {SDLK_ESCAPE, 27},        {SDLK_SPACE, 32},        {SDLK_PAGEUP, 33},      {SDLK_PAGEDOWN, 34},
    {SDLK_END, 35},           {SDLK_HOME, 36},         {SDLK_LEFT, 37},        {SDLK_UP, 38},
    {SDLK_RIGHT, 39},         {SDLK_DOWN, 40},         {SDLK_PRINTSCREEN, 44}, {SDLK_INSERT, 45},
    {SDLK_DELETE, 46},        {SDLK_KP_0, 96},         {SDLK_KP_1, 97},        {SDLK_KP_2, 98},
    {SDLK_KP_3, 99},          {SDLK_KP_4, 100},        {SDLK_KP_5, 101},       {SDLK_KP_6, 102},
    {SDLK_KP_7, 103},         {SDLK_KP_8, 104},        {SDLK_KP_9, 105},       {SDLK_KP_MULTIPLY, 106},
    {SDLK_KP_PLUS, 107},      {SDLK_KP_MINUS, 109},    {SDLK_KP_PERIOD, 110},  {SDLK_KP_DIVIDE, 111},
    {SDLK_NUMLOCKCLEAR, 144}, {SDLK_SCROLLLOCK, 145},  {SDLK_SEMICOLON, 186},  {SDLK_EQUALS, 187},
    {SDLK_COMMA, 188},        {SDLK_MINUS, 189},       {SDLK_PERIOD, 190},     {SDLK_SLASH, 191},
    {SDLK_BACKQUOTE, 192},    {SDLK_LEFTBRACKET, 219}, {SDLK_BACKSLASH, 220},  {SDLK_RIGHTBRACKET, 221},
    {SDLK_QUOTE, 222},
};

// Keys of other layouts (accented letters and the like) get the code of the key
// at the same place on a US keyboard.
constexpr Key_Entry<SDL_Scancode> keys_by_place[] = {
    {SDL_SCANCODE_SEMICOLON, 186},   {SDL_SCANCODE_APOSTROPHE, 222},   {SDL_SCANCODE_GRAVE, 192},
    {SDL_SCANCODE_LEFTBRACKET, 219}, {SDL_SCANCODE_RIGHTBRACKET, 221}, {SDL_SCANCODE_BACKSLASH, 220},
    {SDL_SCANCODE_COMMA, 188},       {SDL_SCANCODE_PERIOD, 190},       {SDL_SCANCODE_SLASH, 191},
    {SDL_SCANCODE_MINUS, 189},       {SDL_SCANCODE_EQUALS, 187},       {SDL_SCANCODE_NONUSBACKSLASH, 226},
};

template <typename Code, size_t N>
int look_up(const Key_Entry<Code> (&table)[N], Code code) {
  for (const auto& entry : table) {
    if (entry.sdl == code) return entry.virtual_key;
  }
  return 0;
}

}  // namespace

int Virtual_Key_From_Sdl(SDL_Keycode key, SDL_Scancode scan) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + static_cast<int>(key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + static_cast<int>(key - SDLK_0);
  if (key >= SDLK_F1 && key <= SDLK_F12) return 112 + static_cast<int>(key - SDLK_F1);
  if (int virtual_key = look_up(keys_by_code, key); virtual_key != 0) return virtual_key;
  if (scan >= SDL_SCANCODE_A && scan <= SDL_SCANCODE_Z) return 'A' + static_cast<int>(scan - SDL_SCANCODE_A);
  return look_up(keys_by_place, scan);
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
