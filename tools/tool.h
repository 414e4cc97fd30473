// osterlin-tool subcommands register themselves here; each lives in its own file.
// Exit status: 0 success, 1 input refused or invalid (one line on stderr says
// why), 2 usage error.
#pragma once
#include <string>
#include <vector>

struct Tool_Command {
  const char* name;     // first word on the command line ("pack", "roz", ...)
  const char* usage;    // one or more lines, each a full usage form
  const char* summary;  // one line
  int (*run)(const std::vector<std::string>& args);  // args after the name
};

struct Tool_Registration {
  explicit Tool_Registration(const Tool_Command& command);
};

constexpr int Tool_Ok = 0;
constexpr int Tool_Refused = 1;
constexpr int Tool_Usage = 2;

// Prints "osterlin-tool: <message>" on stderr and returns Tool_Refused.
int Tool_Fail(const std::string& message);
// Prints the usage of `name` on stderr and returns Tool_Usage.
int Tool_Usage_Error(const char* name, const std::string& message = {});

// Small helpers for subcommands.
bool Tool_Read_File(const std::string& path, std::vector<unsigned char>& out);
bool Tool_Write_File(const std::string& path, const void* data, size_t size);
// Finds "--flag VALUE" in args, removes both, returns true and sets value.
bool Tool_Take_Option(std::vector<std::string>& args, const std::string& flag, std::string& value);
bool Tool_Take_Flag(std::vector<std::string>& args, const std::string& flag);
bool Tool_Parse_Int(const std::string& text, long long& value);
