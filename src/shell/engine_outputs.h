// What the engine options of ours take out of a run frame by frame: a hash of
// every presented frame, screenshots (of chosen frames and of the last one), a
// limit on the number of frames, and the scripted input of a tour.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct Frame_Output_Options {
  uint64_t frame_limit = 0;        // --frames N: end with status 0 after N frames (0: no limit)
  std::string screenshot;          // --screenshot FILE: PNG of the last frame at exit
  std::string frame_hashes;        // --frame-hashes FILE: one hex hash a frame
  std::vector<std::pair<uint64_t, std::string>> screenshots_at;  // --screenshot-at N FILE
  std::string tour;                // --tour FILE
};

// Opens the files and installs the per-frame listener (after the platform has
// started). False with a reason when a file cannot be opened or the tour read.
bool Engine_Outputs_Start(const Frame_Output_Options& options, std::string* error);
// Writes the last frame's screenshot and closes the files; every way out of the
// program calls it (a second call does nothing).
void Engine_Outputs_Finish();
// Frames presented since Engine_Outputs_Start.
uint64_t Engine_Outputs_Frames();
