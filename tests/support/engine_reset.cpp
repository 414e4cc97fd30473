#include "support/engine_reset.h"

#include "anim/anim_file.h"
#include "draw/frame_buffer.h"
#include "files/file.h"
#include "platform/platform.h"
#include "scene/runtime.h"
#include "shell/shell_state.h"
#include "smack/smack.h"
#include "sound/sound.h"
#include "video/video_state.h"

void Engine_Test_Reset() {
  // Each layer releases what it holds through the layers below it, so those
  // are reset after it.
  Shell_State_Reset();
  Scene_State_Reset();
  Video_State_Reset();
  Smack_State_Reset();
  Anim_State_Reset();
  Draw_State_Reset();
  Sound_State_Reset();
  Files_State_Reset();
  Platform_State_Reset();
}
