// Translation of SDL keys into the engine's virtual-key codes and keyboard scan
// codes, and of UTF-8 text into Windows-1252 character codes.
#pragma once
#include <SDL.h>

#include <cstdint>
#include <vector>

// Virtual-key code: 'A'..'Z' 65..90, '0'..'9' 48..57, Enter 13, Escape 27,
// F1..F12 112..123, arrows 37..40, ...; 0 for a key without one.
int Virtual_Key_From_Sdl(SDL_Keycode key, SDL_Scancode scan);
// PC keyboard scan code (1..127; extended keys share the code of their keypad
// twin); 0 for a key without one.
int Scan_Code_From_Sdl(SDL_Scancode scan);
// The Windows-1252 codes of a UTF-8 text; characters without one are dropped.
std::vector<uint8_t> Utf8_To_Cp1252(const char* text);
