#include "video/video_state.h"

#include "video/animation_step.h"
#include "video/command_block.h"
#include "video/engine_targets.h"
#include "video/movie.h"
#include "video/node_picture.h"
#include "video/scene_link.h"

void Video_State_Reset() {
  Node_Video_Close();
  Node_Picture_State_Reset();
  Engine_Targets_Reset();
  Animation_Step_Reset();
  Command_Block_Set_Plugin_Handler(nullptr);
  Scene_Link_Set(Scene_Link{nullptr, nullptr, nullptr});
}
