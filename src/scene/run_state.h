// The run state of the scene runtime, shared with the scene-state snapshot.
#pragma once
#include <cstdint>
#include <vector>

#include "scene/view.h"

constexpr int Key_Slot_Count = 13;

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

// Observes a run (tests use it): node starts and test starts.
struct Run_Observer {
  virtual ~Run_Observer() = default;
  virtual void node_started(int /*node*/) {}
  virtual void test_started(int /*node*/, int /*test*/) {}
  // Every frame of the frame loop, just before the input is read.
  virtual void before_input() {}
};
void Runtime_Set_Observer(Run_Observer* observer);
