// Messages to the player outside the game screen: a message box when a display is
// available, and always a line on stderr. Text is Windows-1252.
#pragma once

// Shows `text` under `title`; returns 1 (the box's OK) once it is dismissed.
int Message_Box_Show(const char* title, const char* text, bool information);
// Headless runs have no display: messages then go to stderr only.
void Message_Box_Set_Headless(bool headless);

// One line on stderr for the player, whatever --debug says: what is wrong, which
// path, and what to do. The game's own screens say nothing about broken data, so
// this is how a player learns of it. The same line is written once a run.
void Tell_Player(const char* format, ...) __attribute__((format(printf, 1, 2)));
