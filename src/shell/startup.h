// Start-up and the level loop: a single instance, the data folders (the program's
// own folder, the settings file, the command line), the intro, and one level list
// file after another until the game ends.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "shell/engine_outputs.h"

// The whole program. Returns the exit status: 0 after a normal end, -1 when a
// second instance is refused or the installed folder cannot be entered.
int Osterlin_Main(int argc, char** argv);

// Engine options of ours ("--..."), taken out of the arguments before the game's
// own options are parsed.
struct Engine_Options {
  bool help = false;
  bool version = false;
  bool headless = false;
  bool debug = false;
  bool trace = false;
  Frame_Output_Options outputs;  // --frames, --screenshot, --screenshot-at, --frame-hashes, --tour
  std::string unknown;  // the first "--" option not recognised, or one missing its value
};
// Removes every argument that begins with "--" (and is longer) from args, with
// the values of the options that take one.
Engine_Options Take_Engine_Options(std::vector<std::string>& args);

// The program's folder from its path (cut after the last '\', ':' or '/'); a folder
// inside a level folder starts that level and the prefixes point above it. The
// settings "source" and "res" override the two prefixes.
void Locate_Paths(const char* program_path);
// The game's options after the program name: -nologo, -cd PATH, -hd PATH,
// -level N. Parsing stops at the first argument without '-', an unknown option,
// a missing value, and after a level of 0.
void Parse_Command_Line(const std::vector<std::string>& args);
// A setting of the settings file into out (out_size bytes); true when present.
bool Read_Setting(const char* name, char* out, size_t out_size);

// Makes level n's folder current (n = 0: the installed folder). While a level's
// folder is missing, runs the installed folder's list file (the disc prompt) again
// and again until the folder appears, End is requested, the abort key is down or
// the window is closed. True when the folder is now current.
bool Enter_Level(uint32_t n);
// Runs a list file in `folder` once the intro is over; nothing before.
void Run_List_File(const char* name, const char* folder);
// The intro script "intro.pak" from "./", unless -nologo was given.
void Play_Intro();
// The level loop, from the current level until the game ends.
void Run_Levels();
// Formats (at most 191 characters) and shows a message box titled "L'Osterlin".
int Show_Message(uint32_t style, const char* format, ...) __attribute__((format(printf, 2, 3)));
