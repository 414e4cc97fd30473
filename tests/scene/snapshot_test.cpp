#include "scene/snapshot.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "scene/run_state.h"
#include "scene/runtime.h"
#include "scene/scene_sound.h"
#include "scene/script_compiler.h"
#include "scene/view.h"

namespace {

void compile(const std::string& text) {
  Script_Compile_Text(Script_Text{reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

const std::string three_nodes =
    "[BOOL] B1\n[BOOL] B2\n[BOOL] B3\n[BOOL] B4\n[BOOL] B5\n"
    "[WARP] N1.PAN\n[TEST] -1\nEND\n[TEST] 0\nEND\n"
    "[WARP] N2.PAN\n[TEST] -1\nEND\n[TEST] 0\nEND\n"
    "[WARP] N3.PAN\n[TEST] -1\nEND\n[TEST] 0\nEND\n";

int32_t int_at(const uint8_t* data, size_t offset) {
  int32_t value;
  std::memcpy(&value, data + offset, 4);
  return value;
}

}  // namespace

TEST(SceneState, BlockLayoutAndSize) {
  compile(three_nodes);
  EXPECT_EQ(Scene_State_Size(), 9737u);
  View().yaw = -77;
  ::Run().current_warp = 2;
  Script_Current()->bools[4].value = 123;
  Script_Current()->warps[1].tests[1].cursor_name[0] = 'Q';
  Script_Current()->warps[1].tests[1].cursor_name[1] = 0;
  std::strcpy(::Run().key_warps[Key_Slot_Enter], "MENU");
  std::strcpy(::Run().key_warps[Key_Slot_Right_Click], "NOT STORED");
  ::Run().return_warp = 1;

  // A sound that stops by itself is written with an empty name; one that loops
  // for ever keeps it.
  std::strcpy(Sound_Slots()[0].name, "COUNTED.WAV");
  Sound_Slots()[0].loops_left = 3;
  Sound_Slots()[0].volume = 150;
  std::strcpy(Sound3D_Slots()[7].name, "LOOP.WAV");
  Sound3D_Slots()[7].loops_left = 0;
  Sound3D_Slots()[7].position = 4000;

  const uint8_t* data = nullptr;
  size_t size = 0;
  Scene_State_Save("ignored", &data, &size);
  ASSERT_EQ(size, 9737u);
  EXPECT_EQ(int_at(data, 4), -77);        // yaw
  EXPECT_EQ(int_at(data, 28), 2);         // current node
  const size_t cursors = 36 + 2 * 257;
  EXPECT_EQ(data[cursors + 3 * 257], 'Q');  // node 2, test 2: the fourth cursor name
  const size_t bools = cursors + 6 * 257;
  EXPECT_EQ(int_at(data, bools + 16), 123);
  EXPECT_EQ(int_at(data, bools + 24), 1);  // return node, after the GOSUB index
  const size_t keys = bools + 28;
  EXPECT_STREQ(reinterpret_cast<const char*>(data + keys + 11 * 257), "MENU");
  const size_t sounds = keys + 12 * 257 + 257 + 4;
  EXPECT_EQ(data[sounds], 0);
  EXPECT_STREQ(reinterpret_cast<const char*>(data + sounds + 1), "COUNTED.WAV");
  EXPECT_EQ(int_at(data, sounds + 257), 150);
  const size_t last_positional = sounds + 8 * 265 + 7 * 269;
  EXPECT_STREQ(reinterpret_cast<const char*>(data + last_positional), "LOOP.WAV");
  EXPECT_EQ(int_at(data, last_positional + 257), 4000);
  EXPECT_EQ(last_positional + 269, size);

  Scene_State_Reset();
}

TEST(SceneState, BlocksThatDoNotFitAreRefused) {
  compile(three_nodes);
  const uint8_t* data = nullptr;
  size_t size = 0;
  ::Run().current_warp = 0;
  Scene_State_Save("", &data, &size);
  std::vector<uint8_t> good(data, data + size);
  Script_Current()->bools[0].value = 42;

  std::vector<uint8_t> short_block(good.begin(), good.end() - 1);
  std::vector<uint8_t> long_block = good;
  long_block.push_back(0);
  std::vector<uint8_t> bad_node = good;
  bad_node[28] = 3;  // the script has nodes 0 to 2
  for (const std::vector<uint8_t>* block : {&short_block, &long_block, &bad_node}) {
    EXPECT_EQ(Scene_State_Restore(block->data(), block->size()), -1);
    EXPECT_EQ(Bool_Get("B1"), 42);
    EXPECT_FALSE(::Run().restart_pending);
  }
  // The same block under another script (one boolean more) does not fit either.
  compile(three_nodes + "[BOOL] B6\n");
  EXPECT_EQ(Scene_State_Restore(good.data(), good.size()), -1);
  Scene_State_Reset();
}
