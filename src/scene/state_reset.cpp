// One reset for the whole scene folder (tests call it between cases).
#include "scene/runtime.h"
#include "scene/state_resets.h"

void Scene_State_Reset() {
  Runtime_State_Reset();
  Scene_Sound_State_Reset();
  Renderer_State_Reset();
  Thumbnail_State_Reset();
  Compiler_State_Reset();
  Snapshot_State_Reset();
  View_State_Reset();
  Run_Script_State_Reset();
}
