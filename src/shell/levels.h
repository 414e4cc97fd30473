// The six levels, where the game data lives, and the flags that steer the level
// loop. The plug-in commands set End, Restart and the pending saved game while a
// script runs; the loop reads them when the script returns.
#pragma once
#include <cstdint>

constexpr uint32_t Level_Count = 6;
constexpr int Level_Path_Size = 260;  // prefixes hold at most 259 characters

// Rows 1 to 6 are levels; row 0 stands for the installed folder. Out-of-range
// indices read as row 0.
const char* Level_Folder_Name(uint32_t index);   // null for row 0
uint32_t Level_Disc(uint32_t index);
const char* Level_Display_Name(uint32_t index);  // Windows-1252

uint32_t Current_Level();
void Set_Current_Level(uint32_t level);
uint32_t Current_Disc();  // disc of the level whose folder was last found missing
void Set_Current_Disc(uint32_t disc);

// Folder prefixes: a level folder's path is the prefix followed by its name.
const char* Disc_Path();
const char* Install_Path();
// Sets a prefix; a value without a trailing separator gets "/" added. False (and
// nothing changed) when it would not fit.
bool Set_Disc_Path(const char* prefix);
bool Set_Install_Path(const char* prefix);
// Sets a prefix exactly as given (the program's own folder, already ending in one).
void Set_Disc_Path_Exact(const char* prefix);
void Set_Install_Path_Exact(const char* prefix);

const char* Language_Code();  // at most 7 characters; empty for none
void Set_Language_Code(const char* code);

bool No_Logo();
void Set_No_Logo(bool value);
bool Intro_Pending();
void Set_Intro_Pending(bool value);

bool End_Requested();
void Set_End_Requested(bool value);
bool Restart_Requested();
void Set_Restart_Requested(bool value);

// A saved game chosen to be loaded next, with the level stored in it; null for none.
struct Save_Slot;
Save_Slot* Pending_Game();
uint32_t Pending_Game_Level();
void Set_Pending_Game(Save_Slot* slot, uint32_t level);

// How the current level was entered: start-up (both false), next level
// (not_restarted only), restart (not_advanced only), loaded game (both).
struct Level_Entry_State {
  bool not_restarted;
  bool not_advanced;
};
Level_Entry_State Level_Entry();
void Set_Level_Entry(Level_Entry_State entry);

// The program's exit status once the level loop has ended: 0, or -1 when the game
// could not go on (a missing level folder, and no disc prompt to ask for it).
int Exit_Status();
void Set_Exit_Status(int status);

// Shell_State_Reset (shell/shell_state.h) puts the levels back to their start
// values along with the rest of the shell.
