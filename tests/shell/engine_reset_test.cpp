// Engine_Test_Reset over the whole engine: a script that plays a sound holds a
// scene slot, a mixer channel and the sound output at once; open files, the node
// picture and the shell's switches sit in their own layers. After the reset
// every layer is back at its start, twice over, and the same scene played again
// gets the same channel (the scene and the mixer agree on what is free).
#include "support/engine_reset.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/file.h"
#include "pictures/picture.h"
#include "platform/clock.h"
#include "scene/command_rows.h"
#include "scene/scene_sound.h"
#include "scene/script_compiler.h"
#include "shell/mpeg.h"
#include "sound/sound.h"
#include "sound/wav_builder.h"
#include "support/temp_dir.h"
#include "support/working_dir.h"
#include "video/engine_targets.h"

namespace {

// Compiles a one-node script, starts the script's sounds without a device and
// plays HUM.WAV; returns the channel it got.
int play_a_scene() {
  const std::string script = "[WARP] A.PAN\n[TEST] -1\nEND\n";
  Script_Compile_Text(Script_Text{reinterpret_cast<const uint8_t*>(script.data()), script.size()});
  Clock_Stop();
  Sound_Set_Output_Mode(Sound_Output::Pull);
  Scene_Sound_Start();
  const Command_Row* row = Command_Find(Scene_Sound_Command_Rows(), "PLAYSOUND");
  if (row == nullptr) return 0;
  row->run(Command_Call{"PLAYSOUND,HUM.WAV,200,0", true});
  for (int i = 0; i < 8; ++i) {
    if (Sound_Slots()[i].channel != 0) return Sound_Slots()[i].channel;
  }
  return 0;
}

}  // namespace

TEST(EngineTestReset, EveryLayerIsReleasedAndTheSameSceneGetsTheSameChannel) {
  Temp_Dir dir;
  Scoped_Working_Dir inside(dir.path());
  ASSERT_TRUE(inside.entered());
  dir.write("HUM.WAV", wav_file(1, 44100, 16, pcm16(std::vector<int16_t>(2000, 4000))));
  Engine_Test_Reset();

  const int first_channel = play_a_scene();
  ASSERT_GE(first_channel, 1);
  ASSERT_EQ(Sound_Available(), 0);
  Mem_File_Add("NOTE.TXT", "abc", 3);
  int slot = -1;
  File_Open("NOTE.TXT", &slot, 1);
  ASSERT_GE(slot, 0);
  Node_Picture_Replace(Picture_Create("node", 4, 4, 16));
  Set_Mpeg_Mode(true);

  for (int pass = 0; pass < 2; ++pass) {
    Engine_Test_Reset();
    EXPECT_EQ(Script_Current(), nullptr);
    EXPECT_EQ(Sound_Available(), -1);
    EXPECT_EQ(Sound_Get_Output_Mode(), Sound_Output::Device);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(Sound_Slots()[i].channel, 0) << i;
    for (int channel = 1; channel <= Sound_Channel_Count; ++channel) EXPECT_EQ(Sound_Position(channel), 0);
    EXPECT_EQ(File_Size("NOTE.TXT"), 0);
    char byte = 0;
    EXPECT_EQ(File_Read(slot, &byte, 1), 0);
    EXPECT_EQ(Node_Picture(), nullptr);
    EXPECT_FALSE(Mpeg_Mode());
  }

  EXPECT_EQ(play_a_scene(), first_channel);
  Engine_Test_Reset();
}
