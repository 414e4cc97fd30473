// The one clock of the engine: the frame clock in milliseconds, the
// high-resolution counter used for pacing, and the millisecond time. In replay it
// is virtual, advanced by the recorded frame-clock readings.
#pragma once
#include <cstdint>

void Clock_Start();     // starts the frame clock (Clock_Delta = 14)
void Clock_Stop();      // stopped: every frame counts 30 ms
// Called by Present_Frame after every presented frame: measures the frame. A
// frame at least four times as long as the previous one counts only a quarter
// longer (plus 1 ms), so a sudden stall does not make animations jump.
void Clock_Tick();
int32_t Clock_Now();
int32_t Clock_Last();
int32_t Clock_Delta();
void Clock_Set_Last(int32_t value);
void Clock_Set_Delta(int32_t value);
bool Clock_Running();

uint64_t Counter_Now();        // performance counter, counts since the program started
uint64_t Counter_Frequency();  // counts per second (10 MHz)
uint32_t Time_Ms();            // millisecond time

// Called after every Clock_Tick with the frame's length in milliseconds (headless
// and replay runs pull the sound mixer this way). One listener.
using Clock_Tick_Listener = void (*)(int32_t frame_ms);
void Clock_Set_Tick_Listener(Clock_Tick_Listener listener);

// A virtual counter instead of the real one: set by replay, and by tests that
// step time by hand. Counter_Now() then returns `counter` plus one count per read
// since it was set, so loops that wait on the counter still advance.
void Clock_Use_Virtual_Counter(bool on);
void Clock_Set_Virtual_Counter(uint64_t counter);
// Scripted runs that are not replays (tours): with the virtual counter on, each
// reading of the frame clock first advances the virtual counter by `counts`, so
// every frame lasts the same time whatever the machine's speed. 0 turns it off.
void Clock_Set_Virtual_Step(uint64_t counts);
// Back to the state at program start (stopped, all values 0).
void Clock_Reset();
