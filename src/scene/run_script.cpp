#include "scene/run_script.h"

#include <unistd.h>

#include "platform/trace.h"
#include "scene/script_compiler.h"

namespace {
Script_Run_Hook run_hook = nullptr;
}

void Run_Script_Set_Hook(Script_Run_Hook hook) { run_hook = hook; }

void Script_Run(const char* name) {
  // There is no frame loop yet: a run compiles the script, frees it and ends.
  Script_Compile(name);
  Script_Free();
}

void Run_Script_File(const char* name, const char* folder) {
  if (folder != nullptr && folder[0] != 0 && chdir(folder) != 0) {
    // The run goes on in the directory that is current, as a failed change leaves it.
  }
  Trace_Line("script %s", name);
  if (run_hook != nullptr) {
    run_hook(name, folder);
  } else {
    Script_Run(name);
  }
  Trace_Line("end");
}
