// Text and number utilities shared by the whole engine.
#pragma once
#include <cstddef>
#include <cstdint>

// ASCII case folding: only A-Z and a-z change, whatever the locale (file and
// keyword names of the game are compared this way).
constexpr unsigned char Ascii_Lower(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }
constexpr unsigned char Ascii_Upper(unsigned char c) { return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c; }

int Str_Compare_No_Case(const char* a, const char* b);  // 0 when equal (ASCII case folded, <= 256 chars), else -1
void Str_Upper(char* text);                              // a-z to A-Z in place
void Str_Sub(char* out, const char* text, int first, int count);  // first counted from 1
void Path_File_Name(char* out, const char* path);        // part after the last '\\', '/' or ':'
uint32_t Parse_Hex(const char* text);
void Format_Int(char* out, int32_t value);
void Format_Hex8(char* out, uint32_t value);
void Reverse_Bytes(void* buffer, size_t length);
