// Running the built programs (osterlin, osterlin-tool) from tests, as a user runs
// them, and collecting what they print.
#pragma once
#include <string>
#include <vector>

struct Program_Run {
  int status = -1;     // exit status; -1 when the program did not exit by itself
  std::string output;  // everything written to standard output
  std::string errors;  // everything written to standard error
};

// The full path of a program of the build ("osterlin-tool").
std::string Program_Path(const std::string& program);

// Each argument in single quotes, for a shell command line.
std::string Quote_Arguments(const std::vector<std::string>& arguments);

// Runs the build's PROGRAM with ARGUMENTS (a shell command line fragment, quoted
// by the caller) in FOLDER, or in the current folder when FOLDER is empty, with
// the ENVIRONMENT entries ("NAME=value") added to the test's own. With a
// TIME_LIMIT (seconds, above 0) a run that has not ended by then is killed.
Program_Run Run_Program(const std::string& program, const std::string& arguments, const std::string& folder = "",
                        const std::vector<std::string>& environment = {}, int time_limit = 0);
