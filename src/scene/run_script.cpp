#include "scene/run_script.h"

#include "platform/directories.h"
#include "platform/trace.h"
#include "scene/script_compiler.h"

namespace {
Script_Run_Hook run_hook = nullptr;
}

void Run_Script_Set_Hook(Script_Run_Hook hook) { run_hook = hook; }

void Run_Script_File(const char* name, const char* folder) {
  // A folder that cannot be entered leaves the run in the current directory.
  Set_Directory(folder);
  Trace_Line("script %s", name);
  if (run_hook != nullptr) {
    run_hook(name, folder);
  } else {
    Script_Run(name);
  }
  Trace_Line("end");
}
