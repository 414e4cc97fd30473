#include "scene/thumbnail.h"

#include <cstring>

#include "pictures/picture.h"
#include "platform/display.h"
#include "scene/state_resets.h"

namespace {
struct Thumbnail_State {
  int width = 80;
  int height = 60;
  Picture* picture = nullptr;
};
Thumbnail_State state;
}  // namespace

void Thumbnail_Free() {
  Picture_Free(state.picture);
  state.picture = nullptr;
}

void Thumbnail_Set_Size(int width, int height) {
  state.width = width;
  state.height = height;
  Thumbnail_Free();
}

void Thumbnail_Take() {
  Thumbnail_Free();
  state.picture = Picture_Create("little", Screen_Width, Screen_Height, 16);
  if (state.picture == nullptr) return;
  std::memcpy(state.picture->pixels, Screen_Buffer(), Screen_Width * Screen_Height * 2);
  Picture_Scale(state.picture, state.width, state.height);
}

uint16_t* Thumbnail_Pixels() {
  if (state.picture == nullptr) state.picture = Picture_Create("little", state.width, state.height, 16);
  return state.picture != nullptr ? reinterpret_cast<uint16_t*>(state.picture->pixels) : nullptr;
}

int Thumbnail_Width() { return state.width; }
int Thumbnail_Height() { return state.height; }

void Thumbnail_State_Reset() {
  Thumbnail_Free();
  state = Thumbnail_State{};
}
