// The scene runtime: runs one compiled scene script from its start node to END —
// node starts, trigger scans, the frame loop, the command interpreter, key jumps —
// and the services other subsystems reach it through (booleans by name, the
// engine parameters, an idle frame for waiting commands, the picture targets).
#pragma once
#include <cstdint>

// The engine parameters and the picture targets live with the video commands.
#include "video/engine_targets.h"

// The value of the first boolean whose name matches (ASCII case folded), 0 if none.
int32_t Bool_Get(const char* name);
// Sets the first boolean whose name matches; no match does nothing.
void Bool_Set(const char* name, int32_t value);

// The index of the running script's current node (0 at a run start).
int32_t Runtime_Current_Warp();

// Observes a run (tests and benchmarks use it): node starts and test starts.
struct Run_Observer {
  virtual ~Run_Observer() = default;
  virtual void node_started(int /*node*/) {}
  virtual void test_started(int /*node*/, int /*test*/) {}
  // Every frame of the frame loop, just before the input is read.
  virtual void before_input() {}
};
void Runtime_Set_Observer(Run_Observer* observer);

// Returns the whole scene folder to the state of a fresh process: frees the
// cursors, the zones, the script, the renderer, the thumbnail and the random
// sounds, stops the script's sounds and music, and resets the view and the run
// state. Safe to call between tests, and twice.
void Scene_State_Reset();

// One frame without input, cursor, PRINT text or triggers: draw the view,
// Animation_Step, the sound tick, Present_Frame. Used by waiting commands.
void Render_Idle_Frame();
