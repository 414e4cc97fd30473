// Back to the start values of the whole shell folder: the levels, the saved
// games, the frame outputs, the tour and the MPEG switch. For tests and a fresh
// start; safe to call twice.
#pragma once

void Shell_State_Reset();

// One reset per file, called by Shell_State_Reset.
void Levels_State_Reset();
void Saved_Games_State_Reset();
void Engine_Outputs_State_Reset();
void Mpeg_State_Reset();
