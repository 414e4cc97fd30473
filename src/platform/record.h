// Recording and replaying a run's input: every pump's events and every reading of
// the counter that the frame clock makes. A replayed run takes both from the file
// instead of the window and the real clock, so it presents the same frames. The
// file format is described in README.md.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/events.h"

bool Record_Open(const std::string& path, std::string* error);
bool Replay_Open(const std::string& path, std::string* error);
// Replays from bytes in memory (the bytes must outlive the replay).
bool Replay_Open_Memory(const uint8_t* bytes, size_t size, std::string* error);
void Record_Replay_Close();  // flushes and closes either file
bool Recording();
bool Replaying();

// Recording.
void Record_Event(const Platform_Event& event);
void Record_Pump_End();
void Record_Clock_Reading(uint64_t counter);

// Replaying. Running past the end of the file ends the program with status 0; a
// run that no longer follows the file (a clock reading where the file has a pump,
// or the reverse) ends it with status 1 and a line on stderr.
void Replay_Pump_Begin();
bool Replay_Next_Event(Platform_Event* event);  // false once this pump's events are used up
uint64_t Replay_Clock_Reading();
// Called instead of Platform_Exit when the replay ends (status 0) or stops
// following the file (status 1); it must not return. Null restores Platform_Exit.
using Replay_End_Handler = void (*)(int status);
void Replay_Set_End_Handler(Replay_End_Handler handler);
