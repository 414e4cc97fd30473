#include "platform/display_modes.h"

#include <cstddef>

#include "platform/screen_rows.h"

void Mode_List_Add_Screen_Mode(Mode_List& list, int32_t width, int32_t height, int32_t bits, int32_t pitch) {
  for (int32_t kind : {static_cast<int32_t>(Display_Kind_Listed), static_cast<int32_t>(Display_Kind_Doubled)}) {
    Display_Mode mode;
    mode.kind = kind;
    mode.bits_per_pixel = bits;
    mode.colours = bits < 31 ? (1 << bits) : 0;
    mode.width = kind == Display_Kind_Listed ? width : width / 2;
    mode.height = kind == Display_Kind_Listed ? height : height / 2;
    mode.pitch = pitch;
    mode.index = static_cast<int32_t>(list.size()) + 1;
    list.push_back(mode);
  }
}

int32_t Mode_List_Choose(const Mode_List& list, const Display_Mode& request) {
  for (int32_t kind : {static_cast<int32_t>(Display_Kind_Listed), static_cast<int32_t>(Display_Kind_Doubled)}) {
    if (request.kind != Display_Kind_Any && request.kind != kind) continue;
    for (std::size_t i = 0; i < list.size(); ++i) {
      const Display_Mode& entry = list[i];
      if (entry.kind == kind && entry.width == request.width && entry.height == request.height &&
          entry.bits_per_pixel == request.bits_per_pixel) {
        return static_cast<int32_t>(i) + 1;
      }
    }
  }
  return 0;
}

void Mode_Screen_Centre(const Display_Mode& mode, int32_t* x, int32_t* y) {
  if (mode.kind == Display_Kind_Doubled) {
    *x = mode.width;
    *y = mode.height;
  } else {
    *x = mode.width / 2;
    *y = mode.height / 2;
  }
}

int32_t Detect_Bits_Per_Pixel(int32_t bits, uint32_t red_mask, uint32_t green_mask, uint32_t blue_mask) {
  if (bits == 16 && (red_mask != 0xF800 || green_mask != 0x07E0 || blue_mask != 0x001F)) return 15;
  return bits;
}

bool Colour_Table_Build(int32_t bits, uint32_t* table) {
  for (uint32_t p = 0; p < 65536; ++p) {
    switch (bits) {
      case 15:
        // Red and the top five green bits move down one place; green's lowest
        // bit is dropped.
        table[p] = ((p & 0xF800) >> 1) + ((p & 0x07C0) >> 1) + (p & 0x001F);
        break;
      case 24:
      case 32:
        table[p] = ((p & 0xF800) << 8) + ((p & 0x07E0) << 5) + ((p & 0x001F) << 3);
        break;
      case 8: {
        uint32_t r = (p & 0xF800) >> 8;
        uint32_t g = (p & 0x07E0) >> 3;
        uint32_t b5 = p & 0x001F;
        table[p] = ((r * 5 / 255) * 7 + g * 6 / 255) * 6 + b5 * 40 / 255;
        break;
      }
      default:
        return false;
    }
  }
  return true;
}

void Palette_8_Build(uint8_t entries[255][4]) {
  static const uint8_t red_blue[6] = {0, 51, 102, 153, 204, 255};
  static const uint8_t green[7] = {0, 42, 85, 127, 170, 212, 255};
  for (int r = 0; r < 6; ++r) {
    for (int g = 0; g < 7; ++g) {
      for (int b = 0; b < 6; ++b) {
        uint8_t* e = entries[r * 42 + g * 6 + b];
        e[0] = red_blue[r];
        e[1] = green[g];
        e[2] = red_blue[b];
        e[3] = 0;
      }
    }
  }
  static const uint8_t purples[3] = {25, 93, 161};
  for (int i = 0; i < 3; ++i) {
    uint8_t* e = entries[252 + i];
    e[0] = purples[i];
    e[1] = 0;
    e[2] = purples[i];
    e[3] = 0;
  }
}

bool Present_Copy(const uint16_t* source, const Display_Mode& mode, const uint32_t* colour_table,
                  uint8_t* surface, int32_t pitch) {
  const uint32_t width = static_cast<uint32_t>(mode.width);
  const int bits = mode.bits_per_pixel;
  if (bits != 16 && bits != 15 && bits != 8) return false;
  if (bits != 16 && colour_table == nullptr) return false;
  const bool doubled = mode.kind == Display_Kind_Doubled;
  for (int32_t row = 0; row < mode.height; ++row) {
    const uint16_t* s = source + static_cast<std::size_t>(row) * width;
    uint8_t* d = surface + static_cast<std::ptrdiff_t>(row) * pitch * (doubled ? 2 : 1);
    if (!doubled) {
      if (bits == 16) Row_Copy(s, d, width * 2);
      else if (bits == 15) Row_Table_16(s, reinterpret_cast<uint16_t*>(d), colour_table, width);
      else Row_Table_8(s, d, colour_table, width);
    } else {
      if (bits == 16) Row_Double_16(s, reinterpret_cast<uint16_t*>(d), pitch, width);
      else if (bits == 15) Row_Table_16_Double(s, reinterpret_cast<uint16_t*>(d), colour_table, pitch, width);
      else Row_Table_8_Double(s, d, colour_table, pitch, width);
    }
  }
  return true;
}
