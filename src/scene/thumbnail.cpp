#include "scene/thumbnail.h"

#include <cstring>

#include "pictures/picture.h"
#include "platform/display.h"

namespace {
int thumbnail_width = 80;
int thumbnail_height = 60;
Picture* thumbnail = nullptr;
}  // namespace

void Thumbnail_Free() {
  Picture_Free(thumbnail);
  thumbnail = nullptr;
}

void Thumbnail_Set_Size(int width, int height) {
  thumbnail_width = width;
  thumbnail_height = height;
  Thumbnail_Free();
}

void Thumbnail_Take() {
  Thumbnail_Free();
  thumbnail = Picture_Create("little", Screen_Width, Screen_Height, 16);
  if (thumbnail == nullptr) return;
  std::memcpy(thumbnail->pixels, Screen_Buffer(), Screen_Width * Screen_Height * 2);
  Picture_Scale(thumbnail, thumbnail_width, thumbnail_height);
}

uint16_t* Thumbnail_Pixels() {
  if (thumbnail == nullptr) thumbnail = Picture_Create("little", thumbnail_width, thumbnail_height, 16);
  return thumbnail != nullptr ? reinterpret_cast<uint16_t*>(thumbnail->pixels) : nullptr;
}

int Thumbnail_Width() { return thumbnail_width; }
int Thumbnail_Height() { return thumbnail_height; }
