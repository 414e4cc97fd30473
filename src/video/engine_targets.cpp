#include "video/engine_targets.h"

#include "pictures/picture.h"

namespace {
struct Engine_Targets_State {
  Engine_Parameters parameters = {255, 100, 255};
  uint16_t* panorama_buffer = nullptr;  // the renderer's
  Picture* node_picture = nullptr;      // owned
};
Engine_Targets_State state;

int32_t clamp_byte(int32_t value) { return value < 0 ? 0 : (value > 255 ? 255 : value); }
}  // namespace

Engine_Parameters& Engine_Params() { return state.parameters; }

void Engine_Parameters_Set(int32_t master_volume, int32_t sound3d_depth, int32_t pan_speed) {
  state.parameters.master_volume = clamp_byte(master_volume);
  state.parameters.sound3d_depth = clamp_byte(sound3d_depth);
  state.parameters.pan_speed = clamp_byte(pan_speed);
}

uint16_t* Panorama_Buffer() { return state.panorama_buffer; }
void Engine_Set_Panorama_Buffer(uint16_t* buffer) { state.panorama_buffer = buffer; }

Picture* Node_Picture() { return state.node_picture; }

void Node_Picture_Replace(Picture* picture) {
  if (picture == state.node_picture) return;
  Picture_Free(state.node_picture);
  state.node_picture = picture;
}

void Engine_Targets_Reset() {
  Node_Picture_Replace(nullptr);
  state = Engine_Targets_State{};
}
