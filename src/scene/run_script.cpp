#include "scene/run_script.h"

#include "platform/directories.h"
#include "platform/trace.h"
#include "scene/script_compiler.h"
#include "scene/state_resets.h"

namespace {
struct Run_Script_State {
  Script_Run_Hook run_hook = nullptr;
};
Run_Script_State state;
}  // namespace

void Run_Script_Set_Hook(Script_Run_Hook hook) { state.run_hook = hook; }

void Run_Script_State_Reset() { state = Run_Script_State{}; }

void Run_Script_File(const char* name, const char* folder) {
  // A folder that cannot be entered leaves the run in the current directory.
  Set_Directory(folder);
  Trace_Line("script %s", name);
  if (state.run_hook != nullptr) {
    state.run_hook(name, folder);
  } else {
    Script_Run(name);
  }
  Trace_Line("end");
}
