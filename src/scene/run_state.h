// The run state of the scene runtime, shared with the scene-state snapshot.
#pragma once
#include <cstdint>
#include <vector>

#include "scene/runtime.h"
#include "scene/view.h"

// The key slots of LOCKKEY: Escape, F1 to F10, Enter, and the right button.
constexpr int Key_Slot_Escape = 0;
constexpr int Key_Slot_F1 = 1;  // F1 to F10: slots 1 to 10
constexpr int Key_Slot_Enter = 11;
constexpr int Key_Slot_Right_Click = 12;
constexpr int Key_Slot_Count = Key_Slot_Right_Click + 1;
// The slots a run start clears and a saved game holds: all but the right-click one.
constexpr int Stored_Key_Slots = Key_Slot_Right_Click;
// The key codes (of the input's key queue) that select a slot.
constexpr int32_t Key_Code_Escape = 27;
constexpr int32_t Key_Code_Enter = 13;
constexpr int32_t Key_Code_F1 = 128;
constexpr int32_t Key_Code_F10 = 137;

// The frame length, in milliseconds, the clock starts from at a node start, a
// frame set-up and a restore.
constexpr int32_t Frame_Start_Delta = 14;
// Clock_Last and Clock_Delta as if the last frame had lasted Frame_Start_Delta.
void Frame_Clock_Restart();

struct Run_State {
  int32_t current_warp;
  int32_t return_warp;      // node to go back to after a key jump, -1 when none
  int32_t gosub_return;     // GOSUB to continue after, -1 when no subroutine runs
  int32_t entry_pass;
  bool restart_pending;     // set by a restore: the loop restarts the current node
  char key_warps[Key_Slot_Count][257];
  int32_t exit_test;
  int32_t enter_test;
  int32_t cursor_zone;
};

Run_State& Run();
// The zone table of the current node.
std::vector<Zone>& Zones();
// Loads the current node's zone file into the zone table (snapped in a panorama).
void Zones_Load_Current();
