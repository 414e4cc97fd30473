// Set-up of the display, for platform.cpp and the tests.
#pragma once
#include "platform/display_modes.h"

// Chooses the mode that serves the request and builds its colour table. False
// when no mode serves it (the display keeps its previous mode).
bool Display_Setup(const Mode_List& modes, const Display_Mode& request);
const Display_Mode& Display_Current_Mode();
// Clears focus, quit and injected events (between tests, after a stop).
void Display_Reset_State();
// Ends the program after the window was closed (platform.cpp: Platform_Exit(0)).
[[noreturn]] void Display_Quit_Now();
// Whether the pump waits for the focus to come back (see Platform_Options).
void Display_Set_Pause_In_Background(bool pause);
