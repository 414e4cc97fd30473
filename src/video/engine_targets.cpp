#include "video/engine_targets.h"

#include "pictures/picture.h"

namespace {
Engine_Parameters parameters = {255, 100, 255};
uint16_t* panorama_buffer = nullptr;
Picture* node_picture = nullptr;

int32_t clamp_byte(int32_t value) { return value < 0 ? 0 : (value > 255 ? 255 : value); }
}  // namespace

Engine_Parameters& Engine_Params() { return parameters; }

void Engine_Parameters_Set(int32_t master_volume, int32_t sound3d_depth, int32_t pan_speed) {
  parameters.master_volume = clamp_byte(master_volume);
  parameters.sound3d_depth = clamp_byte(sound3d_depth);
  parameters.pan_speed = clamp_byte(pan_speed);
}

uint16_t* Panorama_Buffer() { return panorama_buffer; }
void Engine_Set_Panorama_Buffer(uint16_t* buffer) { panorama_buffer = buffer; }

Picture* Node_Picture() { return node_picture; }

void Node_Picture_Replace(Picture* picture) {
  if (picture == node_picture) return;
  Picture_Free(node_picture);
  node_picture = picture;
}
