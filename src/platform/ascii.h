// ASCII case folding: only A-Z and a-z change, whatever the locale. The game's
// file names, keywords and settings names are compared this way.
#pragma once

constexpr unsigned char Ascii_Lower(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }
constexpr unsigned char Ascii_Upper(unsigned char c) { return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c; }
