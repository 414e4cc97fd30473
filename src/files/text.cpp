#include "files/text.h"

#include <cstring>

int Str_Compare_No_Case(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return -1;
  // Gives up (unequal) after 256 equal characters.
  for (int i = 0; i < 256; ++i) {
    unsigned char ca = Ascii_Lower(static_cast<unsigned char>(a[i]));
    unsigned char cb = Ascii_Lower(static_cast<unsigned char>(b[i]));
    if (ca != cb) return -1;
    if (ca == 0) return 0;
  }
  return -1;
}

void Str_Upper(char* text) {
  if (text == nullptr) return;
  for (; *text; ++text) {
    *text = static_cast<char>(Ascii_Upper(static_cast<unsigned char>(*text)));
  }
}

void Str_Sub(char* out, const char* text, int first, int count) {
  out[0] = 0;
  if (first < 1 || count <= 0 || text == nullptr) return;
  size_t length = std::strlen(text);
  size_t start = static_cast<size_t>(first - 1);
  if (start >= length) return;
  size_t n = length - start;
  if (n > static_cast<size_t>(count)) n = static_cast<size_t>(count);
  std::memcpy(out, text + start, n);
  out[n] = 0;
}

void Path_File_Name(char* out, const char* path) {
  size_t length = strnlen(path, 255);
  size_t start = 0;
  for (size_t i = length; i > 0; --i) {
    char c = path[i - 1];
    if (c == '\\' || c == '/' || c == ':') {
      start = i;
      break;
    }
  }
  std::memmove(out, path + start, length - start);
  out[length - start] = 0;
}

uint32_t Parse_Hex(const char* text) {
  uint32_t value = 0;
  for (; text != nullptr && *text; ++text) {
    char c = *text;
    uint32_t digit;
    if (c >= '0' && c <= '9') digit = static_cast<uint32_t>(c - '0');
    else if (c >= 'A' && c <= 'F') digit = static_cast<uint32_t>(c - 'A' + 10);
    else if (c >= 'a' && c <= 'f') digit = static_cast<uint32_t>(c - 'a' + 10);
    else break;
    value = (value << 4) | digit;
  }
  return value;
}

void Format_Int(char* out, int32_t value) {
  char digits[12];
  int n = 0;
  uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  do {
    digits[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  int pos = 0;
  if (value < 0) out[pos++] = '-';
  while (n > 0) out[pos++] = digits[--n];
  out[pos] = 0;
}

void Format_Hex8(char* out, uint32_t value) {
  static const char hex[] = "0123456789ABCDEF";
  for (int i = 7; i >= 0; --i) {
    out[i] = hex[value & 15];
    value >>= 4;
  }
  out[8] = 0;
}

void Reverse_Bytes(void* buffer, size_t length) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  for (size_t i = 0, j = length; i + 1 < j; ++i, --j) {
    unsigned char t = bytes[i];
    bytes[i] = bytes[j - 1];
    bytes[j - 1] = t;
  }
}
