// Messages to the player outside the game screen: a message box when a display is
// available, and always a line on stderr. Text is Windows-1252.
#pragma once

// Shows `text` under `title`; returns 1 (the box's OK) once it is dismissed.
int Message_Box_Show(const char* title, const char* text, bool information);
// Headless runs have no display: messages then go to stderr only.
void Message_Box_Set_Headless(bool headless);
