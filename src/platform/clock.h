// The one clock of the engine: the frame clock in milliseconds, the
// high-resolution counter used for pacing, and the millisecond time. In replay it
// is virtual, advanced by recorded frame lengths.
#pragma once
#include <cstdint>

void Clock_Start();     // starts the frame clock (Clock_Delta = 14)
void Clock_Stop();      // stopped: every frame counts 30 ms
void Clock_Tick();      // called by Present_Frame after every presented frame
int32_t Clock_Now();
int32_t Clock_Last();
int32_t Clock_Delta();
void Clock_Set_Last(int32_t value);
void Clock_Set_Delta(int32_t value);
bool Clock_Running();

uint64_t Counter_Now();        // performance counter
uint64_t Counter_Frequency();  // counts per second
uint32_t Time_Ms();            // millisecond time (timeGetTime)

// Called after every Clock_Tick with the frame's length in milliseconds (headless
// and replay runs pull the sound mixer this way). One listener.
using Clock_Tick_Listener = void (*)(int32_t frame_ms);
void Clock_Set_Tick_Listener(Clock_Tick_Listener listener);
