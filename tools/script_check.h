// The scene-script checker: compiles a script exactly as the engine does and
// lists, with line numbers, what makes the engine stop compiling (errors) and
// what it silently does differently from what the author wrote (warnings).
// With the data check it also looks for every file the script names in the
// script's folder, the way the engine finds them. Used by `script check` and by
// any other command that needs to judge a level.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class Script_Severity { Warning, Error };

struct Script_Problem {
  int line;  // editor line (1 first), 0 when the problem concerns the whole file
  Script_Severity severity;
  std::string message;
};

struct Script_Check_Options {
  // Look for the pictures, zone files, sounds, music and videos the script names;
  // a missing one is an error.
  bool data = false;
};

struct Script_Check_Report {
  bool readable = false;     // false: neither the file nor its packed form exists
  int node_count = 0;
  int bool_count = 0;
  bool stops_early = false;  // compilation ends before the end of the text
  std::vector<Script_Problem> problems;  // whole-file problems first, then by line

  int count(Script_Severity severity) const;
  // True when the engine cannot run the script as written: no node, compilation
  // stopped, or (with the data check) missing data.
  bool failed() const { return !readable || count(Script_Severity::Error) > 0; }
};

// Checks the script file at `path` (its packed form first, like the engine);
// data files are looked for in the file's folder. Replaces, then frees, the
// engine's current script.
Script_Check_Report Script_Check_File(const std::string& path, const Script_Check_Options& options = {});

// Checks a script text already in memory; data files are looked for in `folder`
// (empty: the current folder).
Script_Check_Report Script_Check_Text(const uint8_t* data, size_t size, const std::string& folder,
                                      const Script_Check_Options& options = {});
