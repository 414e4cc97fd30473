// Running one scene script: the level loop and the intro call this once per list
// file; it returns when the script's run has ended.
#pragma once

// Makes `folder` the current directory and runs the script `name` from there.
void Run_Script_File(const char* name, const char* folder);
// One run of a script in the current directory: compile, run until END, free.
void Script_Run(const char* name);

// Replaces the run itself (not the change of directory) for tests of the level
// loop; null restores the real run.
using Script_Run_Hook = void (*)(const char* name, const char* folder);
void Run_Script_Set_Hook(Script_Run_Hook hook);
