// Start-up and the level loop.
#pragma once

// The whole program: options, data folders, window, intro, levels. Returns the
// process exit status.
int Osterlin_Main(int argc, char** argv);
