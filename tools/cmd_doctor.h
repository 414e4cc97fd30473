// Pieces of osterlin-tool doctor shared between its files.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One line of the doctor's table.
enum class Doctor_Status { Ok, Note, Problem };
struct Doctor_Row {
  Doctor_Status status;
  std::string item;    // file or thing checked
  std::string detail;  // what was found
  std::string fix;     // what the player should do (problems only)
};

// A script checked: the problems the compiler meets, with 1-based line numbers.
struct Doctor_Script_Problem {
  int line;
  std::string message;
};
struct Doctor_Script_Check {
  bool readable = false;   // the file (or its packed form) was found and read
  bool complete = false;   // compilation reached the end of the text
  int nodes = 0;
  int booleans = 0;
  std::vector<Doctor_Script_Problem> problems;
};
// Checks the script `name` in the current folder (packed form first, as the
// engine reads it). Kept behind this one function so that the checker can be
// exchanged without touching the rest of the doctor.
Doctor_Script_Check Doctor_Check_Script(const char* name);

// Every file a level script names, checked in the current folder (the level's
// own): node pictures decode, zone files read and fit their tests, sounds,
// music and videos open, cursors load. Appends rows; `name` is the script file,
// `script` how messages call it, `fix_where` the disc the files come from.
void Doctor_Check_Named_Files(const char* name, const std::string& script, const std::string& fix_where,
                              std::vector<Doctor_Row>& rows);

// A picture the way the engine loads a cursor: the packed variant (the name with
// "pak" for its last three characters) first, then the plain file. Sets
// *packed when the packed variant was the one that loaded.
bool Doctor_Cursor_Loads(const char* name, bool* packed);
