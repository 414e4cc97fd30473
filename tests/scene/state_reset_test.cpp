// Scene_State_Reset: every file of the scene folder back to the state of a fresh
// process, what it held released, and a second reset harmless.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "scene/command_rows.h"
#include "scene/renderer.h"
#include "scene/run_script.h"
#include "scene/run_state.h"
#include "scene/runtime.h"
#include "scene/scene_sound.h"
#include "scene/script_compiler.h"
#include "scene/snapshot.h"
#include "scene/thumbnail.h"
#include "scene/view.h"

namespace {

void no_run(const char*, const char*) {}

void run_command(const char* line) {
  std::string keyword(line, std::strcspn(line, ","));
  const Command_Row* row = Scene_Command_Find(keyword.c_str());
  ASSERT_NE(row, nullptr) << line;
  row->run(Command_Call{line, false});
}

}  // namespace

TEST(SceneStateReset, EveryFileReturnsToTheStartOfTheProcess) {
  Scene_State_Reset();
  const uint32_t first_random = Random_Next();

  const std::string script = "[BOOL] B\n[WARP] A.PAN\n[TEST] -1\nEND\n[WARP] B.PAN\n[TEST] -1\nEND\n";
  Script_Compile_Text(Script_Text{reinterpret_cast<const uint8_t*>(script.data()), script.size()});
  Renderer_Create();
  Thumbnail_Set_Size(20, 10);
  ASSERT_NE(Thumbnail_Pixels(), nullptr);
  Run_Script_Set_Hook(no_run);
  View() = View_State{1, 2, 3, 4, 5, 6, 7, 45.0f};
  View_Set_Flat(true);
  run_command("PRINT,HELLO,FONT");
  run_command("LOCKKEY,12,B.PAN");
  run_command("PLAYRNDSOUND,MISSING.WAV,10,20,30");  // kept without its sound
  run_command("PLAYMUSIQUE,MISSING.WAV,100");
  ::Run().current_warp = 1;
  ::Run().return_warp = 1;
  const uint8_t* block = nullptr;
  size_t size = 0;
  Scene_State_Save("", &block, &size);
  ASSERT_GT(size, 0u);

  for (int pass = 0; pass < 2; ++pass) {
    Scene_State_Reset();
    EXPECT_EQ(Script_Current(), nullptr);
    EXPECT_EQ(Renderer(), nullptr);
    EXPECT_EQ(Conversion_Table(), nullptr);
    EXPECT_EQ(Thumbnail_Width(), 80);
    EXPECT_EQ(Thumbnail_Height(), 60);
    const View_State& view = View();
    EXPECT_EQ(view.pitch, 0);
    EXPECT_EQ(view.yaw, 0);
    EXPECT_EQ(view.pitch_speed, 0);
    EXPECT_EQ(view.yaw_speed, 0);
    EXPECT_EQ(view.pitch_limit, 1536);
    EXPECT_EQ(view.yaw_min, -1);
    EXPECT_EQ(view.yaw_max, -1);
    EXPECT_EQ(view.fov, 90.0f);
    EXPECT_FALSE(View_Is_Flat());
    EXPECT_STREQ(Print_Text(), "");
    EXPECT_STREQ(Print_Font(), "");
    EXPECT_EQ(Runtime_Current_Warp(), 0);
    EXPECT_EQ(::Run().return_warp, 0);
    EXPECT_EQ(::Run().key_warps[Key_Slot_Right_Click][0], 0);
    EXPECT_FALSE(Random_Sound_Fields(0, nullptr, nullptr));
    EXPECT_STREQ(Music_State().name, "");
    EXPECT_EQ(Sound_Available(), -1);
    EXPECT_EQ(Scene_State_Size(), 0u);  // no script
  }
  // The generator starts again from its first value.
  EXPECT_EQ(Random_Next(), first_random);
  Scene_State_Reset();
}
