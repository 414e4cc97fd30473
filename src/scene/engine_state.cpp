// State the runtime shares with the rest of the engine: the engine parameters,
// the script's booleans by name, and the picture targets of the current run.
#include <cstring>

#include "files/text.h"
#include "pictures/picture.h"
#include "platform/display.h"
#include "scene/engine_targets.h"
#include "scene/runtime.h"
#include "scene/script_compiler.h"

namespace {
Engine_Parameters parameters = {255, 100, 255};
uint16_t* panorama_buffer = nullptr;
Picture* node_picture = nullptr;

int32_t clamp_byte(int32_t value) { return value < 0 ? 0 : (value > 255 ? 255 : value); }

Bool_Var* find_bool(const char* name) {
  Scene_Script* script = Script_Current();
  if (script == nullptr || name == nullptr) return nullptr;
  for (int32_t i = 0; i < script->bool_count; ++i) {
    Bool_Var& var = script->bools[i];
    if (var.name != nullptr && Str_Compare_No_Case(var.name, name) == 0) return &var;
  }
  return nullptr;
}
}  // namespace

Engine_Parameters& Engine_Params() { return parameters; }

void Engine_Parameters_Set(int32_t master_volume, int32_t sound3d_depth, int32_t pan_speed) {
  parameters.master_volume = clamp_byte(master_volume);
  parameters.sound3d_depth = clamp_byte(sound3d_depth);
  parameters.pan_speed = clamp_byte(pan_speed);
}

int32_t Bool_Get(const char* name) {
  Bool_Var* var = find_bool(name);
  return var ? var->value : 0;
}

void Bool_Set(const char* name, int32_t value) {
  if (Bool_Var* var = find_bool(name)) var->value = value;
}

uint16_t* Panorama_Buffer() { return panorama_buffer; }
void Engine_Set_Panorama_Buffer(uint16_t* buffer) { panorama_buffer = buffer; }

Picture* Node_Picture() { return node_picture; }

void Node_Picture_Replace(Picture* picture) {
  if (picture == node_picture) return;
  Picture_Free(node_picture);
  node_picture = picture;
}

bool Display_Uses_15_Bits() { return Display_Bits_Per_Pixel() == 15; }
