#include "pictures/picture.h"

#include <cstring>

#include "platform/memory.h"

size_t Picture_Plain_Size(const Picture* picture) {
  if (picture == nullptr || picture->width <= 0 || picture->height <= 0) return 0;
  int bpp = picture->bits_per_pixel;
  if (bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return 0;
  return static_cast<size_t>(picture->width) * static_cast<size_t>(picture->height) *
         static_cast<size_t>(bpp / 8);
}

void Picture_Set_Name(Picture* picture, const char* name) {
  if (picture == nullptr) return;
  if (name == nullptr) name = "";
  size_t n = strnlen(name, sizeof picture->name - 1);
  std::memcpy(picture->name, name, n);
  picture->name[n] = 0;
}

Picture* Picture_Create(const char* name, int width, int height, int depth) {
  if (width > Picture_Max_Side || height > Picture_Max_Side) return nullptr;
  int bpp = depth <= 8 ? 8 : depth <= 16 ? 16 : depth <= 24 ? 24 : 32;
  auto* picture = static_cast<Picture*>(Mem_Alloc_Zero(sizeof(Picture)));
  Picture_Set_Name(picture, name);
  picture->version = Picture_Current_Version;
  // An empty picture keeps its requested sides (none below 0) but has no pixel
  // block: the memory manager ends the program on a request for 0 bytes.
  picture->width = width > 0 ? width : 0;
  picture->height = height > 0 ? height : 0;
  picture->bits_per_pixel = bpp;
  picture->palette = static_cast<uint8_t*>(Mem_Alloc_Zero(Picture_Palette_Size));
  size_t size = Picture_Plain_Size(picture);
  if (size != 0) {
    picture->pixels = static_cast<uint8_t*>(Mem_Alloc_Zero(static_cast<uint32_t>(size)));
    picture->data_size = static_cast<uint32_t>(size);
  }
  return picture;
}

Picture* Picture_Clone(const Picture* picture) {
  if (picture == nullptr) return nullptr;
  auto* copy = static_cast<Picture*>(Mem_Alloc(sizeof(Picture)));
  *copy = *picture;
  copy->frame_count = 0;
  copy->frames = nullptr;
  copy->palette = static_cast<uint8_t*>(Mem_Alloc(Picture_Palette_Size));
  std::memcpy(copy->palette, picture->palette, Picture_Palette_Size);
  if (picture->data_size != 0 && picture->pixels != nullptr) {
    copy->pixels = static_cast<uint8_t*>(Mem_Alloc(picture->data_size));
    std::memcpy(copy->pixels, picture->pixels, picture->data_size);
  } else {
    copy->pixels = nullptr;
    copy->data_size = 0;
  }
  return copy;
}

void Picture_Free(Picture* picture) {
  if (picture == nullptr) return;
  Mem_Free(picture->frames);
  Mem_Free(picture->pixels);
  Mem_Free(picture->palette);
  Mem_Free(picture);
}

int Picture_Palette_To_16(Picture* picture) {
  if (picture == nullptr || picture->bits_per_pixel != 8) return -1;
  // Recomputed on every call: the palette may have changed since the last one.
  void* grown = Mem_Resize(picture->palette, Picture_Palette_16_Size);
  if (grown == nullptr) return -1;
  picture->palette = static_cast<uint8_t*>(grown);
  uint8_t* out = picture->palette + Picture_Palette_Size;
  for (int i = 0; i < 256; ++i) {
    const uint8_t* rgb = picture->palette + 3 * i;
    uint16_t value = Rgb_To_565(rgb[0], rgb[1], rgb[2]);
    std::memcpy(out + 2 * i, &value, 2);
  }
  return 0;
}
