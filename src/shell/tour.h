// Scripted input for recorded tours (--tour FILE): a list of steps that inject
// input events into the message pump at chosen frames, as a player would, while
// every frame lasts exactly 1/60 s of engine time. Run together with --record,
// the recording is the engine's own and replays to the same frames.
//
// Steps, one a line ('#' starts a comment):
//   node NAME      wait until a presented frame belongs to the node NAME
//   wait N         let N frames pass
//   key VK         press and release a key (virtual-key code: 13 Enter, 27 Escape)
//   click, rclick  press and release the left / right button
//   move DX DY     a mouse motion of DX, DY screen pixels
//   turn DX DY N   that motion on each of the next N frames
//   close          closes the window (the program ends at the next frame)
//   shot NAME      writes the trace line "tour shot NAME FRAME" (the frame to show)
#pragma once
#include <cstdint>
#include <string>

// Reads the steps. False with a reason (file missing, line N not understood).
bool Tour_Load(const std::string& path, std::string* error);
// Parses steps from text (tests).
bool Tour_Parse(const std::string& text, std::string* error);
// After the platform has started: the virtual 60 Hz clock.
void Tour_Start();
// After every presented frame (frame = frames presented so far).
void Tour_Frame(uint64_t frame);
// True while steps remain.
bool Tour_Running();
// Forgets every step: the state of a fresh process.
void Tour_State_Reset();
