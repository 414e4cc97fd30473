// Text and number utilities shared by the whole engine.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/ascii.h"  // Ascii_Lower, Ascii_Upper

int Str_Compare_No_Case(const char* a, const char* b);  // 0 when equal (ASCII case folded, <= 256 chars), else -1
void Str_Upper(char* text);                              // a-z to A-Z in place
void Str_Sub(char* out, const char* text, int first, int count);  // first counted from 1
void Path_File_Name(char* out, const char* path);        // part after the last '\\', '/' or ':'
uint32_t Parse_Hex(const char* text);
void Format_Int(char* out, int32_t value);
void Format_Hex8(char* out, uint32_t value);
void Reverse_Bytes(void* buffer, size_t length);
