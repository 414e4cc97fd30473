#include "support/run_program.h"

#include <sys/wait.h>

#include <cstdlib>

#include "support/temp_dir.h"

#ifndef OSTERLIN_BIN_DIR
#error "OSTERLIN_BIN_DIR names the folder of the built programs"
#endif

namespace {

std::string quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += "'\\''";
    else out += c;
  }
  return out + "'";
}

std::string read_text(const std::string& path) {
  const std::vector<unsigned char> bytes = Read_Whole_File(path);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

std::string Program_Path(const std::string& program) { return std::string(OSTERLIN_BIN_DIR) + "/" + program; }

std::string Quote_Arguments(const std::vector<std::string>& arguments) {
  std::string out;
  for (const std::string& argument : arguments) {
    if (!out.empty()) out += ' ';
    out += quote(argument);
  }
  return out;
}

Program_Run Run_Program(const std::string& program, const std::string& arguments, const std::string& folder,
                        const std::vector<std::string>& environment, int time_limit) {
  // Both streams go to files rather than pipes, so a program that fills one
  // while the test reads the other cannot stall.
  Temp_Dir streams;
  std::string command;
  if (!folder.empty()) command = "cd " + quote(folder) + " && ";
  if (time_limit > 0) command += "timeout -s KILL " + std::to_string(time_limit) + " ";
  if (!environment.empty()) command += "env " + Quote_Arguments(environment) + " ";
  command += quote(Program_Path(program)) + " " + arguments + " >" + quote(streams.file("out")) + " 2>" +
             quote(streams.file("err"));
  Program_Run run;
  const int raw = std::system(command.c_str());
  if (raw != -1 && WIFEXITED(raw)) run.status = WEXITSTATUS(raw);
  run.output = read_text(streams.file("out"));
  run.errors = read_text(streams.file("err"));
  return run;
}
