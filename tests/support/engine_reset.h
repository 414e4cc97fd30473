// Puts every engine subsystem back to the state a fresh process has: open files,
// pictures, sounds, animations, the script, the window and the clock are
// released through each subsystem's own reset, from the top of the engine down
// (the shell first, the platform last). Tests call it in SetUp or TearDown
// instead of undoing by hand what they changed.
#pragma once

void Engine_Test_Reset();
